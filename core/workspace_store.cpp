#include "core/workspace_store.h"

#include "core/text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

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

void WorkspaceStore::save(const Workspace& workspace) const
{
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
    if (const std::optional<Workspace> existing = load(workspace.name);
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
    const std::optional<std::string> bytes = readFile(url(name));
    if (!bytes)
        return std::nullopt;
    return decodeWorkspace(*bytes);
}

std::vector<Workspace> WorkspaceStore::named() const
{
    std::vector<std::string> bases;
    try {
        std::error_code ec;
        for (auto it = std::filesystem::directory_iterator(directory, ec); !ec && it != std::filesystem::directory_iterator();
             it.increment(ec)) {
            const std::filesystem::path& p = it->path();
            if (p.extension() != ".json")
                continue;
            std::string base = p.stem().string();
            if (base.starts_with(autoPrefix))
                continue;
            bases.push_back(std::move(base));
        }
    } catch (...) {
        return {};
    }
    // The folder lists in no particular order; a fixed one keeps equal save times stable.
    std::sort(bases.begin(), bases.end());

    std::vector<Workspace> out;
    for (const std::string& base : bases)
        if (std::optional<Workspace> w = load(base))
            out.push_back(std::move(*w));
    std::stable_sort(out.begin(), out.end(),
                     [](const Workspace& a, const Workspace& b) { return a.savedAt > b.savedAt; });
    return out;
}

void WorkspaceStore::remove(std::string_view name) const
{
    std::error_code ec;
    std::filesystem::remove(url(name), ec);
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
