#include "fakes/LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace quillo::test {

namespace {

void sendAll(int fd, const std::string& data)
{
    for (std::size_t sent = 0; sent < data.size();) {
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

// Reads until the headers (and, unless headersOnly, the body) are in; false
// when the peer closes first.
bool readRequest(int connection, std::string& data, bool headersOnly)
{
    char buffer[65536];
    for (;;) {
        const auto headerEnd = data.find("\r\n\r\n");
        if (headerEnd != std::string::npos &&
            (headersOnly || data.size() >= headerEnd + 4 + contentLength(data.substr(0, headerEnd + 2)))) {
            return true;
        }
        const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return false;
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
}

} // namespace

LoopbackHttpServer::LoopbackHttpServer(Reply reply) : m_reply(std::move(reply))
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 8) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("loopback server: cannot listen");
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    // Ends the pending accept, or the wait on a stalled client that keeps its connection.
    ::shutdown(m_listener, SHUT_RDWR);
    ::shutdown(m_connection.load(), SHUT_RDWR);
    m_thread.join();
    ::close(m_listener);
}

std::vector<std::string> LoopbackHttpServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void LoopbackHttpServer::serve()
{
    for (;;) {
        const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            return;
        }
        ++m_connections;
        m_connection = connection;
        handle(connection);
        m_connection = -1;
        ::close(connection);
    }
}

void LoopbackHttpServer::handle(int connection)
{
    std::string request;
    const bool whole = readRequest(connection, request, m_reply.behaviour == Behaviour::stallUpload);
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
    }
    if (!whole || m_reply.behaviour == Behaviour::closeAfterRequest) {
        return;
    }
    if (m_reply.behaviour == Behaviour::stallUpload) {
        // Unread data keeps the socket readable, so wait for the hang-up itself.
        pollfd hangUp{connection, POLLRDHUP, 0};
        while (::poll(&hangUp, 1, -1) < 0) {
        }
        return;
    }
    sendAll(connection,
            "HTTP/1.1 " + std::to_string(m_reply.status) +
                " Status\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(m_reply.body.size()) +
                "\r\nConnection: close\r\n\r\n" + m_reply.body);
    ::shutdown(connection, SHUT_WR);
}

} // namespace quillo::test
