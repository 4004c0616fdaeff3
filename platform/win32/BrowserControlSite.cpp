#include "platform/win32/BrowserControlSite.h"

#include <idispids.h>

#include <cstddef>

#include "platform/win32/SilentAuthentication.h"

namespace kestrune::platform::win32 {

ComPtr<BrowserControlSite> BrowserControlSite::Create(HWND box, const RECT& position) {
    return ComPtr<BrowserControlSite>::Adopt(new BrowserControlSite(box, position));
}

// ---- IUnknown

HRESULT BrowserControlSite::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
        *object = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite))
        *object = static_cast<IOleInPlaceSite*>(this);
    else if (IsEqualIID(riid, IID_IOleInPlaceUIWindow) || IsEqualIID(riid, IID_IOleInPlaceFrame))
        *object = static_cast<IOleInPlaceFrame*>(this);
    else if (IsEqualIID(riid, IID_IDispatch))
        *object = static_cast<IDispatch*>(this);
    else if (IsEqualIID(riid, IID_IDocHostUIHandler))
        *object = static_cast<IDocHostUIHandler*>(this);
    else if (IsEqualIID(riid, IID_IServiceProvider))
        *object = static_cast<IServiceProvider*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG BrowserControlSite::AddRef() { return ++references_; }

ULONG BrowserControlSite::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

// ---- IOleClientSite: an embedding with nothing to save and no container of documents.

HRESULT BrowserControlSite::SaveObject() { return E_NOTIMPL; }
HRESULT BrowserControlSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker != nullptr) *moniker = nullptr;
    return E_NOTIMPL;
}
HRESULT BrowserControlSite::GetContainer(IOleContainer** container) {
    if (container != nullptr) *container = nullptr;
    return E_NOINTERFACE;
}
HRESULT BrowserControlSite::ShowObject() { return S_OK; }
HRESULT BrowserControlSite::OnShowWindow(BOOL) { return S_OK; }
HRESULT BrowserControlSite::RequestNewObjectLayout() { return E_NOTIMPL; }

// ---- IOleWindow

HRESULT BrowserControlSite::GetWindow(HWND* window) {
    if (window == nullptr) return E_POINTER;
    *window = box_;
    return box_ != nullptr ? S_OK : E_FAIL;
}
HRESULT BrowserControlSite::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// ---- IOleInPlaceSite

HRESULT BrowserControlSite::CanInPlaceActivate() { return box_ != nullptr ? S_OK : S_FALSE; }
HRESULT BrowserControlSite::OnInPlaceActivate() { return S_OK; }
HRESULT BrowserControlSite::OnUIActivate() { return S_OK; }

HRESULT BrowserControlSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                             LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
    if (frame == nullptr || document == nullptr || position == nullptr || clip == nullptr || info == nullptr)
        return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = nullptr;  // the frame is the only user-interface window
    *position = position_;
    *clip = position_;
    info->fMDIApp = FALSE;
    info->hwndFrame = box_ != nullptr ? ::GetAncestor(box_, GA_ROOT) : nullptr;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

HRESULT BrowserControlSite::Scroll(SIZE) { return E_NOTIMPL; }
HRESULT BrowserControlSite::OnUIDeactivate(BOOL) { return S_OK; }
HRESULT BrowserControlSite::OnInPlaceDeactivate() {
    inPlace_ = nullptr;
    return S_OK;
}
HRESULT BrowserControlSite::DiscardUndoState() { return S_OK; }
HRESULT BrowserControlSite::DeactivateAndUndo() { return S_OK; }

HRESULT BrowserControlSite::OnPosRectChange(LPCRECT position) {
    if (position == nullptr) return E_POINTER;
    position_ = *position;
    if (inPlace_ != nullptr) inPlace_->SetObjectRects(&position_, &position_);
    return S_OK;
}

// ---- IOleInPlaceUIWindow / IOleInPlaceFrame: no tool space, menus or status bar to lend.

HRESULT BrowserControlSite::GetBorder(LPRECT) { return INPLACE_E_NOTOOLSPACE; }
HRESULT BrowserControlSite::RequestBorderSpace(LPCBORDERWIDTHS) { return INPLACE_E_NOTOOLSPACE; }
HRESULT BrowserControlSite::SetBorderSpace(LPCBORDERWIDTHS) { return OLE_E_INVALIDRECT; }
HRESULT BrowserControlSite::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) {
    activeObject_ = ComPtr<IOleInPlaceActiveObject>::Retain(object);
    return S_OK;
}
HRESULT BrowserControlSite::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) { return E_NOTIMPL; }
HRESULT BrowserControlSite::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }
HRESULT BrowserControlSite::RemoveMenus(HMENU) { return E_NOTIMPL; }
HRESULT BrowserControlSite::SetStatusText(LPCOLESTR) { return S_OK; }
HRESULT BrowserControlSite::EnableModeless(BOOL) { return S_OK; }
HRESULT BrowserControlSite::TranslateAccelerator(LPMSG, WORD) { return S_FALSE; }

// ---- IDispatch: ambient properties

HRESULT BrowserControlSite::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
}
HRESULT BrowserControlSite::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
}
HRESULT BrowserControlSite::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT BrowserControlSite::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                   UINT*) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if ((flags & DISPATCH_PROPERTYGET) == 0) return DISP_E_MEMBERNOTFOUND;
    bool value;
    switch (id) {
    case DISPID_AMBIENT_SILENT:
        value = silent_;
        break;
    case DISPID_AMBIENT_OFFLINEIFNOTCONNECTED:
        value = offline_;
        break;
    default:
        return DISP_E_MEMBERNOTFOUND;  // every other ambient property keeps the control's default
    }
    if (result == nullptr) return E_POINTER;
    ::VariantInit(result);
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

// ---- IServiceProvider

HRESULT BrowserControlSite::QueryService(REFGUID service, REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    // Without it, a silent control would drop the request and leave the box blank, or ask anyway.
    if (silent_ && box_ != nullptr && IsEqualGUID(service, IID_IAuthenticate))
        return SilentAuthentication::Create()->QueryInterface(riid, object);
    return E_NOINTERFACE;
}

// ---- IDocHostUIHandler: the page keeps the control's own look. Its context menu is refused here
// too, so that no way to it (a key, a script) gets past the box's hook.

HRESULT BrowserControlSite::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) {
    return S_OK;  // shown by the host, that is: by nobody (the keyboard's menu key included)
}

HRESULT BrowserControlSite::GetHostInfo(DOCHOSTUIINFO* info) {
    if (info == nullptr) return E_POINTER;
    if (info->cbSize < offsetof(DOCHOSTUIINFO, pchHostCss)) return E_INVALIDARG;
    // Border, scroll bars and text selection stay as the control draws them. A server's redirect is
    // announced before it is followed like any other navigation, so that a redirect to an address
    // the host cares about can be seen and cancelled too.
    info->dwFlags = DOCHOSTUIFLAG_ENABLE_REDIRECT_NOTIFICATION;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    if (info->cbSize >= sizeof(DOCHOSTUIINFO)) {  // an older control's record ends before these
        info->pchHostCss = nullptr;
        info->pchHostNS = nullptr;
    }
    return S_OK;
}

HRESULT BrowserControlSite::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                                   IOleInPlaceUIWindow*) {
    return S_FALSE;
}
HRESULT BrowserControlSite::HideUI() { return S_OK; }
HRESULT BrowserControlSite::UpdateUI() { return S_OK; }
HRESULT BrowserControlSite::OnDocWindowActivate(BOOL) { return S_OK; }
HRESULT BrowserControlSite::OnFrameWindowActivate(BOOL) { return S_OK; }
HRESULT BrowserControlSite::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
// S_OK: the host has dealt with the key, and the control does nothing with it.
HRESULT BrowserControlSite::TranslateAccelerator(LPMSG message, const GUID*, DWORD) {
    if (message == nullptr) return S_FALSE;
    // Only Backspace depends on the field; the document is not asked about any other key.
    const bool backspace = message->message == WM_KEYDOWN && message->wParam == VK_BACK;
    const bool editable = backspace && focusInEditableField_ && focusInEditableField_();
    if (IsRefusedBrowserShortcut(*message, editable)) return S_OK;
    // Reloading the built-in page would show an empty document: the address it stands for is retried.
    if (!retry_ || !IsReloadShortcut(*message)) return S_FALSE;
    const std::function<bool()> retry = retry_;  // the retry may end the box, and with it this member
    const ComPtr<BrowserControlSite> keep = ComPtr<BrowserControlSite>::Retain(this);
    if (retry()) return S_OK;
    return S_FALSE;
}
HRESULT BrowserControlSite::GetOptionKeyPath(LPOLESTR* key, DWORD) {
    if (key != nullptr) *key = nullptr;
    return S_FALSE;
}
HRESULT BrowserControlSite::GetDropTarget(IDropTarget*, IDropTarget** replacement) {
    if (replacement != nullptr) *replacement = nullptr;
    return E_NOTIMPL;
}
HRESULT BrowserControlSite::GetExternal(IDispatch** external) {
    if (external == nullptr) return E_POINTER;
    *external = nullptr;
    if (box_ == nullptr) return S_FALSE;
    if (!bridge_) {
        // Looked up when called: the site's retry may be replaced or dropped meanwhile.
        bridge_ = ScriptBridge::Create([this] {
            const std::function<bool()> retry = retry_;  // the retry may end the box
            const ComPtr<BrowserControlSite> keep = ComPtr<BrowserControlSite>::Retain(this);
            if (retry) retry();
        });
    }
    *external = ComPtr<ScriptBridge>(bridge_).Detach();
    return S_OK;
}
HRESULT BrowserControlSite::TranslateUrl(DWORD, LPWSTR, LPWSTR* translated) {
    if (translated != nullptr) *translated = nullptr;
    return S_FALSE;
}
HRESULT BrowserControlSite::FilterDataObject(IDataObject*, IDataObject** replacement) {
    if (replacement != nullptr) *replacement = nullptr;
    return S_FALSE;
}

bool IsRefusedBrowserShortcut(const MSG& message, bool focusInEditableField, SHORT(WINAPI* keyState)(int)) {
    if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) return false;
    const bool control = (keyState(VK_CONTROL) & 0x8000) != 0;
    const bool alt = (keyState(VK_MENU) & 0x8000) != 0 || message.message == WM_SYSKEYDOWN;
    switch (message.wParam) {
    case 'N':
    case 'O':
    case 'P':
    case 'L':
    case 'F':  // the control's find box, a window of its own
        return control && !alt;
    case VK_F11:
        return true;
    case VK_BACK:
        return !focusInEditableField && !control && !alt;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_BROWSER_BACK:
    case VK_BROWSER_FORWARD:
        return alt || message.wParam == VK_BROWSER_BACK || message.wParam == VK_BROWSER_FORWARD;
    default:
        return false;
    }
}

bool IsReloadShortcut(const MSG& message, SHORT(WINAPI* keyState)(int)) {
    if (message.message != WM_KEYDOWN) return false;
    const bool control = (keyState(VK_CONTROL) & 0x8000) != 0;
    return message.wParam == VK_F5 || (message.wParam == 'R' && control);
}

}  // namespace kestrune::platform::win32
