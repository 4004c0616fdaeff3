#include "platform/win32/AccessibleWindow.h"

#include <utility>

#include "platform/win32/WideText.h"

namespace kestrune::platform::win32 {

namespace {

HRESULT CopyText(const std::wstring& text, BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

bool TakesInput(HWND window) {
    if (!::IsWindow(window)) return false;
    for (HWND w = window; w != nullptr; w = (::GetWindowLongPtrW(w, GWL_STYLE) & WS_CHILD) != 0 ? ::GetParent(w) : nullptr)
        if (!::IsWindowVisible(w) || !::IsWindowEnabled(w)) return false;
    return true;
}

std::optional<LRESULT> AnswerGetObject(HWND window, const Accessibility& accessibility, WPARAM wParam, LPARAM lParam) {
    // The object id travels as a 32-bit value in lParam; OBJID_CLIENT is negative.
    const auto objectId = static_cast<LONG>(static_cast<DWORD>(lParam));
    const bool topLevel = (::GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) == 0;
    if (objectId != OBJID_CLIENT && !(topLevel && objectId == OBJID_WINDOW)) return std::nullopt;
    LONG role = 0;
    std::wstring action;
    if (accessibility.role == AccessibleRole::PushButton && objectId == OBJID_CLIENT) {
        role = ROLE_SYSTEM_PUSHBUTTON;
        action = L"Press";
    }
    if (role == 0 && accessibility.name.empty()) return std::nullopt;

    ComPtr<IAccessible> standard;
    if (FAILED(::CreateStdAccessibleObject(window, objectId, IID_IAccessible, standard.PutVoid())) || !standard)
        return std::nullopt;
    auto* object = new (std::nothrow) AccessibleWindow(window, std::move(standard), Widen(accessibility.name),
                                                       role, std::move(action));
    if (object == nullptr) return std::nullopt;
    const LRESULT result = ::LresultFromObject(IID_IAccessible, wParam, static_cast<IAccessible*>(object));
    object->Release();  // LresultFromObject holds its own reference
    return result;
}

AccessibleWindow::AccessibleWindow(HWND window, ComPtr<IAccessible> standard, std::wstring name, LONG role,
                                   std::wstring defaultAction)
    : window_(window), standard_(std::move(standard)), name_(std::move(name)), role_(role),
      defaultAction_(std::move(defaultAction)) {
    children_ = standard_.As<IEnumVARIANT>();
}

HRESULT AccessibleWindow::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IAccessible)
        *object = static_cast<IAccessible*>(this);
    else if (riid == IID_IOleWindow)
        *object = static_cast<IOleWindow*>(this);
    else if (riid == IID_IEnumVARIANT && children_)
        *object = static_cast<IEnumVARIANT*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG AccessibleWindow::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }

ULONG AccessibleWindow::Release() {
    const LONG left = ::InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT AccessibleWindow::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
}
HRESULT AccessibleWindow::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
}
HRESULT AccessibleWindow::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
HRESULT AccessibleWindow::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

// ---- ours

HRESULT AccessibleWindow::get_accName(VARIANT child, BSTR* name) {
    if (IsSelf(child) && !name_.empty()) return CopyText(name_, name);
    return standard_->get_accName(child, name);
}

HRESULT AccessibleWindow::get_accRole(VARIANT child, VARIANT* role) {
    if (!IsSelf(child) || role_ == 0) return standard_->get_accRole(child, role);
    if (role == nullptr) return E_POINTER;
    ::VariantInit(role);
    role->vt = VT_I4;
    role->lVal = role_;
    return S_OK;
}

HRESULT AccessibleWindow::get_accDefaultAction(VARIANT child, BSTR* action) {
    if (IsSelf(child) && !defaultAction_.empty()) return CopyText(defaultAction_, action);
    return standard_->get_accDefaultAction(child, action);
}

HRESULT AccessibleWindow::accDoDefaultAction(VARIANT child) {
    if (!IsSelf(child) || defaultAction_.empty()) return standard_->accDoDefaultAction(child);
    if (!TakesInput(window_)) return E_FAIL;
    // The press happens from the loop: the client's call returns first, whatever the click does.
    return ::PostMessageW(window_, kAccessibleActionMessage, 0, 0) ? S_OK : E_FAIL;
}

HRESULT AccessibleWindow::GetWindow(HWND* window) {
    if (window == nullptr) return E_POINTER;
    *window = window_;
    return S_OK;
}

// ---- the standard object's

HRESULT AccessibleWindow::Next(ULONG count, VARIANT* items, ULONG* fetched) { return children_->Next(count, items, fetched); }
HRESULT AccessibleWindow::Skip(ULONG count) { return children_->Skip(count); }
HRESULT AccessibleWindow::Reset() { return children_->Reset(); }
HRESULT AccessibleWindow::Clone(IEnumVARIANT** copy) { return children_->Clone(copy); }

HRESULT AccessibleWindow::get_accParent(IDispatch** parent) { return standard_->get_accParent(parent); }
HRESULT AccessibleWindow::get_accChildCount(LONG* count) { return standard_->get_accChildCount(count); }
HRESULT AccessibleWindow::get_accChild(VARIANT child, IDispatch** object) { return standard_->get_accChild(child, object); }
HRESULT AccessibleWindow::get_accValue(VARIANT child, BSTR* value) { return standard_->get_accValue(child, value); }
HRESULT AccessibleWindow::get_accDescription(VARIANT child, BSTR* description) {
    return standard_->get_accDescription(child, description);
}
HRESULT AccessibleWindow::get_accState(VARIANT child, VARIANT* state) { return standard_->get_accState(child, state); }
HRESULT AccessibleWindow::get_accHelp(VARIANT child, BSTR* help) { return standard_->get_accHelp(child, help); }
HRESULT AccessibleWindow::get_accHelpTopic(BSTR* file, VARIANT child, long* topic) {
    return standard_->get_accHelpTopic(file, child, topic);
}
HRESULT AccessibleWindow::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    return standard_->get_accKeyboardShortcut(child, shortcut);
}
HRESULT AccessibleWindow::get_accFocus(VARIANT* focus) { return standard_->get_accFocus(focus); }
HRESULT AccessibleWindow::get_accSelection(VARIANT* selection) { return standard_->get_accSelection(selection); }
HRESULT AccessibleWindow::accSelect(long flags, VARIANT child) { return standard_->accSelect(flags, child); }
HRESULT AccessibleWindow::accLocation(long* left, long* top, long* width, long* height, VARIANT child) {
    return standard_->accLocation(left, top, width, height, child);
}
HRESULT AccessibleWindow::accNavigate(long direction, VARIANT start, VARIANT* end) {
    return standard_->accNavigate(direction, start, end);
}
HRESULT AccessibleWindow::accHitTest(long left, long top, VARIANT* child) { return standard_->accHitTest(left, top, child); }
HRESULT AccessibleWindow::put_accName(VARIANT child, BSTR name) { return standard_->put_accName(child, name); }
HRESULT AccessibleWindow::put_accValue(VARIANT child, BSTR value) { return standard_->put_accValue(child, value); }

}  // namespace kestrune::platform::win32
