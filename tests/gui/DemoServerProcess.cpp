#include "tests/gui/DemoServerProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <thread>

namespace kestrune::testing {

// A loopback port that nothing listens on at the moment.
int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

std::string StartDemoServer(const char* server, const char* root, pid_t& pid, int fixedPort) {
    for (int attempt = 0; attempt < (fixedPort != 0 ? 1 : 10); ++attempt) {
        const int port = fixedPort != 0 ? fixedPort : FreePort();
        int out[2];
        if (port == 0 || pipe(out) != 0) return {};
        pid = fork();
        if (pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            execl(server, server, "--port", std::to_string(port).c_str(), "--root", root,
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        FILE* output = fdopen(out[0], "r");
        char line[512];
        // The first line comes once the server listens; a server that cannot listen ends instead.
        if (pid > 0 && output != nullptr && std::fgets(line, sizeof line, output) != nullptr &&
            std::strncmp(line, "serving ", 8) == 0) {
            std::fputs(line, stderr);
            std::thread([output] {
                char rest[512];
                while (std::fgets(rest, sizeof rest, output) != nullptr) std::fputs(rest, stderr);
                std::fclose(output);
            }).detach();
            return "http://127.0.0.1:" + std::to_string(port) + "/";
        }
        if (output != nullptr) std::fclose(output);
        if (pid > 0) waitpid(pid, nullptr, 0);
        pid = -1;
    }
    return {};
}

void StopServer(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

}  // namespace kestrune::testing
