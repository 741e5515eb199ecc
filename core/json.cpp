#include "core/json.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
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

std::optional<Json> parse(std::string_view text) noexcept
{
    try {
        Json j = Json::parse(text.begin(), text.end());
        return j;
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace json

std::optional<std::string> readFile(const std::filesystem::path& path) noexcept
{
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return std::nullopt;
        std::ostringstream out;
        out << in.rdbuf();
        if (in.bad())
            return std::nullopt;
        return std::move(out).str();
    } catch (...) {
        return std::nullopt;
    }
}

std::error_code writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) noexcept
{
    static std::atomic<unsigned> counter{0};
    std::error_code ec;
    std::filesystem::path temp;
    try {
        temp = path;
        temp += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
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
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return {err, std::generic_category()};
    }
    return ec;
}

} // namespace kavelo
