// What a user and a screen camera would do, through a connection of the test's own: XTEST input,
// pixels of the root window, and the X id of a window found by its title. No X types leak out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace probe {

bool Open();
void MoveTo(int x, int y);
void Press(int button);
void Release(int button);
void Click(int x, int y, int button = 1);
// 0x00BBGGRR of the screen pixel, or 0xFFFFFFFF when it cannot be read.
std::uint32_t Pixel(int x, int y);
// The X id of the top-level client window whose _NET_WM_NAME (or WM_NAME) is exactly `title`, or 0.
unsigned long FindWindowByTitle(const std::string& title);
// The pointer image the server shows now (XFIXES), pixels as 0xAARRGGBB.
struct CursorImage {
    int width = 0, height = 0, xhot = 0, yhot = 0;
    std::vector<std::uint32_t> pixels;
    bool operator==(const CursorImage&) const = default;
};
CursorImage CurrentCursor();
// A UTF8_STRING property of a window as bytes; empty when it is not set.
std::string Utf8Property(unsigned long window, const char* name);
// Output of a shell command (for xprop and wmctrl).
std::string Run(const std::string& command);

}  // namespace probe
