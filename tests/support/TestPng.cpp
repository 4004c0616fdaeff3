#include "tests/support/TestPng.h"

#ifdef _WIN32
#include <objbase.h>
#include <wincodec.h>

#include "platform/win32/ComApartment.h"
#include "platform/win32/ComPtr.h"
#else
#include <png.h>
#endif

namespace test_support {

#ifdef _WIN32

using kestrune::platform::win32::ComApartment;
using kestrune::platform::win32::ComPtr;

std::vector<std::uint8_t> WritePng(const std::vector<std::uint8_t>& rgba, int width, int height) {
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (width <= 0 || height <= 0 || rgba.size() != count * 4) return {};
    ComApartment apartment;
    if (!apartment.usable()) return {};
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  factory.PutVoid())) ||
        FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, stream.Put())) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Put())) ||
        FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.Put(), options.Put())) || FAILED(frame->Initialize(options.Get())) ||
        FAILED(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height)))) {
        return {};
    }
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    if (FAILED(frame->SetPixelFormat(&format)) || format != GUID_WICPixelFormat32bppBGRA) return {};
    std::vector<BYTE> bgra(rgba.size());
    for (std::size_t i = 0; i < count; ++i) {
        bgra[i * 4] = rgba[i * 4 + 2];
        bgra[i * 4 + 1] = rgba[i * 4 + 1];
        bgra[i * 4 + 2] = rgba[i * 4];
        bgra[i * 4 + 3] = rgba[i * 4 + 3];
    }
    if (FAILED(frame->WritePixels(static_cast<UINT>(height), static_cast<UINT>(width) * 4,
                                  static_cast<UINT>(bgra.size()), bgra.data())) ||
        FAILED(frame->Commit()) || FAILED(encoder->Commit())) {
        return {};
    }
    STATSTG stat{};
    HGLOBAL memory = nullptr;
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME)) || FAILED(::GetHGlobalFromStream(stream.Get(), &memory))) return {};
    const auto* data = static_cast<const std::uint8_t*>(::GlobalLock(memory));
    if (data == nullptr) return {};
    std::vector<std::uint8_t> file(data, data + stat.cbSize.QuadPart);
    ::GlobalUnlock(memory);
    return file;
}

#else

namespace {

void Append(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

}  // namespace

std::vector<std::uint8_t> WritePng(const std::vector<std::uint8_t>& rgba, int width, int height) {
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (width <= 0 || height <= 0 || rgba.size() != count * 4) return {};
    std::vector<std::uint8_t> file;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &file, Append, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, rgba.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return file;
}

#endif

}  // namespace test_support
