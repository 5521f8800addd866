#include "fakes/LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace quillo::test {

namespace {

void sendAll(int fd, const std::string& data)
{
    std::size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return;
        }
        sent += static_cast<std::size_t>(n);
    }
}

// libcurl spells the header this way.
std::size_t contentLength(const std::string& headers)
{
    const auto at = headers.find("\r\nContent-Length:");
    return at == std::string::npos ? 0 : std::stoul(headers.substr(at + 17));
}

std::string statusLine(int status)
{
    return "HTTP/1.1 " + std::to_string(status) + " Status\r\n";
}

} // namespace

LoopbackHttpServer::LoopbackHttpServer(std::vector<Reply> replies) : m_replies(std::move(replies))
{
    if (m_replies.empty()) {
        m_replies.push_back({});
    }
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 8) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(m_wake, O_CLOEXEC) != 0) {
        throw std::runtime_error("loopback server: cannot listen");
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    const char byte = 0;
    [[maybe_unused]] const auto written = ::write(m_wake[1], &byte, 1);
    m_thread.join();
    ::close(m_listener);
    ::close(m_wake[0]);
    ::close(m_wake[1]);
}

std::string LoopbackHttpServer::baseURL() const
{
    return "http://127.0.0.1:" + std::to_string(m_port);
}

std::vector<std::string> LoopbackHttpServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

bool LoopbackHttpServer::waitReadable(int fd)
{
    pollfd fds[2] = {{fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
    while (::poll(fds, 2, -1) < 0) {
    }
    return (fds[1].revents & POLLIN) == 0;
}

void LoopbackHttpServer::serve()
{
    for (;;) {
        if (!waitReadable(m_listener)) {
            return;
        }
        const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            continue;
        }
        const int index = m_connections.fetch_add(1);
        const Reply& reply = m_replies[std::min<std::size_t>(static_cast<std::size_t>(index), m_replies.size() - 1)];
        handle(connection, reply);
        ::close(connection);
    }
}

bool LoopbackHttpServer::readRequest(int connection, std::string& data, bool headersOnly)
{
    char buffer[65536];
    for (;;) {
        const auto headerEnd = data.find("\r\n\r\n");
        if (headerEnd != std::string::npos &&
            (headersOnly || data.size() >= headerEnd + 4 + contentLength(data.substr(0, headerEnd + 2)))) {
            return true;
        }
        if (!waitReadable(connection)) {
            return false;
        }
        const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return false;
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
}

void LoopbackHttpServer::handle(int connection, const Reply& reply)
{
    std::string request;
    const bool headersOnly =
        reply.behaviour == Behaviour::closeDuringUpload || reply.behaviour == Behaviour::stallUpload;
    const bool whole = readRequest(connection, request, headersOnly);
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
    }
    if (!whole) {
        return;
    }
    switch (reply.behaviour) {
    case Behaviour::answer:
        sendAll(connection,
                statusLine(reply.status) + "Content-Type: application/json\r\nContent-Length: " +
                    std::to_string(reply.body.size()) + "\r\nConnection: close\r\n\r\n" + reply.body);
        ::shutdown(connection, SHUT_WR);
        break;
    case Behaviour::partialAnswer:
        sendAll(connection,
                statusLine(reply.status) + "Content-Length: " + std::to_string(reply.body.size() + 100) + "\r\n\r\n" +
                    reply.body);
        break;
    case Behaviour::resetAfterRequest: {
        const linger abort{1, 0}; // close with RST instead of FIN
        ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        break;
    }
    case Behaviour::neverAnswer: {
        char buffer[4096];
        while (waitReadable(connection) && ::recv(connection, buffer, sizeof buffer, 0) > 0) {
        }
        break;
    }
    case Behaviour::stallUpload: {
        // Unread data keeps the socket readable, so wait for the hang-up itself.
        pollfd fds[2] = {{connection, POLLRDHUP, 0}, {m_wake[0], POLLIN, 0}};
        while (::poll(fds, 2, -1) < 0) {
        }
        break;
    }
    case Behaviour::closeAfterRequest:
    case Behaviour::closeDuringUpload:
        break;
    }
}

} // namespace quillo::test
