#include "forms/PointerData.h"

#include <array>
#include <map>

#include "picture/Picture.h"
#include "forms/PropertyBlock.h"

namespace kestrune::forms {
namespace {

std::map<int, std::span<const std::uint8_t>>& ProgramPointers() {
    static std::map<int, std::span<const std::uint8_t>> pointers;
    return pointers;
}

platform::CursorId LoadCursorFile(platform::Platform& pf, std::span<const std::uint8_t> file) {
    const std::optional<ui::DecodedPicture> cursor = ui::DecodePicture(file);
    if (!cursor || cursor->kind != ui::kPictureCursor || cursor->icon.Empty()) return 0;
    return pf.CreateCursor(cursor->icon, cursor->hotspot);
}

}  // namespace

int ResolvePointerCode(std::span<const std::uint8_t> data) {
    if (data.empty()) return 0;
    std::int32_t code = data[0];  // shorter than a number: its first byte
    BlockReader(data).Int(code);
    // none, arrow, cross, I-beam, wait, help, app-starting, no, size-all, NE-SW, N-S, NW-SE, W-E, up, hand
    static constexpr std::array<int, 15> kTable = {0,     32512, 32515, 32513, 32514, 32651, 32650, 32648,
                                                   32646, 32643, 32645, 32642, 32644, 32516, 32649};
    if (code >= 0 && code < static_cast<std::int32_t>(kTable.size())) return kTable[static_cast<std::size_t>(code)];
    return code;
}

void SetProgramPointer(int code, std::span<const std::uint8_t> cursorFile) {
    if (cursorFile.empty())
        ProgramPointers().erase(code);
    else
        ProgramPointers()[code] = cursorFile;
}

platform::CursorId LoadPointer(platform::Platform& pf, std::span<const std::uint8_t> data) {
    if (data.size() > 10)
        if (const platform::CursorId whole = LoadCursorFile(pf, data)) return whole;
    const int code = ResolvePointerCode(data);
    if (code == 0) return 0;
    if (code == -1) return data.size() > 4 ? LoadCursorFile(pf, data.subspan(4)) : 0;
    const auto own = ProgramPointers().find(code);
    if (own != ProgramPointers().end())
        if (const platform::CursorId cursor = LoadCursorFile(pf, own->second)) return cursor;
    return pf.LoadSystemCursor(code);
}

}  // namespace kestrune::forms
