// What a user and a screen camera would do, through a connection of the test's own: XTEST input,
// pixels of the root window, and the X id of a window found by its title. No X types leak out.
#pragma once

#include <cstdint>
#include <string>

namespace probe {

bool Open();
void MoveTo(int x, int y);
void Press(int button);
void Release(int button);
void Click(int x, int y, int button = 1);
// 0x00BBGGRR of the screen pixel, or 0xFFFFFFFF when it cannot be read.
std::uint32_t Pixel(int x, int y);
// The X id of the top-level client window whose WM_NAME is exactly `title`, or 0.
unsigned long FindWindowByTitle(const std::string& title);
// Output of a shell command (for xprop and wmctrl).
std::string Run(const std::string& command);

}  // namespace probe
