// The demo server as a child process of a GUI test, on a loopback port of its own.
#pragma once

#include <sys/types.h>

#include <string>

namespace kestrune::testing {

// A loopback port that nothing listens on at the moment; 0 if none could be found.
int FreePort();

// Starts the demo server program `server` for the folder `root` and returns its base address once
// the server itself says it is listening (another program may have taken the port meanwhile: then
// another port is tried, unless `fixedPort` asks for that one). Its output goes on to this
// program's standard error. Empty if no server could be started.
std::string StartDemoServer(const char* server, const char* root, pid_t& pid, int fixedPort = 0);

// Ends a server started above; pid becomes -1.
void StopServer(pid_t& pid);

}  // namespace kestrune::testing
