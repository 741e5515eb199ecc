#pragma once

// The user defaults: one JSON object of keys to typed values, kept in one
// file and written atomically after every change. Values keep their JSON
// type, so a reader can tell an integer from a text and fall back to its
// default for anything else.
//
// A file that cannot be read as a JSON object (nesting deeper than
// `json::maxDepth` included) is left alone until the first change, when it
// is renamed aside ("defaults.json.unreadable", then ".2", ".3" ..., never
// onto an existing copy) instead of being replaced; the keys it held read as
// absent. A file that is a symbolic link stays one: the file it leads to is
// written (and moved aside).
//
// A write that fails (a full disk, a read-only folder) leaves the new value
// in memory; the next change writes the whole file again. `onWriteFailure`
// hears each cause once, until a write succeeds again.
//
// Writes are at once, unless deferred: then a burst of changes is written
// once, `delay` after its first change, and `flush` (or the destructor)
// writes what waits.

#include "app/platform/handle.h"
#include "app/platform/scheduler.h"
#include "core/json.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace kavelo {

class UserDefaults {
public:
    explicit UserDefaults(std::filesystem::path file);
    // Writes what waits.
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    const std::filesystem::path& file() const { return file_; }

    // The stored value, or null when the key is absent.
    const Json* value(std::string_view key) const;
    bool contains(std::string_view key) const { return value(key) != nullptr; }

    // No value when the key is absent or holds another type.
    std::optional<bool> boolean(std::string_view key) const;
    std::optional<std::int64_t> integer(std::string_view key) const;
    std::optional<double> number(std::string_view key) const;   // integers too
    std::optional<std::string> text(std::string_view key) const;
    std::optional<std::vector<std::string>> texts(std::string_view key) const;

    // Stores `value` and writes the file. A value that JSON cannot carry (a
    // number that is not finite, text that is not UTF-8, nesting the file
    // could not be read back with) removes the key instead; the answer tells
    // whether the value was stored.
    bool set(std::string_view key, Json value);
    void remove(std::string_view key);

    // Whether a value can be written as JSON under a key and read back the same.
    static bool encodable(const Json& value);

    // Told, with a one-line message and the error, the first time a cause
    // makes a write fail since the last write that worked.
    std::function<void(std::string_view message, std::error_code error)> onWriteFailure;

    // Changes are written `delay` seconds after the first one not yet written.
    void deferWrites(Scheduler& scheduler, Seconds delay);
    // From now on changes stay in memory and the file is never written:
    // it belongs to another process.
    void keepInMemory();
    // Writes what waits now; the outcome of the last write.
    std::error_code flush();
    bool hasUnwritten() const { return unwritten_; }
    // Counts every change, written or not.
    std::uint64_t changes() const { return changes_; }

    // The outcome of the last file write (success before any).
    std::error_code lastWriteError() const { return lastError_; }
    // Why a write failed, in a few plain words ("the disk is full").
    static std::string plainReason(std::error_code error, const std::filesystem::path& folder);
    // How many copies aside may pile up before one more is refused.
    static constexpr int maxAsideCopies = 100'000;
    // Where an unreadable file was moved, once it has been.
    const std::optional<std::filesystem::path>& movedAside() const { return movedAside_; }

private:
    void changed();
    void write();
    void failed(std::error_code error, std::string_view what);

    std::filesystem::path file_;
    Json values_ = Json::object();
    bool unreadable_ = false;
    std::optional<std::filesystem::path> movedAside_;
    std::error_code lastError_;
    std::set<std::string> told_;
    Scheduler* scheduler_ = nullptr;
    Seconds delay_{0};
    Handle pending_;
    bool unwritten_ = false;
    bool inMemory_ = false;
    std::uint64_t changes_ = 0;
};

} // namespace kavelo
