// COM initialised for the calling thread while this object lives, for code that uses COM objects
// on whatever thread calls it (picture decoding, shell links). Initialisations nest: on a thread
// that start-up already initialised (with OLE) this only joins that apartment.
#pragma once

#include <objbase.h>

namespace kestrune::platform::win32 {

class ComApartment {
public:
    ComApartment() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(result_)) ::CoUninitialize();
    }

    // Whether COM objects can be used now: also on a thread that is in the multi-threaded apartment
    // already (which this object then leaves as it is).
    bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT result_;
};

}  // namespace kestrune::platform::win32
