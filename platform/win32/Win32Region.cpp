#include "platform/win32/Win32Region.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace kestrune::platform::win32 {

namespace {

// Rectangles per ExtCreateRegion call: some systems refuse region data much larger than this.
constexpr std::size_t kBatch = 2000;

RegionHandle RegionOfBatch(const Rect* rects, std::size_t count) {
    std::vector<std::uint8_t> data(sizeof(RGNDATAHEADER) + count * sizeof(RECT));
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = static_cast<DWORD>(count);
    header->nRgnSize = static_cast<DWORD>(count * sizeof(RECT));
    RECT bounds{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
    auto* out = reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER));
    for (std::size_t i = 0; i < count; ++i) {
        const Rect& r = rects[i];
        out[i] = RECT{r.left, r.top, r.right, r.bottom};
        bounds.left = std::min<LONG>(bounds.left, r.left);
        bounds.top = std::min<LONG>(bounds.top, r.top);
        bounds.right = std::max<LONG>(bounds.right, r.right);
        bounds.bottom = std::max<LONG>(bounds.bottom, r.bottom);
    }
    if (count == 0) bounds = RECT{0, 0, 0, 0};
    header->rcBound = bounds;
    return RegionHandle(::ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()),
                                          reinterpret_cast<const RGNDATA*>(data.data())));
}

}  // namespace

RegionHandle MakeRegion(const Region& outline) {
    std::vector<Rect> rects;
    rects.reserve(outline.Rects().size());
    for (const Rect& r : outline.Rects())
        if (!r.Empty()) rects.push_back(r);
    RegionHandle result = RegionOfBatch(rects.data(), std::min(rects.size(), kBatch));
    for (std::size_t start = kBatch; result && start < rects.size(); start += kBatch) {
        RegionHandle part = RegionOfBatch(rects.data() + start, std::min(kBatch, rects.size() - start));
        if (!part || ::CombineRgn(result.Get(), result.Get(), part.Get(), RGN_OR) == ERROR) return {};
    }
    return result;
}

}  // namespace kestrune::platform::win32
