// What MSAA and UI Automation clients get for a window of ours that says what it is: the system's
// standard accessible object for the window, with the name, role and default action of our own on
// top (a picture button is a push button named by its definition, whose "Press" clicks it; a
// window without a title still has a name). Everything else (place, state, parent, navigation)
// stays the standard object's.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <optional>
#include <string>

#include "platform/Platform.h"
#include "platform/win32/ComPtr.h"

namespace kestrune::platform::win32 {

// The message a window gets when its default action was invoked; it reaches its host's
// AccessibleAction from the loop, never inside the client's call.
inline constexpr UINT kAccessibleActionMessage = WM_APP + 0x102;

// True when a click could reach `window`: it and every window up to its top-level are visible and
// enabled (a modal window elsewhere disables the top-level).
bool TakesInput(HWND window);

// The answer to WM_GETOBJECT for a window with `accessibility`, or nothing (the system's default)
// when there is nothing of our own to say for the object asked for.
std::optional<LRESULT> AnswerGetObject(HWND window, const Accessibility& accessibility, WPARAM wParam, LPARAM lParam);

// COM interfaces have no virtual destructor; the object deletes itself in Release, as its own class.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class AccessibleWindow final : public IAccessible, public IOleWindow, public IEnumVARIANT {
public:
    // `standard` is the system's object for `window`; `role` 0 keeps the standard role, an empty
    // `defaultAction` the standard action.
    AccessibleWindow(HWND window, ComPtr<IAccessible> standard, std::wstring name, LONG role, std::wstring defaultAction);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch: no type information; clients use the IAccessible methods.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;
    // IAccessible: ours for the object itself; the standard object's for the rest and its children.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override;
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override;
    HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;
    // IOleWindow: the window, as the standard object answers it.
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    // IEnumVARIANT: the children as the standard object lists them (clients list a window's child
    // windows this way); offered only when the standard object offers it.
    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* items, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** copy) override;

private:
    virtual ~AccessibleWindow() = default;
    static bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

    LONG references_ = 1;
    HWND window_;
    ComPtr<IAccessible> standard_;
    ComPtr<IEnumVARIANT> children_;
    std::wstring name_;
    LONG role_;
    std::wstring defaultAction_;
};
#pragma GCC diagnostic pop

}  // namespace kestrune::platform::win32
