#pragma once

#include <chrono>
#include <string>
#include <thread>

#include <httplib.h>

namespace quillo::test {

// Runs an httplib server on a free loopback port on its own thread for the
// lifetime of the object.
class HttplibTestServer
{
public:
    explicit HttplibTestServer(httplib::Server& server) : m_server(server)
    {
        // The socket listens once bound; connections wait in its backlog
        // until the thread accepts them.
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~HttplibTestServer()
    {
        m_server.stop();
        m_thread.join();
    }
    HttplibTestServer(const HttplibTestServer&) = delete;
    HttplibTestServer& operator=(const HttplibTestServer&) = delete;

    std::string baseURL() const { return "http://127.0.0.1:" + std::to_string(m_port); }

private:
    httplib::Server& m_server;
    int m_port = 0;
    std::thread m_thread;
};

} // namespace quillo::test
