#include "LoopbackServer.h"

#include <ws2tcpip.h>

namespace kestrune::tests {

LoopbackServer::LoopbackServer() {
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener_ == INVALID_SOCKET) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;  // any free port
    int length = sizeof(address);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer() {
    if (listener_ != INVALID_SOCKET) ::closesocket(listener_);  // ends the accept loop
    if (thread_.joinable()) thread_.join();
    ::WSACleanup();
}

std::string LoopbackServer::Url(const std::string& pathAndQuery) const {
    return "http://127.0.0.1:" + std::to_string(port_) + pathAndQuery;
}

std::vector<std::string> LoopbackServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void LoopbackServer::Serve() {
    for (;;) {
        SOCKET client = ::accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) return;
        std::string request;
        char buffer[2048];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const int got = ::recv(client, buffer, sizeof(buffer), 0);
            if (got <= 0) break;
            request.append(buffer, static_cast<std::size_t>(got));
        }
        // "GET /path?query HTTP/1.1"
        const std::size_t start = request.find(' ');
        const std::size_t end = start == std::string::npos ? start : request.find(' ', start + 1);
        if (end != std::string::npos) {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request.substr(start + 1, end - start - 1));
        }
        const std::string body = "<html><head><title>Loopback</title></head><body>page</body></html>";
        const std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                                  std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
        ::send(client, reply.data(), static_cast<int>(reply.size()), 0);
        ::shutdown(client, SD_SEND);
        ::closesocket(client);
    }
}

}  // namespace kestrune::tests
