#pragma once

// The user defaults: one JSON object of keys to typed values, kept in one
// file and written atomically after every change. Values keep their JSON
// type, so a reader can tell an integer from a text and fall back to its
// default for anything else.
//
// A file that cannot be read as a JSON object is left alone until the first
// change, when it is renamed aside ("defaults.json.unreadable", then ".2",
// ".3" ...) instead of being replaced; the keys it held read as absent.

#include "core/json.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace kavelo {

class UserDefaults {
public:
    explicit UserDefaults(std::filesystem::path file);
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
    // number that is not finite, text that is not UTF-8) removes the key
    // instead; the answer tells whether the value was stored.
    bool set(std::string_view key, Json value);
    void remove(std::string_view key);

    // Whether a value can be written as JSON and read back the same.
    static bool encodable(const Json& value);

    // The outcome of the last file write (success before any).
    std::error_code lastWriteError() const { return lastError_; }
    // Where an unreadable file was moved, once it has been.
    const std::optional<std::filesystem::path>& movedAside() const { return movedAside_; }

private:
    void write();

    std::filesystem::path file_;
    Json values_ = Json::object();
    bool unreadable_ = false;
    std::optional<std::filesystem::path> movedAside_;
    std::error_code lastError_;
};

} // namespace kavelo
