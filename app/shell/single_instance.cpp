#include "app/shell/single_instance.h"

#include "app/shell/instance_server.h"
#include "core/json.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace kavelo {

namespace {

// Makes `path` a folder of `uid`'s with mode 0700 when it is missing;
// refuses a link, a non-folder or someone else's. `tighten` narrows the
// mode of an existing folder of ours.
bool ensureFolder(const std::filesystem::path& path, uid_t uid, bool create, bool tighten, std::string* error)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT || !create) {
            *error = path.string() + ": " + std::strerror(errno);
            return false;
        }
        if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
            *error = "cannot make " + path.string() + ": " + std::strerror(errno);
            return false;
        }
        if (::lstat(path.c_str(), &st) != 0) {
            *error = path.string() + ": " + std::strerror(errno);
            return false;
        }
    }
    if (S_ISLNK(st.st_mode)) {
        *error = path.string() + " is a symbolic link";
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        *error = path.string() + " is not a folder";
        return false;
    }
    if (st.st_uid != uid) {
        *error = path.string() + " belongs to another user";
        return false;
    }
    if (tighten && (st.st_mode & 077) && ::chmod(path.c_str(), 0700) != 0) {
        *error = "cannot make " + path.string() + " private: " + std::strerror(errno);
        return false;
    }
    return true;
}

// All of `data`, waiting for room up to `timeoutMs`.
bool writeAll(int fd, std::string_view data, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!data.empty()) {
        const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd p{fd, POLLOUT, 0};
            if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0)
                return false;
            continue;
        }
        if (n <= 0)
            return false;
        data.remove_prefix(std::size_t(n));
    }
    return true;
}

// One line, up to `limit` bytes before its end; none on a timeout, a close
// before the end of the line, or a longer line.
std::optional<std::string> readLine(int fd, std::size_t limit, int timeoutMs)
{
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[4096];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, int(left)) <= 0)
            return std::nullopt;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        if (n <= 0)
            return std::nullopt;
        line.append(buffer, std::size_t(n));
        if (const auto end = line.find('\n'); end != std::string::npos) {
            if (end > limit)
                return std::nullopt;
            line.resize(end);
            return line;
        }
        if (line.size() > limit)
            return std::nullopt;
    }
}

std::optional<sockaddr_un> address(const std::filesystem::path& socket)
{
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    const std::string path = socket.string();
    if (path.size() >= sizeof a.sun_path)
        return std::nullopt;
    std::memcpy(a.sun_path, path.c_str(), path.size() + 1);
    return a;
}

} // namespace

std::string InstancePaths::canonicalDisplay(std::string_view display, std::string_view hostName)
{
    std::string text(display);
    // "/tmp/.X11-unix/X1": the local socket itself.
    constexpr std::string_view socketPrefix = "/tmp/.X11-unix/X";
    if (text.starts_with(socketPrefix)) {
        const std::string number = text.substr(socketPrefix.size());
        if (!number.empty() && std::all_of(number.begin(), number.end(), ::isdigit))
            return ":" + number;
        return text;
    }
    const auto colon = text.rfind(':');
    if (colon == std::string::npos)
        return text;
    std::string host = text.substr(0, colon);
    std::string number = text.substr(colon + 1);
    number = number.substr(0, number.find('.'));
    if (number.empty() || !std::all_of(number.begin(), number.end(), ::isdigit) ||
        (!host.empty() && host.back() == ':'))
        return text;
    number.erase(0, std::min(number.find_first_not_of('0'), number.size() - 1));
    // "tcp/host", "unix/host" and "host/unix" name the way in, not the host.
    if (const auto slash = host.find('/'); slash != std::string::npos) {
        const std::string before = host.substr(0, slash), after = host.substr(slash + 1);
        host = after == "unix" ? std::string() : after;
        if (before == "unix")
            host.clear();
    }
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    std::transform(host.begin(), host.end(), host.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    std::string own(hostName);
    if (own.empty()) {
        char name[256] = {};
        if (::gethostname(name, sizeof name - 1) == 0)
            own = name;
    }
    std::transform(own.begin(), own.end(), own.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    const bool local = host.empty() || host == "unix" || host == "localhost" || host == "127.0.0.1" ||
                       host == "::1" || (!own.empty() && host == own);
    return (local ? std::string() : host) + ":" + number;
}

std::string InstancePaths::fileName(std::string_view display)
{
    std::string out;
    for (char c : canonicalDisplay(display))
        if (std::isalnum(static_cast<unsigned char>(c)) || c == ':' || c == '.' || c == '-' || c == '_')
            out += c;
        else
            out += '_';
    return out.empty() || out == "." || out == ".." ? std::string("default") : out;
}

std::optional<InstancePaths> InstancePaths::make(
    const std::function<std::optional<std::string>(std::string_view)>& lookup, uid_t uid, std::string_view display,
    std::string* error, const std::filesystem::path& shared)
{
    std::string ignored;
    std::string& why = error ? *error : ignored;
    const auto absolute = [&](std::string_view name) -> std::optional<std::filesystem::path> {
        const auto value = lookup(name);
        if (!value || value->empty() || !std::filesystem::path(*value).is_absolute())
            return std::nullopt;
        return std::filesystem::path(*value);
    };
    std::filesystem::path folder;
    if (const auto runtime = absolute("XDG_RUNTIME_DIR")) {
        if (!ensureFolder(*runtime, uid, false, false, &why))
            return std::nullopt;
        folder = *runtime / "kavelo";
    } else if (std::string taken; ensureFolder(shared / ("kavelo-" + std::to_string(uid)), uid, true, true, &taken)) {
        folder = shared / ("kavelo-" + std::to_string(uid)) / "kavelo";
    } else {
        // Someone else made the shared name first: our own cache folder,
        // which nobody else can make, is as private.
        std::optional<std::filesystem::path> cache = absolute("XDG_CACHE_HOME");
        if (!cache)
            if (const auto home = absolute("HOME"))
                cache = *home / ".cache";
        if (!cache) {
            why = taken + ", and there is no home folder to use instead; set XDG_RUNTIME_DIR";
            return std::nullopt;
        }
        std::error_code ec;
        std::filesystem::create_directories(*cache, ec);
        folder = *cache / "kavelo";
    }
    InstancePaths paths;
    paths.folder = folder;
    if (!ensureFolder(paths.folder, uid, true, true, &why))
        return std::nullopt;
    const std::string name = fileName(display);
    paths.lock = paths.folder / (name + ".lock");
    paths.socket = paths.folder / (name + ".socket");
    return paths;
}

std::optional<InstanceLock> InstanceLock::acquire(const std::filesystem::path& file, std::string* error)
{
    if (error)
        error->clear();
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        if (error)
            *error = "cannot open " + file.string() + ": " + std::strerror(errno);
        return std::nullopt;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int why = errno;
        ::close(fd);
        if (why != EWOULDBLOCK && error)
            *error = "cannot lock " + file.string() + ": " + std::strerror(why);
        return std::nullopt;
    }
    return InstanceLock(fd);
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

InstanceLock::~InstanceLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::optional<InstanceRequest> InstanceRequest::decode(std::string_view line)
{
    if (line.size() > maxLine)
        return std::nullopt;
    const Json j = Json::parse(line, nullptr, false);
    if (j.is_discarded() || !j.is_object())
        return std::nullopt;
    const auto request = j.find("request");
    if (request == j.end() || !request->is_string())
        return std::nullopt;
    const std::string kind = request->get<std::string>();
    if (kind == "reopen" && j.size() == 1)
        return InstanceRequest{Kind::reopen};
    if (j.size() != 2)
        return std::nullopt;
    if (kind == "save") {
        const auto name = j.find("name");
        if (name == j.end() || !name->is_string())
            return std::nullopt;
        return saving(name->get<std::string>());
    }
    if (kind != "open")
        return std::nullopt;
    const auto urls = j.find("urls");
    if (urls == j.end() || !urls->is_array() || urls->empty())
        return std::nullopt;
    InstanceRequest open{.kind = Kind::open};
    for (const Json& url : *urls) {
        if (!url.is_string())
            return std::nullopt;
        open.urls.push_back(url.get<std::string>());
    }
    return open;
}

std::string InstanceRequest::encode() const
{
    // Texts that are not UTF-8 cannot travel as JSON; the instance refuses
    // the replacement characters like any bad URL.
    switch (kind) {
    case Kind::reopen: return Json{{"request", "reopen"}}.dump();
    case Kind::save: return Json{{"request", "save"}, {"name", name}}.dump(-1, ' ', false, Json::error_handler_t::replace);
    case Kind::open: break;
    }
    return Json{{"request", "open"}, {"urls", urls}}.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<std::string> InstanceRequest::tooLong() const
{
    const std::string limits =
        "at most " + std::to_string(maxUrls) + " URLs of " + std::to_string(maxLine / 1024) + " KiB in all";
    if (urls.size() > maxUrls)
        return "a command line may carry " + limits + ", and this one has " + std::to_string(urls.size()) + " URLs";
    if (const std::size_t bytes = encode().size(); bytes > maxLine)
        return "a command line may carry " + limits + ", and this one has " + std::to_string((bytes + 1023) / 1024) +
               " KiB";
    return std::nullopt;
}

bool isListening(const std::filesystem::path& socket)
{
    const auto a = address(socket);
    if (!a)
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    const bool accepts = ::connect(fd, reinterpret_cast<const sockaddr*>(&*a), sizeof *a) == 0 || errno == EAGAIN;
    ::close(fd);
    return accepts;
}

std::optional<std::string> sendToRunningInstance(const std::filesystem::path& socket, const InstanceRequest& request,
                                                 double waitSeconds, double answerSeconds, bool* reached)
{
    if (reached)
        *reached = false;
    const auto a = address(socket);
    if (!a)
        return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(waitSeconds);
    for (;;) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return std::nullopt;
        // Never blocks: a full queue of connections says EAGAIN.
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&*a), sizeof *a) == 0) {
            if (reached)
                *reached = true;
            std::optional<std::string> answer;
            const int answerMs = int(answerSeconds * 1000);
            if (writeAll(fd, request.encode() + "\n", answerMs))
                answer = readLine(fd, InstanceRequest::maxLine, answerMs);
            ::close(fd);
            return answer;
        }
        ::close(fd);
        // The holder may still be launching, or busy accepting.
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
}

std::optional<std::string> answerError(std::string_view answer)
{
    if (answer == InstanceServer::okAnswer)
        return std::nullopt;
    const Json j = Json::parse(answer, nullptr, false);
    if (!j.is_discarded() && j.is_object() && j.size() == 1 && j.contains("error") && j["error"].is_string())
        return j["error"].get<std::string>();
    return std::string("the running Kavelo gave an answer it should not");
}

} // namespace kavelo
