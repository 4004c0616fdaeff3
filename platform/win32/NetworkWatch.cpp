#include "platform/win32/NetworkWatch.h"

#include <ole2.h>
#include <ocidl.h>
#include <netlistmgr.h>

#include "platform/win32/ComPtr.h"

namespace kestrune::platform::win32 {

bool IsConnected(unsigned long connectivity) {
    constexpr unsigned long kReachesOut = NLM_CONNECTIVITY_IPV4_SUBNET | NLM_CONNECTIVITY_IPV4_LOCALNETWORK |
                                          NLM_CONNECTIVITY_IPV4_INTERNET | NLM_CONNECTIVITY_IPV6_SUBNET |
                                          NLM_CONNECTIVITY_IPV6_LOCALNETWORK | NLM_CONNECTIVITY_IPV6_INTERNET;
    return (connectivity & kReachesOut) != 0;
}

namespace {

// COM interfaces have no virtual destructor; the object deletes itself in Release, as its own class.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class ConnectivitySink final : public INetworkListManagerEvents {
public:
    explicit ConnectivitySink(std::function<void()> connected) : connected_(std::move(connected)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_INetworkListManagerEvents)) {
            *object = static_cast<INetworkListManagerEvents*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const auto left = static_cast<ULONG>(::InterlockedDecrement(&references_));
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE ConnectivityChanged(NLM_CONNECTIVITY connectivity) override {
        // Copied, and this sink held: the retry may end the watch that owns both.
        const std::function<void()> connected = connected_;
        const ComPtr<ConnectivitySink> keep = ComPtr<ConnectivitySink>::Retain(this);
        if (IsConnected(static_cast<unsigned long>(connectivity)) && connected) connected();
        return S_OK;
    }
    // The watch is going: a notification already on its way calls nobody.
    void Forget() { connected_ = nullptr; }

private:
    virtual ~ConnectivitySink() = default;
    LONG references_ = 1;
    std::function<void()> connected_;
};
#pragma GCC diagnostic pop

class ManagerWatch final : public NetworkWatch {
public:
    ~ManagerWatch() override {
        if (point_ && cookie_ != 0) point_->Unadvise(cookie_);
        if (sink_) sink_->Forget();
    }

    bool Advise(std::function<void()> connected) {
        if (FAILED(::CoCreateInstance(CLSID_NetworkListManager, nullptr, CLSCTX_ALL, IID_INetworkListManager,
                                      manager_.PutVoid())))
            return false;
        auto container = manager_.As<IConnectionPointContainer>();
        if (!container || FAILED(container->FindConnectionPoint(IID_INetworkListManagerEvents, point_.Put()))) return false;
        sink_ = ComPtr<ConnectivitySink>::Adopt(new ConnectivitySink(std::move(connected)));
        return SUCCEEDED(point_->Advise(sink_.Get(), &cookie_));
    }

private:
    ComPtr<INetworkListManager> manager_;  // kept while subscribed
    ComPtr<IConnectionPoint> point_;
    ComPtr<ConnectivitySink> sink_;
    DWORD cookie_ = 0;
};

}  // namespace

std::unique_ptr<NetworkWatch> NetworkWatch::Start(std::function<void()> connected) {
    auto watch = std::make_unique<ManagerWatch>();
    if (!watch->Advise(std::move(connected))) return nullptr;
    return watch;
}

}  // namespace kestrune::platform::win32
