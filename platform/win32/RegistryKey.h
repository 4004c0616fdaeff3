// An open registry key, closed when its owner goes.
#pragma once

#include <windows.h>

#include <utility>

namespace kestrune::platform::win32 {

class RegistryKey {
public:
    RegistryKey() = default;
    explicit RegistryKey(HKEY key) : key_(key) {}
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    RegistryKey(RegistryKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    RegistryKey& operator=(RegistryKey&& other) noexcept {
        if (this != &other) {
            Reset();
            key_ = std::exchange(other.key_, nullptr);
        }
        return *this;
    }
    ~RegistryKey() { Reset(); }

    void Reset() {
        if (HKEY key = std::exchange(key_, nullptr)) ::RegCloseKey(key);
    }
    HKEY Get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }
    // For the functions that open a key into an HKEY*: closes the current one first.
    HKEY* Put() {
        Reset();
        return &key_;
    }

private:
    HKEY key_ = nullptr;
};

}  // namespace kestrune::platform::win32
