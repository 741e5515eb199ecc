#include "core/workspace_matcher.h"

#include "core/text.h"

#include <string>
#include <unordered_map>

namespace kavelo::WorkspaceMatcher {

namespace {

// Live windows with one key, front to back, and how many of the front ones
// are known to be taken already.
struct Queue {
    std::vector<size_t> windows;
    size_t next = 0;
};

std::string titleKey(const std::string& bundleID, const std::string& title)
{
    // A bundle identifier holds no NUL, so the pair is unambiguous.
    std::string key = text::normalized(bundleID);
    key += '\0';
    key += text::normalized(title);
    return key;
}

std::optional<size_t> takeFirst(Queue& queue, std::vector<bool>& taken)
{
    while (queue.next < queue.windows.size()) {
        const size_t i = queue.windows[queue.next++];
        if (!taken[i]) {
            taken[i] = true;
            return i;
        }
    }
    return std::nullopt;
}

} // namespace

std::vector<Placement> match(const std::vector<SavedWindow>& saved, const std::vector<WindowEntry>& live)
{
    std::unordered_map<std::string, Queue> byTitle;
    std::unordered_map<std::string, Queue> byApp;
    byTitle.reserve(live.size());
    byApp.reserve(live.size());
    for (size_t i = 0; i < live.size(); ++i) {
        byTitle[titleKey(live[i].bundleID, live[i].title)].windows.push_back(i);
        byApp[text::normalized(live[i].bundleID)].windows.push_back(i);
    }

    std::vector<bool> taken(live.size(), false);
    std::vector<Placement> out;
    out.reserve(saved.size());
    std::vector<const SavedWindow*> aside;

    for (const SavedWindow& s : saved) {
        const auto it = byTitle.find(titleKey(s.bundleID, s.title));
        const std::optional<size_t> i = it == byTitle.end() ? std::nullopt : takeFirst(it->second, taken);
        if (i)
            out.push_back({live[*i].id, s.frame});
        else
            aside.push_back(&s);
    }
    for (const SavedWindow* s : aside) {
        const auto it = byApp.find(text::normalized(s->bundleID));
        if (it == byApp.end())
            continue;
        if (const std::optional<size_t> i = takeFirst(it->second, taken))
            out.push_back({live[*i].id, s->frame});
    }
    return out;
}

} // namespace kavelo::WorkspaceMatcher
