// The system's word that the computer is connected again (the network list manager's connectivity
// events), for a page waiting to retry an address it could not reach.
#pragma once

#include <functional>
#include <memory>

namespace kestrune::platform::win32 {

class NetworkWatch {
public:
    // Calls `connected` on this thread (from its message loop) whenever the system reports a local
    // network or the internet; nullptr when the system has no network list manager. COM must be
    // initialised on this thread.
    static std::unique_ptr<NetworkWatch> Start(std::function<void()> connected);
    virtual ~NetworkWatch() = default;
};

// True when a connectivity the manager reports (NLM_CONNECTIVITY bits) reaches beyond the computer.
bool IsConnected(unsigned long connectivity);

}  // namespace kestrune::platform::win32
