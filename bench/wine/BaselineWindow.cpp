// The baseline of the Windows start-up benchmark: the least a Win32 program does to show the
// launcher's login window without its page. A borderless 1250 x 870 window, centred on the screen,
// cut to the non-white pixels of the skin picture and painting the picture (decoded with WIC,
// flattened onto the button-face colour) is shown, then the program waits for messages.
//   kestrune-bench-window.exe SKIN.png
#include <windows.h>
#include <wincodec.h>

#include <cstdint>
#include <vector>

namespace {

constexpr int kWindowWidth = 1250, kWindowHeight = 870;

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> bgra;  // straight alpha, rows top-down
};

bool Decode(const wchar_t* file, Picture& out) {
    IWICImagingFactory* factory = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(&factory))))
        return false;
    bool ok = false;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICBitmapSource* converted = nullptr;
    UINT w = 0, h = 0;
    if (SUCCEEDED(factory->CreateDecoderFromFilename(file, nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                     &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) &&
        SUCCEEDED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame, &converted)) &&
        SUCCEEDED(converted->GetSize(&w, &h))) {
        out.width = static_cast<int>(w);
        out.height = static_cast<int>(h);
        out.bgra.resize(static_cast<std::size_t>(w) * h * 4);
        ok = SUCCEEDED(converted->CopyPixels(nullptr, w * 4, static_cast<UINT>(out.bgra.size()), out.bgra.data()));
    }
    if (converted != nullptr) converted->Release();
    if (frame != nullptr) frame->Release();
    if (decoder != nullptr) decoder->Release();
    factory->Release();
    return ok;
}

std::uint8_t Blend(std::uint8_t c, std::uint8_t m, std::uint8_t a) {
    return static_cast<std::uint8_t>((c * a + m * (255 - a)) / 255);
}

// One rectangle per run of pixels that are not white once flattened onto white.
HRGN OutlineOf(const Picture& p) {
    std::vector<RECT> rects;
    for (int y = 0; y < p.height; ++y) {
        const std::uint8_t* row = p.bgra.data() + static_cast<std::size_t>(y) * p.width * 4;
        int x = 0;
        while (x < p.width) {
            const int x0 = x;
            while (x < p.width) {
                const std::uint8_t* s = row + x * 4;
                if (Blend(s[0], 255, s[3]) == 255 && Blend(s[1], 255, s[3]) == 255 && Blend(s[2], 255, s[3]) == 255)
                    break;
                ++x;
            }
            if (x > x0) rects.push_back(RECT{x0, y, x, y + 1});
            ++x;
        }
    }
    std::vector<std::uint8_t> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    auto* rgn = reinterpret_cast<RGNDATA*>(data.data());
    rgn->rdh.dwSize = sizeof(RGNDATAHEADER);
    rgn->rdh.iType = RDH_RECTANGLES;
    rgn->rdh.nCount = static_cast<DWORD>(rects.size());
    rgn->rdh.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
    rgn->rdh.rcBound = RECT{0, 0, p.width, p.height};
    std::copy(rects.begin(), rects.end(), reinterpret_cast<RECT*>(rgn->Buffer));
    return ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), rgn);
}

HBITMAP g_skin = nullptr;
int g_skinWidth = 0, g_skinHeight = 0;

// The picture flattened onto the button-face colour, as a DIB section to copy from.
HBITMAP Drawable(const Picture& p) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = p.width;
    info.bmiHeader.biHeight = -p.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr) return nullptr;
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    auto* d = static_cast<std::uint8_t*>(bits);
    for (std::size_t i = 0; i < p.bgra.size(); i += 4) {
        const std::uint8_t a = p.bgra[i + 3];
        d[i] = Blend(p.bgra[i], GetBValue(face), a);
        d[i + 1] = Blend(p.bgra[i + 1], GetGValue(face), a);
        d[i + 2] = Blend(p.bgra[i + 2], GetRValue(face), a);
        d[i + 3] = 255;
    }
    return bitmap;
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        FillRect(dc, &ps.rcPaint, GetSysColorBrush(COLOR_BTNFACE));
        if (g_skin != nullptr) {
            HDC memory = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(memory, g_skin);
            BitBlt(dc, 0, 0, g_skinWidth, g_skinHeight, memory, 0, 0, SRCCOPY);
            SelectObject(memory, old);
            DeleteDC(memory);
        }
        EndPaint(window, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 2) return 2;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 3;
    Picture skin;
    if (!Decode(argv[1], skin)) return 4;
    g_skin = Drawable(skin);
    g_skinWidth = skin.width;
    g_skinHeight = skin.height;

    WNDCLASSW cls{};
    cls.lpfnWndProc = &Procedure;
    cls.hInstance = instance;
    cls.hCursor = LoadCursor(nullptr, IDC_ARROW);
    cls.lpszClassName = L"KestruneBenchWindow";
    RegisterClassW(&cls);
    const int left = (GetSystemMetrics(SM_CXSCREEN) - kWindowWidth) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - kWindowHeight) / 2;
    HWND window = CreateWindowExW(0, cls.lpszClassName, L"Kestrune", WS_POPUP | WS_CLIPCHILDREN, left, top,
                                  kWindowWidth, kWindowHeight, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 5;
    SetWindowRgn(window, OutlineOf(skin), FALSE);  // the window owns the region from here
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (g_skin != nullptr) DeleteObject(g_skin);
    CoUninitialize();
    LocalFree(argv);
    return 0;
}
