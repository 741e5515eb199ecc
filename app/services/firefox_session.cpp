#include "app/services/firefox_session.h"

#include "app/services/json_stream.h"
#include "app/services/moz_lz4.h"

#include <fstream>

namespace kavelo::FirefoxSession {

namespace {

using Token = JsonStream::Token;

// One pass over the text: only what the windows need is kept, everything
// else is checked and skipped. Where a name repeats, its last value counts.
class SessionReader {
public:
    explicit SessionReader(JsonStream& json) : json_(json) {}

    std::optional<std::vector<Window>> read()
    {
        Token token = json_.next();
        if (token != Token::beginObject)
            return stop(token == Token::error ? json_.problem() : "not a session");
        std::optional<std::vector<Window>> windows;
        while ((token = json_.next()) == Token::key) {
            if (json_.text() != "windows") {
                if (!json_.skip(json_.next()))
                    return stop(json_.problem());
                continue;
            }
            if (windows)
                for (Window& window : *windows)
                    forget(window.tabs);
            windows.reset();
            token = json_.next();
            if (token == Token::beginArray) {
                windows = readWindows();
                if (!windows)
                    return std::nullopt;
            } else if (!json_.skip(token)) {
                return stop(json_.problem());
            }
        }
        if (token != Token::endObject || json_.next() != Token::end)
            return stop(json_.problem() ? json_.problem() : "not JSON");
        if (!windows)
            return stop("no windows");
        return windows;
    }

    const std::string& problem() const { return problem_; }

private:
    std::nullopt_t stop(std::string why)
    {
        problem_ = std::move(why);
        return std::nullopt;
    }

    std::optional<std::vector<Window>> readWindows()
    {
        std::vector<Window> out;
        for (Token token = json_.next(); token != Token::endArray; token = json_.next()) {
            if (token != Token::beginObject) {
                if (!json_.skip(token))
                    return stop(json_.problem());
                continue;
            }
            auto window = readWindow();
            if (!window)
                return std::nullopt;
            if (window->second)
                continue;
            if (out.size() == mostWindows)
                return stop("more than " + std::to_string(mostWindows) + " windows");
            out.push_back(std::move(window->first));
        }
        return out;
    }

    // The window, and whether it is private.
    std::optional<std::pair<Window, bool>> readWindow()
    {
        std::pair<Window, bool> out{};
        Token token;
        while ((token = json_.next()) == Token::key) {
            const bool isPrivate = json_.text() == "isPrivate", isTabs = json_.text() == "tabs";
            token = json_.next();
            if (isPrivate)
                out.second = token == Token::boolean && json_.truth();
            if (isTabs)
                forget(out.first.tabs);
            if (isTabs && token == Token::beginArray) {
                if (!readTabs(out.first.tabs))
                    return std::nullopt;
            } else if (!json_.skip(token)) {
                return stop(json_.problem());
            }
        }
        if (token != Token::endObject)
            return stop(json_.problem());
        if (out.second)
            forget(out.first.tabs);
        return out;
    }

    bool readTabs(std::vector<Tab>& tabs)
    {
        for (Token token = json_.next(); token != Token::endArray; token = json_.next()) {
            if (token != Token::beginObject) {
                if (!json_.skip(token))
                    return stop(json_.problem()), false;
                continue;
            }
            std::optional<Tab> tab;
            if (!readTab(tab))
                return false;
            if (!tab)
                continue;
            if (tabs_ == mostTabs)
                return stop("more than " + std::to_string(mostTabs) + " tabs"), false;
            ++tabs_;
            tabs.push_back(std::move(*tab));
        }
        return true;
    }

    // The entry a tab shows: "index" counts from 1; without it, the last.
    bool readTab(std::optional<Tab>& tab)
    {
        std::vector<std::optional<std::string>> entries;
        std::optional<std::int64_t> index;
        bool pinned = false;
        Token token;
        while ((token = json_.next()) == Token::key) {
            const std::string_view name = json_.text();
            const bool isIndex = name == "index", isPinned = name == "pinned", isEntries = name == "entries";
            token = json_.next();
            if (isIndex)
                index = token == Token::number ? json_.integer() : std::nullopt;
            if (isPinned)
                pinned = token == Token::boolean && json_.truth();
            if (isEntries)
                forget(entries);
            if (isEntries && token == Token::beginArray) {
                if (!readEntries(entries))
                    return false;
            } else if (!json_.skip(token)) {
                return stop(json_.problem()), false;
            }
        }
        if (token != Token::endObject)
            return stop(json_.problem()), false;
        if (entries.empty())
            return true;
        std::size_t at = entries.size() - 1;
        if (index && *index >= 1 && std::uint64_t(*index) <= entries.size())
            at = std::size_t(*index - 1);
        // The shown address stays held; the rest of the history goes.
        std::optional<std::string> url = std::move(entries[at]);
        entries[at].reset();
        forget(entries);
        if (url)
            tab = Tab{.url = std::move(*url), .pinned = pinned};
        return true;
    }

    bool readEntries(std::vector<std::optional<std::string>>& entries)
    {
        for (Token token = json_.next(); token != Token::endArray; token = json_.next()) {
            if (entries.size() == mostEntries)
                return stop("a tab with more than " + std::to_string(mostEntries) + " history entries"), false;
            std::optional<std::string>& url = entries.emplace_back();
            if (token != Token::beginObject) {
                if (!json_.skip(token))
                    return stop(json_.problem()), false;
                continue;
            }
            while ((token = json_.next()) == Token::key) {
                const bool isURL = json_.text() == "url";
                token = json_.next();
                if (isURL) {
                    if (url)
                        held_ -= url->size();
                    url.reset();
                    if (token == Token::string && !json_.cut()) {
                        if (held_ + json_.text().size() > largestAddresses)
                            return stop("more than " + std::to_string(largestAddresses) + " bytes of addresses"),
                                   false;
                        url.emplace(json_.text());
                        held_ += url->size();
                    }
                }
                if (!json_.skip(token))
                    return stop(json_.problem()), false;
            }
            if (token != Token::endObject)
                return stop(json_.problem()), false;
        }
        return true;
    }

    void forget(std::vector<std::optional<std::string>>& entries)
    {
        for (const auto& url : entries)
            if (url)
                held_ -= url->size();
        entries.clear();
    }

    void forget(std::vector<Tab>& tabs)
    {
        for (const Tab& tab : tabs)
            held_ -= tab.url.size();
        tabs_ -= tabs.size();
        tabs.clear();
    }

    JsonStream& json_;
    std::string problem_;
    std::size_t tabs_ = 0;
    std::size_t held_ = 0;
};

constexpr JsonStream::Bounds bounds{
    .deepest = deepestNesting, .longestText = longestAddress, .mostValues = mostValues};

std::optional<std::vector<Window>> fail(std::string* problem, std::string why)
{
    if (problem)
        *problem = std::move(why);
    return std::nullopt;
}

std::optional<std::vector<Window>> read(JsonStream& json, std::string* problem)
{
    SessionReader reader(json);
    auto windows = reader.read();
    if (!windows)
        return fail(problem, reader.problem());
    return windows;
}

} // namespace

std::optional<std::vector<Window>> parse(std::string_view text, std::string* problem)
{
    JsonStream json(text, bounds);
    return read(json, problem);
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
    auto windows = decode(bytes, &why);
    if (!windows)
        return fail(problem, "session file: " + why);
    return windows;
}

std::optional<std::vector<Window>> decode(std::string_view file, std::string* problem, std::size_t pieceSize)
{
    MozLz4::Stream text(file, pieceSize);
    JsonStream json([&text] { return text.next(); }, bounds);
    std::string why;
    auto windows = read(json, &why);
    // Damage in the compressed data explains whatever the text lacked.
    if (!text.problem().empty())
        return fail(problem, text.problem());
    if (!windows)
        return fail(problem, why);
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
