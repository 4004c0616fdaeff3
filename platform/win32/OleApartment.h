// OLE (and with it COM) initialised for the calling thread while this object lives: single-threaded
// apartment, as the browser control, drag and drop and the shell objects need. Initialisations nest,
// so a thread that was already initialised stays so after this object goes.
#pragma once

#include <ole2.h>

namespace kestrune::platform::win32 {

class OleApartment {
public:
    OleApartment() : result_(::OleInitialize(nullptr)) {}
    OleApartment(const OleApartment&) = delete;
    OleApartment& operator=(const OleApartment&) = delete;
    ~OleApartment() {
        if (SUCCEEDED(result_)) ::OleUninitialize();
    }

    // False when the thread could not enter an apartment (for example, it already is in the
    // multi-threaded one); COM objects then cannot be used from it as planned.
    bool ok() const { return SUCCEEDED(result_); }
    HRESULT result() const { return result_; }

private:
    HRESULT result_;
};

}  // namespace kestrune::platform::win32
