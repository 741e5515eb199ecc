#include "app/services/firefox_session.h"

#include "app/services/moz_lz4.h"

#include <nlohmann/json.hpp>

#include <fstream>

namespace kavelo::FirefoxSession {

namespace {

using Json = nlohmann::json;

std::optional<std::vector<Window>> fail(std::string* problem, std::string why)
{
    if (problem)
        *problem = std::move(why);
    return std::nullopt;
}

// The entry a tab shows: "index" counts from 1; without it, the last.
std::optional<std::string> shownURL(const Json& tab)
{
    const auto entries = tab.find("entries");
    if (entries == tab.end() || !entries->is_array() || entries->empty())
        return std::nullopt;
    std::size_t at = entries->size() - 1;
    if (const auto index = tab.find("index"); index != tab.end() && index->is_number_integer()) {
        const auto i = index->get<std::int64_t>();
        if (i >= 1 && std::uint64_t(i) <= entries->size())
            at = std::size_t(i - 1);
    }
    const Json& entry = (*entries)[at];
    if (!entry.is_object())
        return std::nullopt;
    const auto url = entry.find("url");
    if (url == entry.end() || !url->is_string())
        return std::nullopt;
    return url->get<std::string>();
}

bool flag(const Json& object, const char* name)
{
    const auto it = object.find(name);
    return it != object.end() && it->is_boolean() && it->get<bool>();
}

} // namespace

std::optional<std::vector<Window>> parse(std::string_view text, std::string* problem)
{
    bool tooDeep = false;
    // Deep values are dropped as they are read, so nesting costs no stack.
    const Json::parser_callback_t depthLimit = [&](int depth, Json::parse_event_t, Json&) {
        if (depth > deepestNesting)
            tooDeep = true;
        return depth <= deepestNesting;
    };
    const Json root = Json::parse(text.begin(), text.end(), depthLimit, false);
    if (root.is_discarded() || tooDeep)
        return fail(problem, tooDeep ? "nested too deeply" : "not JSON");
    if (!root.is_object())
        return fail(problem, "not a session");
    const auto windows = root.find("windows");
    if (windows == root.end() || !windows->is_array())
        return fail(problem, "no windows");
    std::vector<Window> out;
    for (const Json& w : *windows) {
        if (!w.is_object() || flag(w, "isPrivate"))
            continue;
        Window window;
        if (const auto tabs = w.find("tabs"); tabs != w.end() && tabs->is_array())
            for (const Json& t : *tabs)
                if (t.is_object())
                    if (auto url = shownURL(t))
                        window.tabs.push_back(Tab{.url = std::move(*url), .pinned = flag(t, "pinned")});
        out.push_back(std::move(window));
    }
    return out;
}

std::optional<std::vector<Window>> read(const std::filesystem::path& file, std::string* problem)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    if (error)
        return fail(problem, "no session file: " + error.message());
    if (size > largestFile)
        return fail(problem, "session file of " + std::to_string(size) + " bytes is too large");
    std::ifstream in(file, std::ios::binary);
    std::string bytes(std::size_t(size), '\0');
    // What was read, even if the file changed size meanwhile.
    in.read(bytes.data(), std::streamsize(size));
    bytes.resize(std::size_t(in.gcount()));
    std::string why;
    const auto text = MozLz4::decode(bytes, &why);
    if (!text)
        return fail(problem, "session file: " + why);
    auto windows = parse(*text, &why);
    if (!windows)
        return fail(problem, "session file: " + why);
    return windows;
}

std::vector<std::string> addresses(const std::vector<Window>& windows)
{
    std::vector<std::string> out;
    for (const Window& w : windows)
        for (const Tab& t : w.tabs)
            out.push_back(t.url);
    return out;
}

} // namespace kavelo::FirefoxSession
