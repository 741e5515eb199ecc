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
    // second save is refused.
    void save(const Workspace& workspace) const;

    // No value for a missing, unreadable or undecodable file.
    std::optional<Workspace> load(std::string_view name) const;

    // The user's workflows, newest first; "auto-" files are left out, and
    // so is every file that fails to read or decode.
    std::vector<Workspace> named() const;

    // Removes the workflow's file; a missing file is no error.
    void remove(std::string_view name) const;

    // "auto-" and the FNV-1a 64-bit hash of the fingerprint in hexadecimal.
    static std::string autoName(std::string_view fingerprint);

    // The file of a name: letters, numbers, "-" and " " are kept, every
    // other character becomes "_", then ".json".
    std::filesystem::path url(std::string_view name) const;

    friend bool operator==(const WorkspaceStore&, const WorkspaceStore&) = default;
};

} // namespace kavelo
