#include "app/shell/single_instance.h"

#include "core/json.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>

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

bool writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data.remove_prefix(std::size_t(n));
    }
    return true;
}

// One line, up to `limit` bytes before its end; none on a timeout, a close
// before the end of the line, or a longer line.
std::optional<std::string> readLine(int fd, std::size_t limit, int timeoutMs, bool* tooLong = nullptr)
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
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt;
        line.append(buffer, std::size_t(n));
        if (const auto end = line.find('\n'); end != std::string::npos) {
            if (end > limit) {
                if (tooLong)
                    *tooLong = true;
                return std::nullopt;
            }
            line.resize(end);
            return line;
        }
        if (line.size() > limit) {
            if (tooLong)
                *tooLong = true;
            return std::nullopt;
        }
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

std::string errorAnswer(std::string_view why)
{
    return Json{{"error", std::string(why)}}.dump() + "\n";
}

} // namespace

std::string InstancePaths::fileName(std::string_view display)
{
    std::string out;
    for (char c : display)
        if (std::isalnum(static_cast<unsigned char>(c)) || c == ':' || c == '.' || c == '-' || c == '_')
            out += c;
        else
            out += '_';
    return out.empty() || out == "." || out == ".." ? std::string("default") : out;
}

std::optional<InstancePaths> InstancePaths::make(
    const std::function<std::optional<std::string>(std::string_view)>& lookup, uid_t uid, std::string_view display,
    std::string* error)
{
    std::string ignored;
    std::string& why = error ? *error : ignored;
    std::filesystem::path runtime;
    const auto variable = lookup("XDG_RUNTIME_DIR");
    if (variable && !variable->empty() && std::filesystem::path(*variable).is_absolute()) {
        runtime = *variable;
        if (!ensureFolder(runtime, uid, false, false, &why))
            return std::nullopt;
    } else {
        runtime = "/tmp/kavelo-" + std::to_string(uid);
        if (!ensureFolder(runtime, uid, true, true, &why))
            return std::nullopt;
    }
    InstancePaths paths;
    paths.folder = runtime / "kavelo";
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
    if (request->get<std::string>() == "reopen" && j.size() == 1)
        return InstanceRequest{Kind::reopen};
    if (request->get<std::string>() != "open" || j.size() != 2)
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
    if (kind == Kind::reopen)
        return Json{{"request", "reopen"}}.dump();
    // Texts that are not UTF-8 cannot travel as JSON; the instance refuses
    // the replacement characters like any bad URL.
    return Json{{"request", "open"}, {"urls", urls}}.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::vector<InstanceRequest> InstanceRequest::opening(const std::vector<std::string>& urls)
{
    std::vector<InstanceRequest> requests;
    InstanceRequest current{.kind = Kind::open};
    for (const std::string& url : urls) {
        current.urls.push_back(url);
        if (current.urls.size() > 1 && current.encode().size() > maxLine) {
            current.urls.pop_back();
            requests.push_back(std::move(current));
            current = InstanceRequest{.kind = Kind::open, .urls = {url}};
        }
    }
    if (!current.urls.empty())
        requests.push_back(std::move(current));
    return requests;
}

InstanceServer::InstanceServer(Scheduler& scheduler, std::function<void(const InstanceRequest&)> handle)
    : scheduler_(scheduler), handle_(std::move(handle))
{
}

InstanceServer::~InstanceServer()
{
    if (thread_.joinable()) {
        const char stop = 1;
        [[maybe_unused]] const ssize_t n = ::write(stopPipe_[1], &stop, 1);
        thread_.join();
    }
    for (int fd : stopPipe_)
        if (fd >= 0)
            ::close(fd);
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        std::error_code ignored;
        std::filesystem::remove(socket_, ignored);
    }
}

bool InstanceServer::listen(const std::filesystem::path& socket, std::string* error)
{
    if (listenFd_ >= 0)
        return true;
    const auto a = address(socket);
    if (!a) {
        *error = socket.string() + " is too long for a socket";
        return false;
    }
    // Whoever left it is gone: we hold the lock.
    std::error_code ignored;
    std::filesystem::remove(socket, ignored);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&*a), sizeof *a) != 0 || ::listen(fd, 8) != 0 ||
        ::pipe2(stopPipe_, O_CLOEXEC) != 0) {
        *error = "cannot listen on " + socket.string() + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::chmod(socket.c_str(), 0600);
    listenFd_ = fd;
    socket_ = socket;
    thread_ = std::thread([this] { serve(); });
    return true;
}

void InstanceServer::serve()
{
    for (;;) {
        pollfd p[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (p[1].revents)
            return;
        if (!(p[0].revents & POLLIN))
            continue;
        const int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        answer(client);
        ::close(client);
    }
}

void InstanceServer::answer(int client)
{
    bool tooLong = false;
    const auto line = readLine(client, InstanceRequest::maxLine, readTimeoutMs, &tooLong);
    if (!line) {
        writeAll(client, errorAnswer(tooLong ? "request too long" : "no request"));
        return;
    }
    const auto request = InstanceRequest::decode(*line);
    if (!request) {
        writeAll(client, errorAnswer("not a request"));
        return;
    }
    writeAll(client, std::string(okAnswer) + "\n");
    // Only the main thread touches the program.
    scheduler_.post(alive_.guard([this, r = *request] {
        if (handle_)
            handle_(r);
    }));
}

std::optional<std::string> sendToRunningInstance(const std::filesystem::path& socket, const InstanceRequest& request,
                                                 double waitSeconds)
{
    const auto a = address(socket);
    if (!a)
        return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(waitSeconds);
    for (;;) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return std::nullopt;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&*a), sizeof *a) == 0) {
            std::optional<std::string> answer;
            if (writeAll(fd, request.encode() + "\n"))
                answer = readLine(fd, InstanceRequest::maxLine, InstanceServer::readTimeoutMs);
            ::close(fd);
            return answer;
        }
        ::close(fd);
        // The holder may still be launching.
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
}

} // namespace kavelo
