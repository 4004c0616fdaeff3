#include "platform/win32/Win32Gdi.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace kestrune::platform::win32 {

namespace {

BITMAPINFO TopDownInfo(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // negative: rows top-down, as the core draws them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

}  // namespace

bool DibSection::Create(int width, int height) {
    Reset();
    width = std::max(width, 1);
    height = std::max(height, 1);
    ScreenDc screen;
    HDC dc = ::CreateCompatibleDC(screen.Get());
    if (dc == nullptr) return false;
    const BITMAPINFO info = TopDownInfo(width, height);
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) {
        if (bitmap != nullptr) ::DeleteObject(bitmap);
        ::DeleteDC(dc);
        return false;
    }
    dc_ = dc;
    bitmap_ = bitmap;
    previous_ = ::SelectObject(dc, bitmap);
    bits_ = bits;
    width_ = width;
    height_ = height;
    return true;
}

void DibSection::Reset() {
    if (dc_ != nullptr) {
        ::SelectObject(dc_, previous_);
        ::DeleteDC(dc_);
    }
    if (bitmap_ != nullptr) ::DeleteObject(bitmap_);
    dc_ = nullptr;
    bitmap_ = nullptr;
    previous_ = nullptr;
    bits_ = nullptr;
    width_ = height_ = 0;
}

IconHandle IconFromBitmap(const Bitmap& bitmap, bool icon, Point hotspot) {
    if (bitmap.Empty()) return {};
    const int width = bitmap.Width(), height = bitmap.Height();
    const std::vector<std::uint8_t>& src = bitmap.Pixels();
    bool anyAlpha = false;
    for (std::size_t i = 3; i < src.size(); i += 4)
        if (src[i] != 0) {
            anyAlpha = true;
            break;
        }
    const BITMAPINFO info = TopDownInfo(width, height);
    void* bits = nullptr;
    BitmapHandle colour(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!colour || bits == nullptr) return {};
    std::memcpy(bits, src.data(), src.size());
    if (!anyAlpha) {
        auto* p = static_cast<std::uint8_t*>(bits);
        for (std::size_t i = 3; i < src.size(); i += 4) p[i] = 0xFF;
    }
    ::GdiFlush();
    // With a 32-bit colour bitmap the system takes transparency from its alpha; the mask is still
    // required and, all zero, hides nothing.
    BitmapHandle mask(::CreateBitmap(width, height, 1, 1, nullptr));
    if (!mask) return {};
    {
        const std::vector<std::uint8_t> zeros(static_cast<std::size_t>((width + 15) / 16 * 2) * height, 0);
        ::SetBitmapBits(mask.Get(), static_cast<LONG>(zeros.size()), zeros.data());
    }
    ICONINFO ii{};
    ii.fIcon = icon ? TRUE : FALSE;
    ii.xHotspot = static_cast<DWORD>(std::clamp(hotspot.x, 0, width - 1));
    ii.yHotspot = static_cast<DWORD>(std::clamp(hotspot.y, 0, height - 1));
    ii.hbmMask = mask.Get();
    ii.hbmColor = colour.Get();
    return IconHandle(::CreateIconIndirect(&ii));  // copies both bitmaps
}

}  // namespace kestrune::platform::win32
