#include "app/platform/desktop_entry.h"

#include "core/json.h"

#include <unistd.h>

#include <cstdlib>
#include <map>

namespace kavelo {

namespace {

bool isUtf8(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t extra = 0;
        char32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= s.size())
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        // Overlong forms, surrogates and values past Unicode.
        if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) ||
            (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            return false;
        i += extra + 1;
    }
    return true;
}

// Any C0 or C1 control, or DEL, in UTF-8 text.
bool hasControl(std::string_view s)
{
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F)
            return true;
        if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) < 0xA0)
            return true;
    }
    return false;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// The escapes of string values: \s \n \t \r \\.
std::string unescaped(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[++i]) {
        case 's': out += ' '; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        default:
            out += '\\';
            out += value[i];
        }
    }
    return out;
}

} // namespace

std::vector<std::string> localeKeys(std::string_view locale)
{
    // lang_COUNTRY.ENCODING@MODIFIER; the encoding never takes part.
    std::string_view modifier;
    if (const auto at = locale.find('@'); at != std::string_view::npos) {
        modifier = locale.substr(at + 1);
        locale = locale.substr(0, at);
    }
    if (const auto dot = locale.find('.'); dot != std::string_view::npos)
        locale = locale.substr(0, dot);
    if (locale.empty() || locale == "C" || locale == "POSIX")
        return {};
    std::string_view lang = locale, country;
    if (const auto us = locale.find('_'); us != std::string_view::npos) {
        lang = locale.substr(0, us);
        country = locale.substr(us + 1);
    }
    const std::string l(lang), c(country), m(modifier);
    std::vector<std::string> out;
    if (!c.empty() && !m.empty())
        out.push_back(l + "_" + c + "@" + m);
    if (!c.empty())
        out.push_back(l + "_" + c);
    if (!m.empty())
        out.push_back(l + "@" + m);
    out.push_back(l);
    return out;
}

std::optional<DesktopEntry> DesktopEntry::parse(std::string_view text, std::string id, std::filesystem::path file,
                                                std::string_view locale)
{
    if (!isUtf8(text))
        return std::nullopt;
    std::map<std::string, std::string, std::less<>> keys;
    bool inEntry = false, seenGroup = false;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto end = text.find('\n', start);
        const std::string_view line =
            trimmed(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        start = end == std::string_view::npos ? text.size() + 1 : end + 1;
        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']')
                return std::nullopt;
            const std::string_view group = line.substr(1, line.size() - 2);
            // The entry's group comes first; later groups are actions and the like.
            if (!seenGroup && group != "Desktop Entry")
                return std::nullopt;
            inEntry = !seenGroup;
            seenGroup = true;
            continue;
        }
        if (!seenGroup)
            return std::nullopt;
        if (!inEntry)
            continue;
        const auto eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        const std::string key(trimmed(line.substr(0, eq)));
        keys.emplace(key, std::string(trimmed(line.substr(eq + 1))));
    }
    if (!seenGroup)
        return std::nullopt;

    const auto value = [&](std::string_view key) -> std::optional<std::string> {
        auto it = keys.find(key);
        return it == keys.end() ? std::nullopt : std::optional(unescaped(it->second));
    };
    if (value("Type") != "Application")
        return std::nullopt;
    std::optional<std::string> name;
    for (const std::string& k : localeKeys(locale))
        if ((name = value("Name[" + k + "]")))
            break;
    if (!name)
        name = value("Name");
    if (!name || name->empty() || hasControl(*name))
        return std::nullopt;

    DesktopEntry entry{.id = std::move(id), .file = std::move(file), .name = std::move(*name)};
    entry.icon = value("Icon").value_or("");
    entry.exec = value("Exec").value_or("");
    entry.tryExec = value("TryExec").value_or("");
    entry.startupWMClass = value("StartupWMClass").value_or("");
    entry.hidden = value("Hidden") == "true";
    entry.noDisplay = value("NoDisplay") == "true";
    return entry;
}

std::optional<DesktopEntry> DesktopEntry::load(const std::filesystem::path& file, std::string_view locale)
{
    // An entry is a few kilobytes; anything that is no small file is none.
    const std::optional<std::string> bytes = readFile(file, maxEntryBytes);
    if (!bytes)
        return std::nullopt;
    return parse(*bytes, file.filename().string(), file, locale);
}

std::optional<std::filesystem::path> findProgram(std::string_view name)
{
    if (name.empty())
        return std::nullopt;
    if (name.find('/') != std::string_view::npos) {
        const std::string path(name);
        return access(path.c_str(), X_OK) == 0 ? std::optional(std::filesystem::path(path)) : std::nullopt;
    }
    const char* variable = std::getenv("PATH");
    const std::string_view dirs = variable ? variable : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const auto end = dirs.find(':', start);
        const std::string_view dir = dirs.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!dir.empty()) {
            const std::filesystem::path candidate = std::filesystem::path(dir) / std::string(name);
            std::error_code error;
            if (access(candidate.c_str(), X_OK) == 0 && !std::filesystem::is_directory(candidate, error))
                return candidate;
        }
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return std::nullopt;
}

bool DesktopEntry::tryExecFails() const { return !tryExec.empty() && !findProgram(tryExec); }

namespace DesktopExec {

std::optional<std::vector<std::string>> arguments(std::string_view exec, const std::vector<std::string>& addresses)
{
    std::vector<std::string> out;
    std::string word;
    // Whether the word holds anything, an empty pair of quotes included: a
    // dropped field code leaves no empty word behind.
    bool kept = false;
    const auto endWord = [&] {
        if (kept)
            out.push_back(std::move(word));
        word.clear();
        kept = false;
    };
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            endWord();
        } else if (c == '"') {
            // Inside quotes a backslash keeps the next ", `, $ or \ literal.
            bool closed = false;
            for (++i; i < exec.size(); ++i) {
                if (exec[i] == '\\' && i + 1 < exec.size() &&
                    std::string_view("\"`$\\").find(exec[i + 1]) != std::string_view::npos) {
                    word += exec[++i];
                } else if (exec[i] == '"') {
                    closed = true;
                    break;
                } else {
                    word += exec[i];
                }
            }
            if (!closed)
                return std::nullopt;
            kept = true;
        } else if (c == '%' && i + 1 < exec.size()) {
            const char code = exec[++i];
            if (code == '%') {
                word += '%';
                kept = true;
            } else if (code == 'u' || code == 'U' || code == 'f' || code == 'F') {
                endWord();
                out.insert(out.end(), addresses.begin(), addresses.end());
            }
        } else {
            word += c;
            kept = true;
        }
    }
    endWord();
    if (out.empty())
        return std::nullopt;
    return out;
}

} // namespace DesktopExec

} // namespace kavelo
