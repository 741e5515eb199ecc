#pragma once

// Strict JSON reading and the shared forms of geometry, enumerations and
// dates. Decoders are written with the throwing readers below and wrapped in
// `decode`, which turns any failure into no value: a wrong type, a fraction
// where an integer belongs or a number out of range never converts silently.

#include "core/date.h"
#include "core/geometry.h"

#include <nlohmann/json.hpp>

#include <concepts>
#include <cstdint>
#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>

namespace kavelo {

using Json = nlohmann::json;

namespace json {

struct DecodeError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const std::string& why);

// A finite number; integers are accepted as numbers.
double number(const Json& j);

bool boolean(const Json& j);

std::string text(const Json& j);

// An integer of type I. A float is accepted only when it is a whole number;
// anything outside I's range fails.
template <std::integral I>
I integer(const Json& j)
{
    if (j.is_number_unsigned()) {
        const auto v = j.get<std::uint64_t>();
        if (v > static_cast<std::uint64_t>(std::numeric_limits<I>::max()))
            fail("integer out of range");
        return static_cast<I>(v);
    }
    if (j.is_number_integer()) {
        const auto v = j.get<std::int64_t>();
        if constexpr (std::is_unsigned_v<I>) {
            if (v < 0 || static_cast<std::uint64_t>(v) > std::numeric_limits<I>::max())
                fail("integer out of range");
        } else {
            if (v < std::numeric_limits<I>::min() || v > std::numeric_limits<I>::max())
                fail("integer out of range");
        }
        return static_cast<I>(v);
    }
    if (j.is_number_float()) {
        const double d = j.get<double>();
        if (!std::isfinite(d) || std::trunc(d) != d)
            fail("not a whole number");
        // Compare in long double so the range edges are not rounded away.
        if (static_cast<long double>(d) < static_cast<long double>(std::numeric_limits<I>::min()) ||
            static_cast<long double>(d) > static_cast<long double>(std::numeric_limits<I>::max()))
            fail("integer out of range");
        return static_cast<I>(d);
    }
    fail("expected an integer");
}

// Object members. `member` fails when the key is missing; `optionalMember`
// gives null for a missing key or an explicit JSON null.
const Json& object(const Json& j);
const Json& array(const Json& j);
const Json& member(const Json& j, std::string_view key);
const Json* optionalMember(const Json& j, std::string_view key);

Point point(const Json& j);
Size size(const Json& j);
Rect rect(const Json& j);
Date date(const Json& j);

Json encode(Point p);
Json encode(Size s);
Json encode(const Rect& r);
Json encode(Date d);

// Enumerations travel as their raw text; `from` is the type's X_from.
template <class E, class From>
E enumeration(const Json& j, From from)
{
    const std::optional<E> value = from(text(j));
    if (!value)
        fail("unknown case");
    return *value;
}

// Runs a throwing decoder and gives its value, or no value on any failure.
template <class F>
auto decode(F&& decoder) noexcept -> std::optional<std::invoke_result_t<F>>
{
    try {
        return std::forward<F>(decoder)();
    } catch (const DecodeError&) {
    } catch (const Json::exception&) {
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

// Every file Kavelo reads is parsed here. Containers may nest `maxDepth`
// deep (a plain value is depth 0, `[]` depth 1); a deeper document is no
// JSON at all, refused while parsing.
constexpr int maxDepth = 64;

// Parses text into JSON; no value when the text is not JSON or nests too deep.
std::optional<Json> parse(std::string_view text) noexcept;

// How deep containers nest in `j`, as `parse` counts it.
int depth(const Json& j);

} // namespace json

// Larger files are not read.
constexpr std::uintmax_t maxReadBytes = std::uintmax_t(64) << 20;

// The whole file, or no value when it cannot be read. Only a regular file
// (or a link to one) of at most `limit` bytes is read: a fifo, a device or a
// socket would block or never end, so it reads as unreadable, and opening
// never waits.
std::optional<std::string> readFile(const std::filesystem::path& path, std::uintmax_t limit = maxReadBytes) noexcept;

// Writes `bytes` to a temporary in the same folder (its name never ends in
// ".json", so folder scans skip it) and renames it over `path`. On failure
// the temporary is removed, the old file stays, and the error is returned.
// When `path` is a symbolic link, the file it leads to is replaced and the
// link stays. Temporaries that writers killed mid-write left in that folder
// are removed first.
std::error_code writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) noexcept;

// The file a chain of symbolic links leads to (which need not exist); the
// path itself when it is no link or the chain loops.
std::filesystem::path linkTarget(const std::filesystem::path& path) noexcept;

// Removes the temporaries of `writeFileAtomically` in `folder` whose writer
// process has ended; nothing else is touched.
void removeStaleTemporaries(const std::filesystem::path& folder) noexcept;

// Renames, but never onto an existing name (then `file_exists`).
std::error_code renameWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to) noexcept;

// Keeps a file that could not be read rather than replacing it: renames the
// file (the one a chain of links leads to) to "<name><suffix>", then
// "<name><suffix>.2", ".3" ..., never onto an existing name, trying at most
// `maxCopies` names. No error when the file was moved or is no longer
// there; `movedTo` tells where it went. On an error the file stays.
struct MovedAside {
    std::optional<std::filesystem::path> movedTo;
    std::error_code error;
};
MovedAside moveAside(const std::filesystem::path& file, std::string_view suffix, int maxCopies = 100'000) noexcept;

} // namespace kavelo
