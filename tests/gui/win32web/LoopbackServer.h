// A small HTTP server on a free loopback port, in a thread of the test program: records the request
// line of every request and answers each with a short page.
#pragma once

#include <winsock2.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrune::tests {

class LoopbackServer {
public:
    LoopbackServer();  // listening on return; Port() is 0 when it could not
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int Port() const { return port_; }
    std::string Url(const std::string& pathAndQuery) const;
    // Request targets ("/page.html?x=1") in arrival order.
    std::vector<std::string> Requests() const;

private:
    void Serve();

    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

}  // namespace kestrune::tests
