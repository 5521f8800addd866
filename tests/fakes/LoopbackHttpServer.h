#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quillo::test {

// A bare HTTP/1.1 server on 127.0.0.1 that gives every connection the same
// reply, or misbehaves as a network does: it drops or stalls a connection on
// purpose. One connection at a time, one request per connection.
class LoopbackHttpServer
{
public:
    enum class Behaviour
    {
        answer,            // a complete response, then close
        closeAfterRequest, // read the request, close without a byte of answer
        stallUpload,       // read the headers, then neither read nor answer until the client gives up
    };
    struct Reply
    {
        Behaviour behaviour = Behaviour::answer;
        int status = 200;
        std::string body;
    };

    explicit LoopbackHttpServer(Reply reply);
    ~LoopbackHttpServer();

    std::string baseURL() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    int connectionCount() const { return m_connections.load(); }
    std::vector<std::string> requests() const; // each as read: header block and body

private:
    void serve();
    void handle(int connection);

    int m_listener = -1;
    int m_port = 0;
    Reply m_reply;
    std::atomic<int> m_connections{0};
    std::atomic<int> m_connection{-1}; // the one being handled
    mutable std::mutex m_mutex;        // guards m_requests
    std::vector<std::string> m_requests;
    std::thread m_thread; // last: starts after everything above exists
};

} // namespace quillo::test
