#include "core/json.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <stdio.h>
#include <unistd.h>

namespace kavelo {
namespace json {

void fail(const std::string& why) { throw DecodeError(why); }

double number(const Json& j)
{
    if (!j.is_number())
        fail("expected a number");
    const double d = j.get<double>();
    if (!std::isfinite(d))
        fail("number is not finite");
    return d;
}

bool boolean(const Json& j)
{
    if (!j.is_boolean())
        fail("expected a Boolean");
    return j.get<bool>();
}

std::string text(const Json& j)
{
    if (!j.is_string())
        fail("expected text");
    return j.get<std::string>();
}

const Json& object(const Json& j)
{
    if (!j.is_object())
        fail("expected an object");
    return j;
}

const Json& array(const Json& j)
{
    if (!j.is_array())
        fail("expected an array");
    return j;
}

const Json& member(const Json& j, std::string_view key)
{
    const Json* m = optionalMember(j, key);
    if (!m)
        fail("missing member " + std::string(key));
    return *m;
}

const Json* optionalMember(const Json& j, std::string_view key)
{
    object(j);
    const auto it = j.find(key);
    if (it == j.end() || it->is_null())
        return nullptr;
    return &*it;
}

namespace {

const Json& pair(const Json& j)
{
    if (!j.is_array() || j.size() != 2)
        fail("expected a pair");
    return j;
}

} // namespace

Point point(const Json& j)
{
    pair(j);
    return {number(j[0]), number(j[1])};
}

Size size(const Json& j)
{
    pair(j);
    return {number(j[0]), number(j[1])};
}

Rect rect(const Json& j)
{
    pair(j);
    const Point origin = point(j[0]);
    const Size s = size(j[1]);
    return Rect(origin, s);
}

Date date(const Json& j)
{
    const auto d = parseIsoDate(text(j));
    if (!d)
        fail("not an ISO-8601 date");
    return *d;
}

Json encode(Point p) { return Json::array({p.x, p.y}); }
Json encode(Size s) { return Json::array({s.width, s.height}); }
Json encode(const Rect& r) { return Json::array({encode(r.origin), encode(r.size)}); }
Json encode(Date d) { return isoDate(d); }

namespace {

// Builds the document like the library's own parser, but gives up on the
// first container opened deeper than `maxDepth`, before anything recursive
// (copying, writing, destroying) ever meets it.
class BoundedDepthBuilder {
public:
    explicit BoundedDepthBuilder(Json& root) : dom_(root, false) {}

    bool null() { return dom_.null(); }
    bool boolean(bool v) { return dom_.boolean(v); }
    bool number_integer(Json::number_integer_t v) { return dom_.number_integer(v); }
    bool number_unsigned(Json::number_unsigned_t v) { return dom_.number_unsigned(v); }
    bool number_float(Json::number_float_t v, const Json::string_t& s) { return dom_.number_float(v, s); }
    bool string(Json::string_t& v) { return dom_.string(v); }
    bool binary(Json::binary_t& v) { return dom_.binary(v); }
    bool start_object(std::size_t n) { return enter() && dom_.start_object(n); }
    bool key(Json::string_t& v) { return dom_.key(v); }
    bool end_object() { return leave() && dom_.end_object(); }
    bool start_array(std::size_t n) { return enter() && dom_.start_array(n); }
    bool end_array() { return leave() && dom_.end_array(); }
    bool parse_error(std::size_t position, const std::string& token, const nlohmann::detail::exception& e)
    {
        return dom_.parse_error(position, token, e);
    }

private:
    bool enter() { return ++depth_ <= maxDepth; }
    bool leave()
    {
        --depth_;
        return true;
    }

    nlohmann::detail::json_sax_dom_parser<Json> dom_;
    int depth_ = 0;
};

} // namespace

std::optional<Json> parse(std::string_view text) noexcept
{
    try {
        Json j;
        BoundedDepthBuilder builder(j);
        if (!Json::sax_parse(text.begin(), text.end(), &builder))
            return std::nullopt;
        return j;
    } catch (...) {
        return std::nullopt;
    }
}

int depth(const Json& j)
{
    // Iterative, so a document built in code far deeper than any file may
    // hold is measured without recursion.
    int deepest = 0;
    std::vector<std::pair<const Json*, int>> pending{{&j, 0}};
    while (!pending.empty()) {
        const auto [value, level] = pending.back();
        pending.pop_back();
        if (!value->is_structured())
            continue;
        deepest = std::max(deepest, level + 1);
        for (const Json& child : *value)
            pending.emplace_back(&child, level + 1);
    }
    return deepest;
}

} // namespace json

std::optional<std::string> readFile(const std::filesystem::path& path, std::uintmax_t limit) noexcept
{
    try {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            return std::nullopt;
        struct stat st {};
        std::optional<std::string> out;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && std::uintmax_t(st.st_size) <= limit) {
            // The size may change while reading (and files under /proc tell
            // none): read to the end, but never past the limit.
            std::string bytes;
            bytes.reserve(std::size_t(st.st_size));
            char buffer[65536];
            for (;;) {
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0 || bytes.size() + std::size_t(n) > limit) {
                    bytes.clear();
                    break;
                }
                if (n == 0) {
                    out = std::move(bytes);
                    break;
                }
                bytes.append(buffer, std::size_t(n));
            }
        }
        ::close(fd);
        return out;
    } catch (...) {
        return std::nullopt;
    }
}

std::filesystem::path linkTarget(const std::filesystem::path& path) noexcept
{
    try {
        std::filesystem::path at = path;
        // As many hops as the kernel follows; a longer chain is a loop.
        for (int hop = 0; hop < 40; ++hop) {
            std::error_code ec;
            if (!std::filesystem::is_symlink(at, ec) || ec)
                return at;
            const std::filesystem::path next = std::filesystem::read_symlink(at, ec);
            if (ec)
                return at;
            at = next.is_absolute() ? next : at.parent_path() / next;
        }
        return path;
    } catch (...) {
        return path;
    }
}

namespace {

constexpr std::string_view temporaryMark = ".tmp-";

// "<name>.tmp-<pid>-<n>": the pid of the writer, or no value for any other name.
std::optional<long> temporaryOwner(std::string_view name)
{
    const size_t mark = name.rfind(temporaryMark);
    if (mark == std::string_view::npos || mark == 0)
        return std::nullopt;
    const std::string_view rest = name.substr(mark + temporaryMark.size());
    const size_t dash = rest.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash > 10 || dash + 1 == rest.size())
        return std::nullopt;
    const auto allDigits = [](std::string_view t) {
        return std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!allDigits(rest.substr(0, dash)) || !allDigits(rest.substr(dash + 1)))
        return std::nullopt;
    return std::stol(std::string(rest.substr(0, dash)));
}

} // namespace

void removeStaleTemporaries(const std::filesystem::path& folder) noexcept
{
    try {
        const long self = ::getpid();
        std::error_code ec;
        for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
             it.increment(ec)) {
            const std::optional<long> owner = temporaryOwner(it->path().filename().native());
            if (!owner || *owner == self || *owner <= 0)
                continue;
            std::error_code kind;
            if (!it->is_regular_file(kind) || it->is_symlink(kind))
                continue;
            // Only a writer that is gone; one still running may rename its file any moment.
            if (::kill(static_cast<pid_t>(*owner), 0) == 0 || errno != ESRCH)
                continue;
            std::error_code removed;
            std::filesystem::remove(it->path(), removed);
        }
    } catch (...) {
    }
}

std::error_code writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) noexcept
{
    static std::atomic<unsigned> counter{0};
    std::error_code ec;
    std::filesystem::path target;
    std::filesystem::path temp;
    try {
        // A link (dotfile managers keep settings so) stays a link: the file it names is replaced.
        target = linkTarget(path);
        const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
        removeStaleTemporaries(folder);
        temp = target;
        temp += std::string(temporaryMark) + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    } catch (...) {
        return std::make_error_code(std::errc::not_enough_memory);
    }

    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return {errno, std::generic_category()};

    auto abandon = [&](int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        return std::error_code(err, std::generic_category());
    };

    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return abandon(errno);
        }
        p += n;
        left -= size_t(n);
    }
    if (::fsync(fd) != 0)
        return abandon(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return {err, std::generic_category()};
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return {err, std::generic_category()};
    }
    return ec;
}

std::error_code renameWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to) noexcept
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return {};
    const int err = errno;
    if (err != EINVAL && err != ENOSYS)
        return {err, std::generic_category()};
    // A file system without the flag: check, then rename (a race here is the only way to lose).
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(to, ec)))
        return std::make_error_code(std::errc::file_exists);
    std::filesystem::rename(from, to, ec);
    return ec;
}

MovedAside moveAside(const std::filesystem::path& file, std::string_view suffix, int maxCopies) noexcept
{
    MovedAside out;
    try {
        const std::filesystem::path original = linkTarget(file);
        std::error_code moved = std::make_error_code(std::errc::file_exists);
        std::filesystem::path aside;
        for (int n = 1; moved == std::errc::file_exists && n <= maxCopies; ++n) {
            aside = original;
            aside += std::string(suffix) + (n == 1 ? std::string() : "." + std::to_string(n));
            moved = renameWithoutReplacing(original, aside);
        }
        if (!moved) {
            out.movedTo = aside;
            return out;
        }
        std::error_code gone;
        if (std::filesystem::exists(std::filesystem::symlink_status(original, gone)) || gone)
            out.error = moved;
    } catch (...) {
        out.error = std::make_error_code(std::errc::not_enough_memory);
    }
    return out;
}

} // namespace kavelo
