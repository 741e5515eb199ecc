#include "app/shell/instance_server.h"

#include "core/json.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

namespace kavelo {

namespace {

std::string answerLine(const std::optional<std::string>& error)
{
    if (!error)
        return std::string(InstanceServer::okAnswer) + "\n";
    return Json{{"error", *error}}.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

} // namespace

InstanceServer::InstanceServer(Scheduler& scheduler, ReadableWatch watch, Program program)
    : scheduler_(scheduler), watch_(std::move(watch)), program_(std::move(program))
{
}

InstanceServer::~InstanceServer()
{
    stop();
    while (!clients_.empty())
        answer(clients_.begin()->first, std::string(quitting));
    listening_.cancel();
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
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = socket.string();
    if (path.size() >= sizeof address.sun_path) {
        *error = path + " is too long for a socket";
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    // Whoever left it is gone: we hold the lock.
    std::error_code ignored;
    std::filesystem::remove(socket, ignored);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, SOMAXCONN) != 0) {
        *error = "cannot listen on " + path + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::chmod(socket.c_str(), 0600);
    listenFd_ = fd;
    socket_ = socket;
    listening_ = watch_(fd, alive_.guard([this] { accept(); }));
    return true;
}

void InstanceServer::stop()
{
    if (stopped_)
        return;
    stopped_ = true;
    next_.cancel();
    std::vector<std::pair<std::uint64_t, std::optional<std::string>>> told;
    for (const auto& [id, client] : clients_)
        if (client.last)
            told.emplace_back(id, quitAnswer(client));
    while (queue_.take()) {
    }
    for (const auto& [id, answer] : told)
        this->answer(id, answer);
}

std::optional<std::string> InstanceServer::quitAnswer(const Client& client) const
{
    // The action that runs now was taken, and ends.
    const InstanceQueue::Ticket taken = queue_.taken();
    const InstanceQueue::Ticket all = *client.last - *client.first + 1;
    const InstanceQueue::Ticket done = taken < *client.first ? 0 : std::min(all, taken - *client.first + 1);
    if (done == 0)
        return std::string(quitting);
    if (done == all)
        return client.failure;
    return "the running Kavelo quit after doing " + std::to_string(done) + " of the " + std::to_string(all) +
           " URLs; the rest were not done";
}

void InstanceServer::accept()
{
    // A few at a time: a flood of connections must not hold up the loop.
    for (int i = 0; i < acceptsPerTurn; ++i) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        if (clients_.size() >= maxClients) {
            // The oldest that is still sending gives way; when all wait
            // for their work, the newcomer is turned away.
            auto reading = clients_.begin();
            while (reading != clients_.end() && reading->second.last)
                ++reading;
            if (reading == clients_.end()) {
                const std::string line = answerLine(std::string(busy));
                [[maybe_unused]] const ssize_t n = ::send(fd, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
                ::close(fd);
                continue;
            }
            answer(reading->first, std::string(busy));
        }
        const std::uint64_t id = nextClient_++;
        Client& client = clients_[id];
        client.fd = fd;
        client.deadline =
            scheduler_.after(readTimeout, alive_.guard([this, id] { answer(id, std::string("no request in time")); }));
        client.readable = watch_(fd, alive_.guard([this, id] { read(id); }));
    }
}

void InstanceServer::read(std::uint64_t id)
{
    const auto it = clients_.find(id);
    if (it == clients_.end())
        return;
    Client& client = it->second;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::recv(client.fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n <= 0) {
            answer(id, std::string("no request"));
            return;
        }
        client.line.append(buffer, std::size_t(n));
        const auto end = client.line.find('\n');
        if (end != std::string::npos && end <= InstanceRequest::maxLine) {
            const std::string line = client.line.substr(0, end);
            received(id, line);
            return;
        }
        if (client.line.size() > InstanceRequest::maxLine) {
            answer(id, std::string("request too long"));
            return;
        }
    }
}

void InstanceServer::received(std::uint64_t id, std::string_view line)
{
    Client& client = clients_.at(id);
    client.readable.cancel();
    client.deadline.cancel();
    client.line.clear();
    client.line.shrink_to_fit();
    const auto request = InstanceRequest::decode(line);
    if (!request)
        return answer(id, std::string("not a request"));
    if (stopped_)
        return answer(id, std::string(quitting));
    if (auto refused = refusal(*request))
        return answer(id, nothingDone(std::move(*refused)));
    const InstanceQueue::Ticket first = queue_.added() + 1;
    const auto ticket = queue_.add(*request);
    if (!ticket)
        return answer(id, std::string(busy));
    client.first = first;
    client.last = *ticket;
    answerSettled();
    schedule();
}

std::optional<std::string> InstanceServer::refusal(const InstanceRequest& request) const
{
    if (request.urls.size() > InstanceRequest::maxUrls)
        return request.tooLong();
    if (!program_.problem)
        return std::nullopt;
    std::optional<std::string> first;
    std::size_t more = 0;
    for (const std::string& url : request.urls)
        if (auto problem = program_.problem(url)) {
            if (first)
                ++more;
            else
                first = std::move(problem);
        }
    if (first && more > 0)
        *first += " (and " + std::to_string(more) + " more)";
    return first;
}

void InstanceServer::schedule()
{
    if (next_.pending() || running_ || queue_.empty() || stopped_)
        return;
    // One action per turn of the loop, so that a quit gets its turn.
    next_ = scheduler_.after(0.0, alive_.guard([this] { runNext(); }));
}

void InstanceServer::runNext()
{
    const auto action = queue_.take();
    if (!action)
        return answerSettled();
    const InstanceQueue::Ticket number = queue_.taken();
    running_ = true;
    bool changed = false;
    std::optional<std::string> failure;
    if (action->kind == InstanceAction::Kind::save)
        failure = program_.saveWorkflow ? program_.saveWorkflow(action->name)
                                        : std::optional<std::string>("this Kavelo cannot save workflows");
    else
        changed = program_.run && program_.run(*action);
    running_ = false;
    for (auto& [id, client] : clients_)
        if (client.first && *client.first <= number && number <= *client.last) {
            client.changedSettings = client.changedSettings || changed;
            if (!client.failure)
                client.failure = failure;
        }
    answerSettled();
    schedule();
}

void InstanceServer::answerSettled()
{
    if (stopped_)
        return;
    const InstanceQueue::Ticket settled = this->settled();
    std::vector<std::uint64_t> done;
    bool saving = false;
    for (const auto& [id, client] : clients_)
        if (client.last && *client.last <= settled) {
            done.push_back(id);
            saving = saving || client.changedSettings;
        }
    // One write for every client answered now.
    const std::optional<std::string> unsaved = saving && program_.save ? program_.save() : std::nullopt;
    for (const std::uint64_t id : done) {
        const auto it = clients_.find(id);
        if (it == clients_.end())
            continue;
        const Client& client = it->second;
        answer(id, client.failure ? client.failure : client.changedSettings ? unsaved : std::nullopt);
    }
}

InstanceQueue::Ticket InstanceServer::settled() const
{
    // The action that runs is not done yet.
    return running_ ? std::min(queue_.settled(), queue_.taken() - 1) : queue_.settled();
}

void InstanceServer::answer(std::uint64_t id, const std::optional<std::string>& error)
{
    const auto it = clients_.find(id);
    if (it == clients_.end())
        return;
    Client client = std::move(it->second);
    clients_.erase(it);
    client.readable.cancel();
    client.deadline.cancel();
    // A line this short fits the socket's buffer; a client that is gone
    // or does not read loses it.
    const std::string line = answerLine(error);
    [[maybe_unused]] const ssize_t n = ::send(client.fd, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    ::close(client.fd);
}

} // namespace kavelo
