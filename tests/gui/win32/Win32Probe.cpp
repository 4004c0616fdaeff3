// A helper program for the window tests under Wine: reports what the system itself holds of the
// launcher's windows, registry values and shortcut, and plays the window behind the launcher.
//
//   kestrune_win32_probe windows            one line per window of the launcher's class
//   kestrune_win32_probe registry NAME      the two browser-mode values named NAME under HKCU
//   kestrune_win32_probe link PATH          the target of a shortcut, loaded through the shell
//   kestrune_win32_probe desktop            the user's desktop folder
//   kestrune_win32_probe catch X Y W H      a window there that prints each left press it gets
//   kestrune_win32_probe resources EXE      the icon, pointer, manifest and version of an executable
// Texts are printed as UTF-8; window titles also as their UTF-16 code units in hexadecimal.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32/ComPtr.h"
#include "platform/win32/WideText.h"

namespace {

using kestrune::platform::win32::ComPtr;
using kestrune::platform::win32::Narrow;
using kestrune::platform::win32::Widen;

std::string Hex(const std::wstring& text) {
    std::string out;
    char unit[8];
    for (wchar_t c : text) {
        std::snprintf(unit, sizeof unit, "%04X", static_cast<unsigned>(c));
        out += unit;
    }
    return out.empty() ? "-" : out;
}

BOOL CALLBACK ReportWindow(HWND hwnd, LPARAM) {
    wchar_t cls[64] = {};
    ::GetClassNameW(hwnd, cls, 64);
    if (std::wstring(cls) != L"KestruneWindow") return TRUE;
    wchar_t title[256] = {};
    const int length = ::GetWindowTextW(hwnd, title, 256);
    RECT r{}, c{};
    ::GetWindowRect(hwnd, &r);
    ::GetClientRect(hwnd, &c);
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    const int regionKind = ::GetWindowRgn(hwnd, region);
    ::DeleteObject(region);
    std::printf("window hwnd=%lu title=%s length=%d enabled=%d visible=%d iconic=%d zoomed=%d x=%ld y=%ld w=%ld h=%ld "
                "cw=%ld ch=%ld style=%08lX ex=%08lX owner=%lu region=%d foreground=%d\n",
                static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(hwnd)), Hex(title).c_str(), length,
                ::IsWindowEnabled(hwnd) ? 1 : 0, ::IsWindowVisible(hwnd) ? 1 : 0, ::IsIconic(hwnd) ? 1 : 0,
                ::IsZoomed(hwnd) ? 1 : 0, r.left, r.top, r.right - r.left, r.bottom - r.top, c.right, c.bottom,
                static_cast<unsigned long>(::GetWindowLongW(hwnd, GWL_STYLE)),
                static_cast<unsigned long>(::GetWindowLongW(hwnd, GWL_EXSTYLE)),
                static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(::GetWindow(hwnd, GW_OWNER))), regionKind,
                ::GetForegroundWindow() == hwnd ? 1 : 0);
    return TRUE;
}

int Windows() {
    std::printf("acp %u\n", ::GetACP());
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    std::printf("workarea %ld %ld %ld %ld\n", work.left, work.top, work.right, work.bottom);
    ::EnumWindows(&ReportWindow, 0);
    return 0;
}

void ReportValue(const char* label, const std::wstring& key, const std::wstring& name) {
    DWORD type = 0, data = 0, size = sizeof data;
    const LONG status = ::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_ANY, &type, &data, &size);
    if (status != ERROR_SUCCESS) std::printf("%s none\n", label);
    else std::printf("%s type=%lu size=%lu value=%lu\n", label, type, size, data);
}

int Registry(const std::string& name) {
    const std::wstring base = L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\";
    ReportValue("emulation", base + L"FEATURE_BROWSER_EMULATION", Widen(name));
    ReportValue("gpu", base + L"FEATURE_GPU_RENDERING", Widen(name));
    return 0;
}

int Link(const std::string& path) {
    ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid()))) return 1;
    ComPtr<IPersistFile> file = link.As<IPersistFile>();
    if (!file || FAILED(file->Load(Widen(path).c_str(), STGM_READ))) {
        std::printf("link unreadable\n");
        return 1;
    }
    wchar_t target[MAX_PATH] = {};
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    std::printf("target %s\n", Narrow(target).c_str());
    return 0;
}

int Desktop() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path))) return 1;
    std::printf("desktop %s\n", Narrow(path).c_str());
    return 0;
}

#pragma pack(push, 2)
struct GroupEntry {  // an entry of an icon or cursor group resource
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

// Prints the first entry of the group resource `id` of `type`: width, height and (icons) bit count.
void ReportGroup(HMODULE module, const wchar_t* type, int id, const char* label) {
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
    const auto* data = found != nullptr ? static_cast<const BYTE*>(::LockResource(::LoadResource(module, found))) : nullptr;
    if (data == nullptr || ::SizeofResource(module, found) < 6 + sizeof(GroupEntry)) {
        std::printf("%s none\n", label);
        return;
    }
    const WORD count = *reinterpret_cast<const WORD*>(data + 4);
    const auto* entry = reinterpret_cast<const GroupEntry*>(data + 6);
    if (type == RT_GROUP_CURSOR) {  // cursor entries: 16-bit width and doubled height (image and mask)
        const auto* size = reinterpret_cast<const WORD*>(entry);
        std::printf("%s count=%u width=%u height=%u\n", label, count, size[0], size[1] / 2);
        return;
    }
    std::printf("%s count=%u width=%u height=%u bits=%u\n", label, count, entry->width, entry->height, entry->bitCount);
}

int Resources(const std::string& path) {
    HMODULE module = ::LoadLibraryExW(Widen(path).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return 1;
    ReportGroup(module, RT_GROUP_ICON, 1, "icon");
    ReportGroup(module, RT_GROUP_CURSOR, 2, "cursor");
    HRSRC manifest = ::FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
    if (manifest != nullptr) {
        const auto* text = static_cast<const char*>(::LockResource(::LoadResource(module, manifest)));
        std::string xml(text, ::SizeofResource(module, manifest));
        for (char& c : xml)
            if (c == '\n' || c == '\r') c = ' ';
        std::printf("manifest %s\n", xml.c_str());
    } else {
        std::printf("manifest none\n");
    }
    ::FreeLibrary(module);
    const std::wstring wide = Widen(path);
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(wide.c_str(), &ignored);
    std::string version(size, '\0');
    wchar_t* product = nullptr;
    UINT length = 0;
    if (size != 0 && ::GetFileVersionInfoW(wide.c_str(), 0, size, version.data()) &&
        ::VerQueryValueW(version.data(), L"\\StringFileInfo\\040904B0\\ProductName", reinterpret_cast<void**>(&product), &length))
        std::printf("product %s\n", Narrow(std::wstring(product, length ? length - 1 : 0)).c_str());
    else
        std::printf("product none\n");
    return 0;
}

LRESULT CALLBACK CatchProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN) {
        POINT pt{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ::ClientToScreen(hwnd, &pt);
        std::printf("press %ld %ld\n", pt.x, pt.y);
        std::fflush(stdout);
        return 0;
    }
    if (message == WM_DESTROY) ::PostQuitMessage(0);
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

int Catch(int x, int y, int w, int h) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &CatchProcedure;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hbrBackground = ::CreateSolidBrush(RGB(0x20, 0x60, 0xA0));
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"KestruneProbeBehind";
    ::RegisterClassW(&wc);
    HWND hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"behind", WS_POPUP | WS_VISIBLE, x, y, w, h, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    if (hwnd == nullptr) return 1;
    std::printf("ready %lu\n", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(hwnd)));
    std::fflush(stdout);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    ::CoInitialize(nullptr);
    const std::string mode = argc > 1 ? argv[1] : "";
    int status = 2;
    if (mode == "windows") status = Windows();
    else if (mode == "registry" && argc > 2) status = Registry(argv[2]);
    else if (mode == "link" && argc > 2) status = Link(argv[2]);
    else if (mode == "desktop") status = Desktop();
    else if (mode == "resources" && argc > 2) status = Resources(argv[2]);
    else if (mode == "catch" && argc > 5) status = Catch(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
    std::fflush(stdout);
    ::CoUninitialize();
    return status;
}
