// The container side of the embedded browser control: the client site, the in-place site and frame,
// the ambient properties, the document host's user-interface handler and the services the control
// looks for on its site. The box window is the
// window the control is activated in; the box has no menus, tool space or accelerators to share.
#pragma once

#include <ole2.h>
#include <docobj.h>
#include <mshtmhst.h>
#include <servprov.h>

#include <functional>

#include "platform/win32/ComPtr.h"
#include "platform/win32/ScriptBridge.h"

namespace kestrune::platform::win32 {

// COM interfaces have no virtual destructor; the object deletes itself in Release, as its own class.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class BrowserControlSite final : public IOleClientSite,
                                 public IOleInPlaceSite,
                                 public IOleInPlaceFrame,
                                 public IDispatch,
                                 public IDocHostUIHandler,
                                 public IServiceProvider {
public:
    // `box`: the window the control's own window becomes a child of; `position`: where, in the box's
    // client coordinates.
    static ComPtr<BrowserControlSite> Create(HWND box, const RECT& position);

    // The control asks for these two ambient properties (silent: no dialog boxes of its own; offline:
    // pages from the cache when not connected) when it is sited and when told they changed.
    void SetAmbientSilent(bool silent) { silent_ = silent; }
    void SetAmbientOffline(bool offline) { offline_ = offline; }
    bool AmbientSilent() const { return silent_; }
    bool AmbientOffline() const { return offline_; }
    // The control is being closed: the site answers no more requests for windows.
    void Detach() {
        box_ = nullptr;
        activeObject_.Reset();  // the object and the site would otherwise keep each other alive
        retry_ = nullptr;
        if (bridge_) bridge_->Forget();
        bridge_.Reset();
    }

    // ---- IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // ---- IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override;
    HRESULT STDMETHODCALLTYPE ShowObject() override;
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL show) override;
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override;

    // ---- IOleWindow (shared by the in-place site and frame)
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;

    // ---- IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnUIActivate() override;
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                               LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE extent) override;
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL undoable) override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override;
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT position) override;

    // ---- IOleInPlaceUIWindow / IOleInPlaceFrame
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT border) override;
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS widths) override;
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS widths) override;
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR name) override;
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU shared, LPOLEMENUGROUPWIDTHS widths) override;
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU shared, HOLEMENU descriptor, HWND activeObject) override;
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU shared) override;
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR text) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;  // also IDocHostUIHandler's
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message, WORD id) override;

    // ---- IDispatch: the ambient properties
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

    // ---- IDocHostUIHandler
    HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD id, POINT* point, IUnknown* target, IDispatch* object) override;
    HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) override;
    HRESULT STDMETHODCALLTYPE ShowUI(DWORD id, IOleInPlaceActiveObject* object, IOleCommandTarget* target,
                                     IOleInPlaceFrame* frame, IOleInPlaceUIWindow* document) override;
    HRESULT STDMETHODCALLTYPE HideUI() override;
    HRESULT STDMETHODCALLTYPE UpdateUI() override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message, const GUID* group, DWORD id) override;
    HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* key, DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget* dropTarget, IDropTarget** replacement) override;
    HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** external) override;
    HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD reserved, LPWSTR url, LPWSTR* translated) override;
    HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject* data, IDataObject** replacement) override;

    // ---- IServiceProvider: a silent box answers HTTP authentication itself (SilentAuthentication);
    // every other service keeps the control's default.
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** object) override;

    // The in-place object, told when the control moves its own window (OnPosRectChange).
    void SetInPlaceObject(IOleInPlaceObject* object) { inPlace_ = object; }
    // The container moved the control: the rectangle it reports from now on.
    void SetPosition(const RECT& position) { position_ = position; }
    const RECT& Position() const { return position_; }
    // The object the control named active (SetActiveObject): keystrokes go to it first, and it hears
    // when the frame window is activated.
    ComPtr<IOleInPlaceActiveObject> ActiveObject() const { return activeObject_; }
    // Asked when the control offers a keystroke to the host: is the page's focus in a text field?
    void SetEditableFocusQuery(std::function<bool()> query) { focusInEditableField_ = std::move(query); }
    // Asked by the reload keys and by the built-in page's retry button (window.external): true when
    // it retried an address that could not be reached, and the control is then not to reload.
    void SetRetry(std::function<bool()> retry) { retry_ = std::move(retry); }

private:
    BrowserControlSite(HWND box, const RECT& position) : box_(box), position_(position) {}
    virtual ~BrowserControlSite() {
        if (bridge_) bridge_->Forget();  // a page may still hold the bridge, which calls back into us
    }

    ULONG references_ = 1;
    HWND box_;
    RECT position_;
    bool silent_ = false;
    bool offline_ = false;
    IOleInPlaceObject* inPlace_ = nullptr;  // not owned: the control's, cleared before it is released
    ComPtr<IOleInPlaceActiveObject> activeObject_;
    std::function<bool()> focusInEditableField_;
    std::function<bool()> retry_;
    ComPtr<ScriptBridge> bridge_;
};

// The control's own keyboard shortcuts that would take the player out of the launcher or the page:
// new window, open, print, find, the address bar, full screen, and history navigation (Backspace outside a
// text field, Alt+Left/Right). F5 and Ctrl+R (reload) and the editing keys are not among them.
// `keyState(vk)` gives GetKeyState's answer for a modifier.
bool IsRefusedBrowserShortcut(const MSG& message, bool focusInEditableField,
                              SHORT(WINAPI* keyState)(int) = &::GetKeyState);
// F5 or Ctrl+R: the page is loaded again.
bool IsReloadShortcut(const MSG& message, SHORT(WINAPI* keyState)(int) = &::GetKeyState);
#pragma GCC diagnostic pop

}  // namespace kestrune::platform::win32
