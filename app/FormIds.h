// Identifiers of the two built-in window definitions and their units.
#pragma once

#include <cstdint>

namespace kestrune::app {

inline constexpr std::uint32_t kLoginWindow = 0x52010001;
inline constexpr std::uint32_t kLoginWindowUnit = 0x06010000;
inline constexpr std::uint32_t kMinimizeButton = 0x16010075;  // 最小化按钮
inline constexpr std::uint32_t kCloseButton = 0x16010074;     // 关闭按钮
inline constexpr std::uint32_t kLoginBrowser = 0x16010010;    // 超文本浏览框1
inline constexpr std::uint32_t kLoginShapeBox = 0x1601000E;   // 外形框1

inline constexpr std::uint32_t kGameWindow = 0x52010028;
inline constexpr std::uint32_t kGameWindowUnit = 0x06010027;
inline constexpr std::uint32_t kGameScrollBar2 = 0x1601006F;  // 纵向滚动条2
inline constexpr std::uint32_t kGameScrollBar1 = 0x1601006E;  // 纵向滚动条1
inline constexpr std::uint32_t kGameBrowser = 0x16010029;     // 超文本浏览框2

}  // namespace kestrune::app
