// The own properties of the `window` unit class (indices 8 to 31) and their stored block.
//
// Property block layout (all integers 32-bit little-endian):
//
//   offset 0   format version, unsigned; 0..6 are read, anything larger is rejected. The writer stores 6.
//   then, in index order, one field per property 8..31:
//     integer and logical properties   int32 (logical: 0 false, anything else true)
//     text and byte-block properties   int32 byte count n (n <= 0: empty), then n bytes
//
//   index  field                kind        default
//   8      Title                text        ""
//   9      Border               int 0..6    1
//   10     BackColor            colour      0xFF000000 (button face)
//   11     BackPicture          bytes       empty
//   12     PictureMode          int 0..3    1 (tiled)
//   13     background music     bytes       empty
//   14     play count           int         0
//   15     ControlButton        logical     true
//   16     MaxButton            logical     false
//   17     MinButton            logical     true
//   18     Position             int 0..3    0
//   19     Movable              logical     true
//   20     Icon                 bytes       empty
//   21     Enter moves focus    logical     false
//   22     Esc closes           logical     false
//   23     F1 opens help        logical     false
//   24     help file name       text        ""
//   25     help identifier      int         0
//   26     ShowInTaskbar        logical     true
//   27     DragAnywhere         logical     false
//   28     WindowShape          int 0..29   0
//   29     AlwaysOnTop          logical     false
//   30     keep caption active  logical     false
//   31     ClassName            text        ""
//
// An empty block leaves every default. A block that ends inside a field, or whose byte count runs
// past its end, is invalid. Choice values read from a block are clamped like written ones.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "forms/Value.h"
#include "platform/Geometry.h"

namespace kestrune::ui {

inline constexpr std::uint32_t kWindowBlockVersion = 6;
inline constexpr int kWindowOwnPropertyCount = 24;

// Own property indices counted from 8 (what the class operations receive).
enum WindowOwnProperty : int {
    kWinTitle = 0,
    kWinBorder = 1,
    kWinBackColor = 2,
    kWinBackPicture = 3,
    kWinPictureMode = 4,
    kWinMusic = 5,
    kWinPlayCount = 6,
    kWinControlButton = 7,
    kWinMaxButton = 8,
    kWinMinButton = 9,
    kWinPosition = 10,
    kWinMovable = 11,
    kWinIcon = 12,
    kWinEnterMovesFocus = 13,
    kWinEscCloses = 14,
    kWinF1Help = 15,
    kWinHelpFile = 16,
    kWinHelpId = 17,
    kWinShowInTaskbar = 18,
    kWinDragAnywhere = 19,
    kWinWindowShape = 20,
    kWinAlwaysOnTop = 21,
    kWinKeepCaptionActive = 22,
    kWinClassName = 23,
};

struct WindowProperties {
    std::string title;
    std::int32_t border = 1;
    platform::Colour backColor = platform::kColourMarker;
    forms::Bytes backPicture;
    std::int32_t pictureMode = 1;
    forms::Bytes music;
    std::int32_t playCount = 0;
    bool controlButton = true;
    bool maxButton = false;
    bool minButton = true;
    std::int32_t position = 0;
    bool movable = true;
    forms::Bytes icon;
    bool enterMovesFocus = false;
    bool escCloses = false;
    bool f1Help = false;
    std::string helpFile;
    std::int32_t helpId = 0;
    bool showInTaskbar = true;
    bool dragAnywhere = false;
    std::int32_t windowShape = 0;
    bool alwaysOnTop = false;
    bool keepCaptionActive = false;
    std::string className;

    // The value of own property `ownIndex` in the kind the property has; nullopt for an unknown index.
    std::optional<forms::Value> Get(int ownIndex) const;
    // Stores a value, clamping choices; false for an unknown index.
    bool Set(int ownIndex, const forms::Value& value);
};

// Reads a property block; nullopt when it is invalid or of a newer version.
std::optional<WindowProperties> DecodeWindowProperties(std::span<const std::uint8_t> block);
forms::Bytes EncodeWindowProperties(const WindowProperties& properties);

}  // namespace kestrune::ui
