#include "core/workspace_store.h"

#include "core/text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>

namespace kavelo {

namespace {

constexpr std::string_view autoPrefix = "auto-";

std::string fileBaseName(std::string_view name)
{
    std::string out;
    out.reserve(name.size());
    for (const std::string& c : text::characters(name)) {
        if (c == "-" || c == " " || text::isLetter(c) || text::isNumber(c))
            out += c;
        else
            out += '_';
    }
    return out;
}

} // namespace

std::filesystem::path WorkspaceStore::url(std::string_view name) const
{
    return directory / std::filesystem::path(fileBaseName(name) + ".json");
}

namespace {

std::optional<Workspace> readWorkspace(const std::filesystem::path& file)
{
    const std::optional<std::string> bytes = readFile(file);
    return bytes ? decodeWorkspace(*bytes) : std::nullopt;
}

struct StoredFile {
    std::filesystem::path file;
    Workspace workspace;
};

// Every ".json" file of the folder but the autosaves' that reads as a
// workflow, by file name.
std::vector<StoredFile> storedFiles(const std::filesystem::path& directory)
{
    std::vector<std::filesystem::path> files;
    try {
        std::error_code ec;
        for (auto it = std::filesystem::directory_iterator(directory, ec); !ec && it != std::filesystem::directory_iterator();
             it.increment(ec)) {
            if (WorkspaceStore::isListedFile(it->path().filename().native()))
                files.push_back(it->path());
        }
    } catch (...) {
        return {};
    }
    // The folder lists in no particular order; a fixed one keeps equal save times stable.
    std::sort(files.begin(), files.end());
    std::vector<StoredFile> out;
    for (std::filesystem::path& file : files)
        if (std::optional<Workspace> w = readWorkspace(file))
            out.push_back({std::move(file), std::move(*w)});
    return out;
}

bool isUtf8(std::string_view s)
{
    std::string again;
    for (char32_t c : text::scalars(s))
        again += text::utf8(c);
    return again == s;
}

} // namespace

bool WorkspaceStore::isAutoName(std::string_view name) { return fileBaseName(name).starts_with(autoPrefix); }

bool WorkspaceStore::isListedFile(std::string_view fileName)
{
    return std::filesystem::path(fileName).extension() == ".json" && !fileName.starts_with(autoPrefix);
}

std::optional<std::string> WorkspaceStore::nameProblem(std::string_view name)
{
    if (text::trimmingWhitespace(name).empty())
        return "A workflow needs a name.";
    if (!isUtf8(name))
        return "The name isn't valid text.";
    for (char32_t c : text::scalars(name))
        if (c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029)
            return "Names can't contain line breaks or control characters.";
    if (fileBaseName(name).size() + 5 > maxFileNameBytes)
        return "The name is too long; choose a shorter one.";
    return std::nullopt;
}

void WorkspaceStore::save(const Workspace& workspace) const
{
    if (const std::optional<std::string> problem = nameProblem(workspace.name))
        throw WorkspaceSaveError(*problem, std::make_error_code(std::errc::invalid_argument));

    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    if (ec)
        throw WorkspaceSaveError("Could not create the folder " + directory.string() + ": " + ec.message(), ec);

    std::string bytes;
    try {
        // Window titles are not always valid UTF-8; a bad byte must not lose the whole workflow.
        bytes = toJSON(workspace).dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
    } catch (const std::exception& e) {
        throw WorkspaceSaveError(std::string("Could not encode the workflow: ") + e.what(),
                                 std::make_error_code(std::errc::invalid_argument));
    }

    const std::filesystem::path file = url(workspace.name);
    if (const std::optional<Workspace> existing = readWorkspace(file);
        existing && !text::canonicallyEqual(existing->name, workspace.name)) {
        throw WorkspaceSaveError("The file " + file.filename().string() + " already holds the workflow \"" +
                                     existing->name + "\"",
                                 std::make_error_code(std::errc::file_exists), existing->name);
    }

    if (const std::error_code werr = writeFileAtomically(file, bytes))
        throw WorkspaceSaveError("Could not write " + file.string() + ": " + werr.message(), werr);
}

std::optional<Workspace> WorkspaceStore::load(std::string_view name) const
{
    std::optional<Workspace> own = readWorkspace(url(name));
    if (own && own->name == name)
        return own;
    for (StoredFile& stored : storedFiles(directory))
        if (stored.workspace.name == name)
            return std::move(stored.workspace);
    return own;
}

std::vector<Workspace> WorkspaceStore::named() const
{
    std::vector<StoredFile> stored = storedFiles(directory);
    // One per name: the file the name maps to when it holds it, else the
    // first, as `load` finds it.
    std::map<std::string, std::size_t, std::less<>> chosen;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const Workspace& w = stored[i].workspace;
        if (isAutoName(w.name))
            continue;
        const auto [at, added] = chosen.emplace(w.name, i);
        if (!added && stored[i].file == url(w.name))
            at->second = i;
    }
    std::vector<std::size_t> order;
    for (const auto& [name, index] : chosen)
        order.push_back(index);
    std::sort(order.begin(), order.end());
    std::vector<Workspace> out;
    for (std::size_t index : order)
        out.push_back(std::move(stored[index].workspace));
    std::stable_sort(out.begin(), out.end(),
                     [](const Workspace& a, const Workspace& b) { return a.savedAt > b.savedAt; });
    return out;
}

void WorkspaceStore::remove(std::string_view name) const
{
    std::filesystem::path file = url(name);
    const std::optional<Workspace> own = readWorkspace(file);
    if (!own || own->name != name)
        for (const StoredFile& stored : storedFiles(directory))
            if (stored.workspace.name == name) {
                file = stored.file;
                break;
            }
    std::error_code ec;
    std::filesystem::remove(file, ec);
}

std::string WorkspaceStore::autoName(std::string_view fingerprint)
{
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (const char c : fingerprint) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001b3ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(h));
    return std::string(autoPrefix) + hex;
}

} // namespace kavelo
