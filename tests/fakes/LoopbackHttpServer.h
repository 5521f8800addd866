#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quillo::test {

// A bare HTTP/1.1 server on 127.0.0.1 that can misbehave the ways a network
// does: it drops, resets or stalls a connection on purpose. One connection at
// a time, one request per connection.
class LoopbackHttpServer
{
public:
    enum class Behaviour
    {
        answer,            // a complete response, then close
        closeAfterRequest, // read the request, close without a byte of answer
        resetAfterRequest, // read the request, then reset the connection
        closeDuringUpload, // close as soon as the headers are in, body unread
        partialAnswer,     // headers promising more body than is sent, then close
        neverAnswer,       // read the request and wait until the client gives up
        stallUpload,       // read the headers, then neither read nor answer until the client gives up
    };
    struct Reply
    {
        Behaviour behaviour = Behaviour::answer;
        int status = 200;
        std::string body;
    };

    // Successive connections get successive replies; the last one repeats.
    explicit LoopbackHttpServer(std::vector<Reply> replies);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    // "http://127.0.0.1:<port>"
    std::string baseURL() const;
    int connectionCount() const { return m_connections.load(); }
    // Each request as read: header block and body.
    std::vector<std::string> requests() const;

private:
    void serve();
    void handle(int connection, const Reply& reply);
    // Reads until `done` says the data is complete, the peer closes, or the
    // server stops. False when the request did not arrive whole.
    bool readRequest(int connection, std::string& data, bool headersOnly);
    bool waitReadable(int fd);

    int m_listener = -1;
    int m_port = 0;
    int m_wake[2] = {-1, -1}; // a byte in the pipe stops the server thread
    std::vector<Reply> m_replies;
    std::atomic<int> m_connections{0};
    mutable std::mutex m_mutex; // guards m_requests
    std::vector<std::string> m_requests;
    std::thread m_thread; // last: starts after everything above exists
};

} // namespace quillo::test
