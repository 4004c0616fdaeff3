// PNG and JPEG through the system's imaging component (WIC), into exactly the layouts the libpng and
// libjpeg decoders give: straight-alpha BGRA rows top-down for PNG, BGR rows bottom-up for JPEG.
// The checks before decoding are the same as theirs, so a file one build refuses the other refuses
// too: chunk lengths that overrun the file, and JPEG data that ends before its end marker (the
// imaging component would pad such a picture out as libjpeg does, which the decoders refuse).
#include <objbase.h>
#include <wincodec.h>

#include <cstring>

#include "platform/win32/ComApartment.h"
#include "platform/win32/ComPtr.h"
#include "picture/Decoders.h"

namespace kestrune::ui::detail {

namespace {

using platform::win32::ComApartment;
using platform::win32::ComPtr;

struct Frame {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICBitmapFrameDecode> frame;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// The first frame of the picture in `bytes`, decoded by the decoder `container` names.
bool OpenFrame(std::span<const std::uint8_t> bytes, const GUID& container, Frame& out) {
    if (bytes.size() > 0x7FFFFFFFu) return false;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  out.factory.PutVoid()))) {
        return false;
    }
    ComPtr<IWICStream> stream;
    if (FAILED(out.factory->CreateStream(stream.Put())) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size())))) {
        return false;
    }
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(out.factory->CreateDecoder(container, nullptr, decoder.Put())) ||
        FAILED(decoder->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand)) ||
        FAILED(decoder->GetFrame(0, out.frame.Put()))) {
        return false;
    }
    UINT w = 0, h = 0;
    if (FAILED(out.frame->GetSize(&w, &h)) || !DimensionsAcceptable(w, h)) return false;
    out.width = w;
    out.height = h;
    return true;
}

// The frame converted to `format`, copied into `pixels` with rows of `stride` bytes, top row first.
bool CopyConverted(const Frame& frame, const GUID& format, std::size_t stride, std::vector<std::uint8_t>& pixels) {
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(frame.factory->CreateFormatConverter(converter.Put())) ||
        FAILED(converter->Initialize(frame.frame.Get(), format, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom))) {
        return false;
    }
    const std::size_t size = stride * frame.height;
    if (stride > 0xFFFFFFFFu || size > 0xFFFFFFFFu) return false;
    pixels.resize(size);
    return SUCCEEDED(converter->CopyPixels(nullptr, static_cast<UINT>(stride), static_cast<UINT>(size), pixels.data()));
}

}  // namespace

std::optional<DecodedPicture> DecodePng(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 8 || !PngChunksFit(bytes)) return std::nullopt;
    ComApartment com;
    if (!com.usable()) return std::nullopt;
    Frame frame;
    if (!OpenFrame(bytes, GUID_ContainerFormatPng, frame)) return std::nullopt;
    DecodedPicture picture;
    picture.kind = kPicturePng;
    picture.width = static_cast<int>(frame.width);
    picture.height = static_cast<int>(frame.height);
    if (!CopyConverted(frame, GUID_WICPixelFormat32bppBGRA, std::size_t{frame.width} * 4, picture.pixels)) {
        return std::nullopt;
    }
    return picture;
}

std::optional<DecodedPicture> DecodeJpeg(std::span<const std::uint8_t> bytes) {
    if (!JpegReachesEnd(bytes)) return std::nullopt;
    ComApartment com;
    if (!com.usable()) return std::nullopt;
    Frame frame;
    if (!OpenFrame(bytes, GUID_ContainerFormatJpeg, frame)) return std::nullopt;
    // Colour and greyscale only, as from libjpeg; four-component (CMYK) pictures give none there.
    WICPixelFormatGUID source{};
    if (FAILED(frame.frame->GetPixelFormat(&source)) ||
        (!IsEqualGUID(source, GUID_WICPixelFormat24bppBGR) && !IsEqualGUID(source, GUID_WICPixelFormat8bppGray))) {
        return std::nullopt;
    }
    const std::size_t rowBytes = std::size_t{frame.width} * 3;
    std::vector<std::uint8_t> topDown;
    if (IsEqualGUID(source, GUID_WICPixelFormat8bppGray)) {
        // Grey samples go into all three channels, as from libjpeg (not every imaging component
        // converts grey to colour by itself).
        const std::size_t size = std::size_t{frame.width} * frame.height;
        if (size > 0xFFFFFFFFu / 3) return std::nullopt;
        std::vector<std::uint8_t> grey(size);
        if (FAILED(frame.frame->CopyPixels(nullptr, frame.width, static_cast<UINT>(size), grey.data()))) {
            return std::nullopt;
        }
        topDown.resize(size * 3);
        for (std::size_t i = 0; i < size; ++i) topDown[i * 3] = topDown[i * 3 + 1] = topDown[i * 3 + 2] = grey[i];
    } else if (!CopyConverted(frame, GUID_WICPixelFormat24bppBGR, rowBytes, topDown)) {
        return std::nullopt;
    }
    DecodedPicture picture;
    picture.kind = kPictureJpeg;
    picture.width = static_cast<int>(frame.width);
    picture.height = static_cast<int>(frame.height);
    picture.pixels.resize(topDown.size());
    for (std::uint32_t y = 0; y < frame.height; ++y) {
        std::memcpy(picture.pixels.data() + std::size_t{frame.height - 1 - y} * rowBytes,
                    topDown.data() + std::size_t{y} * rowBytes, rowBytes);
    }
    return picture;
}

}  // namespace kestrune::ui::detail
