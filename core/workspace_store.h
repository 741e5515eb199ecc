#pragma once

// The folder of workflow files, one JSON file per workflow. It keeps no
// cache: every call goes to the file system. Main thread only.

#include "core/workspace.h"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace kavelo {

// Why a save failed. `code` is the file-system error, or `file_exists` when
// the file already holds another workflow (`existingName`).
class WorkspaceSaveError : public std::runtime_error {
public:
    WorkspaceSaveError(const std::string& what, std::error_code code, std::optional<std::string> existingName = {})
        : std::runtime_error(what), code(code), existingName(std::move(existingName))
    {
    }

    std::error_code code;
    std::optional<std::string> existingName;
};

struct WorkspaceStore {
    std::filesystem::path directory;

    WorkspaceStore() = default;
    explicit WorkspaceStore(std::filesystem::path directory) : directory(std::move(directory)) {}

    // Creates the folder when needed and writes the file atomically,
    // replacing an earlier save of the same workflow. Throws
    // WorkspaceSaveError, and then the file on disk is as it was. Names
    // that share a file ("A/B" and "A:B") do not overwrite each other: the
    // second save is refused, and so is a name with a `nameProblem`.
    void save(const Workspace& workspace) const;

    // The workflow of that name: the file of `url(name)` when it holds
    // exactly that name, else the first file in the folder (by file name)
    // that does (a copy the user made, a file named before names were
    // mapped), else whatever `url(name)` holds. No value when nothing reads.
    std::optional<Workspace> load(std::string_view name) const;

    // The user's workflows, newest first, each name once, each loadable by
    // its name: every ".json" file that reads and decodes, whatever its file
    // name, except "auto-" files and names that map to one.
    std::vector<Workspace> named() const;

    // Removes the file `load` reads for the name; a missing file is no error.
    void remove(std::string_view name) const;

    // Why a name cannot be saved so that it lists as itself, as a sentence;
    // no value when it can. Names must be UTF-8 without line breaks or
    // control characters, and short enough for a file name.
    static std::optional<std::string> nameProblem(std::string_view name);
    // Whether the name's file is an autosave's ("auto-…").
    static bool isAutoName(std::string_view name);
    // Whether a file of that name in the folder is one `named` reads.
    static bool isListedFile(std::string_view fileName);
    // Longest file name of a workflow, leaving room for the temporary a
    // save writes first.
    static constexpr std::size_t maxFileNameBytes = 224;

    // "auto-" and the FNV-1a 64-bit hash of the fingerprint in hexadecimal.
    static std::string autoName(std::string_view fingerprint);

    // The file of a name: letters, numbers, "-" and " " are kept, every
    // other character becomes "_", then ".json".
    std::filesystem::path url(std::string_view name) const;

    friend bool operator==(const WorkspaceStore&, const WorkspaceStore&) = default;
};

} // namespace kavelo
