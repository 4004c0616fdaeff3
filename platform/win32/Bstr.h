// An owned BSTR: freed when its owner goes, so no string the browser control hands out or takes in
// outlives the call that needed it. Texts go through the program's one UTF-8/UTF-16 conversion.
#pragma once

#include <ole2.h>

#include <string>
#include <string_view>
#include <utility>

#include "platform/win32/WideText.h"

namespace kestrune::platform::win32 {

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::string_view utf8) {
        const std::wstring wide = Widen(utf8);
        text_ = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept {
        if (this != &other) {
            Reset();
            text_ = std::exchange(other.text_, nullptr);
        }
        return *this;
    }
    ~Bstr() { Reset(); }

    void Reset() {
        if (BSTR text = std::exchange(text_, nullptr)) ::SysFreeString(text);
    }
    BSTR Get() const { return text_; }
    // For functions that hand out a new string: frees the current one first.
    BSTR* Put() {
        Reset();
        return &text_;
    }
    // The text as UTF-8; a null string is the empty text.
    std::string Utf8() const { return ToUtf8(text_); }

    static std::string ToUtf8(BSTR text) {
        return text != nullptr ? Narrow(std::wstring_view(text, ::SysStringLen(text))) : std::string();
    }

private:
    BSTR text_ = nullptr;
};

}  // namespace kestrune::platform::win32
