// The Win32 backend with real windows under Wine, Xvfb and openbox: what a user sees (screen
// pixels) and does (XTEST input through xdotool, started as a Unix program from this Windows
// process), against what the seam reports and what the system itself reports of the windows.
#include <gtest/gtest.h>

#include <windows.h>
#undef CallWindowProc

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32PlatformImpl.h"
#include "platform/win32/Win32Region.h"
#include "platform/win32/WindowHandle.h"
#include "tests/support/RecordingWindowHost.h"
#include "tests/support/SeamContract.h"

namespace kestrune::platform {

namespace {

constexpr Colour kRed = 0x000000FF;
constexpr Colour kGreen = 0x0000FF00;
constexpr Colour kBlue = 0x00FF0000;

HWND H(WindowId id) { return win32::HwndOf(id); }
WindowId Id(HWND hwnd) { return win32::IdOf(hwnd); }

using Host = testing::RecordingWindowHost;

// Runs the thread's messages for a while.
void Pump(int ms) {
    const DWORD end = ::GetTickCount() + static_cast<DWORD>(ms);
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        const auto left = static_cast<int>(end - ::GetTickCount());
        if (left <= 0) return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min(left, 20)), QS_ALLINPUT);
    }
}

bool PumpUntil(const std::function<bool()>& done, int ms = 5000) {
    const DWORD end = ::GetTickCount() + static_cast<DWORD>(ms);
    while (!done()) {
        if (static_cast<int>(end - ::GetTickCount()) <= 0) return false;
        Pump(20);
    }
    return true;
}

// Real input: xdotool is a Unix program, which Wine starts like any other process (through a shell,
// which leaves a file behind when it is done: Wine has no process handle of a Unix program to wait for).
std::string StartXdo(const std::string& args) {
    static int serial = 0;
    const std::string marker = "/tmp/kestrune-xdo-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++serial);
    const std::string line = "/bin/sh -c \"/usr/bin/xdotool " + args + "; touch " + marker + "\"";
    std::wstring command(line.begin(), line.end());
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return {};
    if (pi.hThread != nullptr) ::CloseHandle(pi.hThread);
    if (pi.hProcess != nullptr) ::CloseHandle(pi.hProcess);
    std::string windowsPath = "Z:" + marker;
    std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
    return windowsPath;
}

bool XdoDone(const std::string& marker) {
    const std::wstring path(marker.begin(), marker.end());
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    ::DeleteFileW(path.c_str());
    return true;
}

// Runs the thread's messages until xdotool is done: input that goes on while this thread is busy
// in a loop of the system's own (a caption drag) is delivered as it comes.
void Xdo(const std::string& args) {
    const std::string marker = StartXdo(args);
    ASSERT_FALSE(marker.empty()) << "cannot start xdotool";
    ASSERT_TRUE(PumpUntil([&] { return XdoDone(marker); }, 15000)) << "xdotool " << args;
}

void MoveMouse(int x, int y) {
    Xdo("mousemove " + std::to_string(x) + " " + std::to_string(y));
    Pump(150);
}

void Click(int x, int y, int button = 1) {
    MoveMouse(x, y);
    Xdo("click " + std::to_string(button));
    Pump(200);
}

Colour ScreenPixel(int x, int y) {
    HDC dc = ::GetDC(nullptr);
    const COLORREF c = ::GetPixel(dc, x, y);
    ::ReleaseDC(nullptr, dc);
    return static_cast<Colour>(c);
}

Rect SystemWindowRect(WindowId id) {
    RECT r{};
    ::GetWindowRect(H(id), &r);
    return {r.left, r.top, r.right, r.bottom};
}

DWORD StyleOf(WindowId id) { return static_cast<DWORD>(::GetWindowLongW(H(id), GWL_STYLE)); }
DWORD ExStyleOf(WindowId id) { return static_cast<DWORD>(::GetWindowLongW(H(id), GWL_EXSTYLE)); }

FrameStyle Borderless() { return FrameStyle{}; }

FrameStyle Framed() {
    FrameStyle s;
    s.frame = s.caption = s.systemMenu = s.resizable = s.maximizeBox = s.minimizeBox = true;
    return s;
}

class Win32PlatformGuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        pf = win32::CreateWin32Platform(::GetModuleHandleW(nullptr));
        ASSERT_NE(pf, nullptr);
        Install(pf.get());
    }
    void TearDown() override {
        for (WindowId id : made)
            if (pf->Exists(id)) pf->Destroy(id);
        Pump(50);
        Install(nullptr);
        pf.reset();
    }

    WindowId Top(Host& host, const Rect& outer, FrameStyle style = Borderless(), const std::string& title = "test") {
        TopLevelParams params;
        params.title = title;
        params.style = style;
        params.outer = outer;
        const WindowId id = pf->CreateTopLevel(params, &host);
        made.push_back(id);
        return id;
    }

    void ShowAndWait(WindowId id, ShowCommand command = ShowCommand::Normal) {
        pf->Show(id, command);
        Pump(400);
    }

    testing::SeamUnderTest Seam() { return {*pf, [] { Pump(150); }}; }

    std::unique_ptr<Platform> pf;
    std::vector<WindowId> made;
};

KESTRUNE_SEAM_CONTRACT_TESTS(Win32PlatformGuiTest)

TEST_F(Win32PlatformGuiTest, BorderlessWindowIsAPopupExactlyWhereAskedAndShowsItsPainting) {
    Host host(kRed);
    const Rect asked = Rect::FromXYWH(100, 120, 400, 300);
    const WindowId w = Top(host, asked);
    ASSERT_NE(w, 0u);
    EXPECT_EQ(Id(H(w)), w);
    EXPECT_TRUE(::IsWindow(H(w)));
    const DWORD style = StyleOf(w);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & WS_CAPTION);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_CLIPCHILDREN);
    EXPECT_FALSE(pf->IsVisible(w));
    EXPECT_EQ(pf->GetOuterRect(w), asked);
    EXPECT_EQ(pf->GetClientSize(w), (Size{400, 300}));

    // Moved while hidden, it shows where it was moved to.
    pf->Move(w, {140, 160});
    EXPECT_EQ(host.moves, 1);
    ShowAndWait(w);
    EXPECT_TRUE(pf->IsVisible(w));
    EXPECT_EQ(SystemWindowRect(w), Rect::FromXYWH(140, 160, 400, 300));
    EXPECT_EQ(pf->ClientToScreen(w, {5, 7}), (Point{145, 167}));
    ASSERT_TRUE(PumpUntil([&] { return ScreenPixel(140 + 200, 160 + 150) == kRed; }));
    EXPECT_EQ(ScreenPixel(140, 160), kRed);
    EXPECT_EQ(ScreenPixel(140 + 399, 160 + 299), kRed);

    // A new colour shows once invalidated; an exposure alone paints nothing new.
    const int paints = host.paints;
    ::RedrawWindow(H(w), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(host.paints, paints);
    host.colour = kBlue;
    pf->Repaint(w);
    EXPECT_EQ(host.paints, paints + 1);
    EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(140 + 200, 160 + 150) == kBlue; }));
}

TEST_F(Win32PlatformGuiTest, FramedWindowKeepsItsOuterRectangleAndANewFrameStyleKeepsItToo) {
    Host host(kGreen);
    const Rect asked = Rect::FromXYWH(200, 100, 500, 400);
    const WindowId w = Top(host, asked, Framed());
    const DWORD style = StyleOf(w);
    EXPECT_EQ(style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_POPUP);
    EXPECT_EQ(pf->GetOuterRect(w), asked);
    const Size client = pf->GetClientSize(w);
    EXPECT_LT(client.width, 500);
    EXPECT_LT(client.height, 400 - 10);  // a caption's worth less

    // Tool window, fixed, no boxes: the narrow caption and no thick frame.
    FrameStyle tool = Framed();
    tool.resizable = tool.maximizeBox = tool.minimizeBox = false;
    tool.toolWindow = true;
    pf->SetFrameStyle(w, tool);
    EXPECT_TRUE(ExStyleOf(w) & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(StyleOf(w) & WS_THICKFRAME);
    EXPECT_FALSE(StyleOf(w) & WS_MAXIMIZEBOX);
    EXPECT_EQ(pf->GetOuterRect(w), asked);

    // No frame at all: the client area is the whole window, where it was.
    pf->SetFrameStyle(w, Borderless());
    EXPECT_FALSE(StyleOf(w) & WS_CAPTION);
    EXPECT_FALSE(ExStyleOf(w) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(pf->GetOuterRect(w), asked);
    EXPECT_EQ(pf->GetClientSize(w), (Size{500, 400}));

    // Not movable: the system menu has no Move command.
    FrameStyle fixed = Framed();
    fixed.movable = false;
    pf->SetFrameStyle(w, fixed);
    EXPECT_EQ(::GetMenuState(::GetSystemMenu(H(w), FALSE), SC_MOVE, MF_BYCOMMAND), static_cast<UINT>(-1));
    fixed.movable = true;
    pf->SetFrameStyle(w, fixed);
    EXPECT_NE(::GetMenuState(::GetSystemMenu(H(w), FALSE), SC_MOVE, MF_BYCOMMAND), static_cast<UINT>(-1));
}

TEST_F(Win32PlatformGuiTest, OutlineHoleShowsAndPassesClicksToTheWindowBehind) {
    Host backHost(kGreen), frontHost(kRed);
    const WindowId back = Top(backHost, Rect::FromXYWH(50, 50, 700, 500));
    const WindowId front = Top(frontHost, Rect::FromXYWH(100, 100, 400, 300));
    // The front window without its middle band: rows 100..199 of it are a hole.
    const Region outline({Rect{0, 0, 400, 100}, Rect{0, 200, 400, 300}});
    pf->SetShape(front, &outline);
    ShowAndWait(back);
    ShowAndWait(front);

    HRGN probe = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_EQ(::GetWindowRgn(H(front), probe), COMPLEXREGION);
    EXPECT_TRUE(::PtInRegion(probe, 10, 10));
    EXPECT_FALSE(::PtInRegion(probe, 10, 150));
    EXPECT_TRUE(::PtInRegion(probe, 399, 299));
    ::DeleteObject(probe);

    ASSERT_TRUE(PumpUntil([&] { return ScreenPixel(100 + 200, 100 + 50) == kRed; }));
    EXPECT_EQ(ScreenPixel(100 + 200, 100 + 150), kGreen);  // the back window shows through
    EXPECT_EQ(pf->WindowFromScreenPoint({100 + 200, 100 + 150}), back);
    EXPECT_EQ(pf->WindowFromScreenPoint({100 + 200, 100 + 250}), front);

    // A click in the shape reaches the front window; one in the hole the window behind (which the
    // window manager then raises).
    Click(100 + 200, 100 + 250);
    EXPECT_EQ(frontHost.Count(MouseAction::Press), 1);
    EXPECT_EQ(frontHost.Count(MouseAction::Release), 1);
    EXPECT_EQ(backHost.Count(MouseAction::Press), 0);
    Click(100 + 200, 100 + 150);
    EXPECT_EQ(backHost.Count(MouseAction::Press), 1);
    EXPECT_EQ(frontHost.Count(MouseAction::Press), 1);
    const auto press = std::find_if(backHost.mouse.begin(), backHost.mouse.end(),
                                    [](const MouseEvent& e) { return e.action == MouseAction::Press; });
    ASSERT_NE(press, backHost.mouse.end());
    EXPECT_EQ(press->client, (Point{250, 200}));
    EXPECT_EQ(press->screen, (Point{300, 250}));

    // Without an outline the whole rectangle is the window again.
    pf->SetShape(front, nullptr);
    HRGN none = ::CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(::GetWindowRgn(H(front), none), ERROR);
    ::DeleteObject(none);
    pf->Destroy(back);
    Pump(300);
    EXPECT_EQ(pf->WindowFromScreenPoint({100 + 200, 100 + 150}), front);
    EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(100 + 200, 100 + 150) == kRed; }));
}

TEST_F(Win32PlatformGuiTest, RegionsOfManyRectanglesAreBuiltInBatchesAndCoverEveryRectangle) {
    // 4500 one-pixel rows with gaps: more than two batches of region data.
    std::vector<Rect> rects;
    for (int y = 0; y < 4500; ++y) rects.push_back(Rect{(y % 7), y, 20 + (y % 5), y + 1});
    const Region outline(rects);
    win32::RegionHandle region = win32::MakeRegion(outline);
    ASSERT_TRUE(region);
    for (const Rect& r : rects) {
        ASSERT_TRUE(::PtInRegion(region.Get(), r.left, r.top)) << r;
        ASSERT_TRUE(::PtInRegion(region.Get(), r.right - 1, r.top)) << r;
        if (r.left > 0) {
            ASSERT_FALSE(::PtInRegion(region.Get(), r.left - 1, r.top)) << r;
        }
        ASSERT_FALSE(::PtInRegion(region.Get(), r.right, r.top)) << r;
    }
    RECT box{};
    EXPECT_EQ(::GetRgnBox(region.Get(), &box), COMPLEXREGION);
    EXPECT_EQ(box.bottom, 4500);

    // An empty outline is an empty region: nothing of the window shows.
    win32::RegionHandle empty = win32::MakeRegion(Region{});
    ASSERT_TRUE(empty);
    EXPECT_EQ(::GetRgnBox(empty.Get(), &box), NULLREGION);
}

TEST_F(Win32PlatformGuiTest, MoveDragFollowsThePointer) {
    Host host(kBlue);
    const WindowId w = Top(host, Rect::FromXYWH(300, 300, 300, 200));
    host.onMouse = [&](const MouseEvent& e) {
        if (e.action == MouseAction::Press) pf->BeginMoveDrag(w, e);
    };
    ShowAndWait(w);
    MoveMouse(400, 350);
    std::string drag = "mousedown 1 sleep 0.3";
    for (int step = 1; step <= 10; ++step)
        drag += " mousemove " + std::to_string(400 + 6 * step) + " " + std::to_string(350 + 4 * step) + " sleep 0.03";
    Xdo(drag + " sleep 0.2 mouseup 1");
    ASSERT_TRUE(PumpUntil([&] { return pf->GetOuterRect(w).left != 300; }));
    Pump(300);
    const Rect after = pf->GetOuterRect(w);
    EXPECT_NEAR(after.left, 360, 3);
    EXPECT_NEAR(after.top, 340, 3);
    EXPECT_EQ(after.Width(), 300);
    EXPECT_GE(host.moves, 1);
}

TEST_F(Win32PlatformGuiTest, AQuickClickThatAsksForADragLeavesNoMoveRunning) {
    Host host(kBlue);
    const WindowId w = Top(host, Rect::FromXYWH(300, 300, 300, 200));
    host.onMouse = [&](const MouseEvent& e) {
        if (e.action == MouseAction::Press) pf->BeginMoveDrag(w, e);
    };
    ShowAndWait(w);
    // Press and release at once, before the posted caption press is handled.
    MoveMouse(400, 350);
    Xdo("click 1");
    Pump(300);
    // The pointer moves on and clicks elsewhere: a move left running would take the window along.
    MoveMouse(700, 600);
    Xdo("click 1");
    Pump(300);
    MoveMouse(800, 650);
    EXPECT_EQ(pf->GetOuterRect(w), Rect::FromXYWH(300, 300, 300, 200));
    EXPECT_EQ(host.Count(MouseAction::Press), 1);
}

TEST_F(Win32PlatformGuiTest, ChildWindowsStackAsToldAreClippedAndGoBeforeTheirParent) {
    Host topHost(kBlue), aHost(kRed), bHost(kGreen);
    const WindowId top = Top(topHost, Rect::FromXYWH(100, 100, 400, 300));
    const WindowId a = pf->CreateChild(top, Rect::FromXYWH(10, 10, 200, 100), &aHost);
    const WindowId b = pf->CreateChild(top, Rect::FromXYWH(100, 50, 350, 100), &bHost);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_TRUE(StyleOf(a) & WS_CHILD);
    EXPECT_FALSE(pf->IsVisible(a));
    EXPECT_EQ(pf->GetParent(a), top);
    EXPECT_EQ(pf->GetOuterRect(b), Rect::FromXYWH(100, 50, 350, 100));
    pf->PlaceFront(a);
    EXPECT_EQ(pf->FirstChild(top), a);
    pf->PlaceBehind(a, b);
    EXPECT_EQ(pf->FirstChild(top), b);
    EXPECT_EQ(Id(::GetWindow(H(b), GW_HWNDNEXT)), a);
    pf->Show(a, ShowCommand::Normal);
    pf->Show(b, ShowCommand::Normal);
    ShowAndWait(top);
    ASSERT_TRUE(PumpUntil([&] { return ScreenPixel(100 + 20, 100 + 20) == kRed; }));
    EXPECT_EQ(ScreenPixel(100 + 150, 100 + 80), kGreen);   // b in front where they overlap
    EXPECT_EQ(ScreenPixel(100 + 395, 100 + 80), kGreen);
    EXPECT_NE(ScreenPixel(100 + 420, 100 + 80), kGreen);   // b cut at its parent's edge
    EXPECT_NE(pf->WindowFromScreenPoint({100 + 420, 100 + 80}), b);
    EXPECT_EQ(ScreenPixel(100 + 5, 100 + 200), kBlue);
    EXPECT_EQ(pf->WindowFromScreenPoint({100 + 150, 100 + 80}), b);

    // Re-parented, a child keeps its left and top in its new parent.
    const WindowId inner = pf->CreateChild(b, Rect::FromXYWH(5, 6, 20, 20), nullptr);
    pf->SetParent(inner, a);
    EXPECT_EQ(pf->GetParent(inner), a);
    EXPECT_EQ(pf->GetOuterRect(inner), Rect::FromXYWH(5, 6, 20, 20));

    // Destroying the parent destroys the children, and their hosts hear of it first.
    std::vector<char> order;
    aHost.onDestroyed = [&] { order.push_back('a'); };
    bHost.onDestroyed = [&] { order.push_back('b'); };
    topHost.onDestroyed = [&] { order.push_back('t'); };
    pf->Destroy(top);
    EXPECT_FALSE(pf->Exists(top));
    EXPECT_FALSE(pf->Exists(a));
    ASSERT_EQ(order.size(), 3u);
    EXPECT_EQ(order.back(), 't');
    EXPECT_EQ(topHost.destroyed, 1);
}

TEST_F(Win32PlatformGuiTest, MouseGoesThroughTheTopLevelFirstAndFollowsTheCapture) {
    Host topHost(kBlue), childHost(kRed);
    const WindowId top = Top(topHost, Rect::FromXYWH(100, 100, 500, 400));
    const WindowId child = pf->CreateChild(top, Rect::FromXYWH(50, 50, 100, 100), &childHost);
    pf->Show(child, ShowCommand::Normal);
    ShowAndWait(top);

    Click(100 + 60, 100 + 70);
    ASSERT_EQ(childHost.Count(MouseAction::Press), 1);
    EXPECT_EQ(childHost.Count(MouseAction::Release), 1);
    const auto pre = std::find_if(topHost.pre.begin(), topHost.pre.end(), [](const auto& p) {
        return p.second.action == MouseAction::Press;
    });
    ASSERT_NE(pre, topHost.pre.end());
    EXPECT_EQ(pre->first, child);
    EXPECT_EQ(pre->second.client, (Point{10, 20}));
    EXPECT_TRUE(pre->second.leftDown);
    EXPECT_EQ(topHost.Count(MouseAction::Press), 0);

    // Swallowed by the top-level, the child never sees it.
    topHost.swallow = true;
    Click(100 + 60, 100 + 70);
    EXPECT_EQ(childHost.Count(MouseAction::Press), 1);
    topHost.swallow = false;

    // A second press soon after at the same place is a double press.
    MoveMouse(100 + 70, 100 + 70);
    Xdo("click --repeat 2 --delay 80 1");
    Pump(300);
    EXPECT_EQ(childHost.Count(MouseAction::DoublePress), 1);

    // Captured, the child sees moves outside itself in its own coordinates, and no leaving.
    MoveMouse(100 + 60, 100 + 60);
    pf->SetCapture(child);
    EXPECT_EQ(pf->GetCapture(), child);
    childHost.mouse.clear();
    MoveMouse(100 + 300, 100 + 250);
    ASSERT_GE(childHost.Count(MouseAction::Move), 1);
    EXPECT_EQ(childHost.mouse.back().client, (Point{250, 200}));
    EXPECT_EQ(childHost.Count(MouseAction::Leave), 0);
    pf->ReleaseCapture();
    EXPECT_EQ(pf->GetCapture(), 0u);

    // Uncaptured, leaving the child is reported once.
    MoveMouse(100 + 60, 100 + 60);
    childHost.mouse.clear();
    MoveMouse(100 + 300, 100 + 300);
    EXPECT_TRUE(PumpUntil([&] { return childHost.Count(MouseAction::Leave) == 1; }, 2000));

    // A disabled window gets nothing.
    pf->Enable(top, false);
    EXPECT_FALSE(pf->IsEnabled(top));
    childHost.mouse.clear();
    Click(100 + 60, 100 + 70);
    EXPECT_EQ(childHost.Count(MouseAction::Press), 0);
    pf->Enable(top, true);
    EXPECT_TRUE(pf->IsEnabled(top));
}

TEST_F(Win32PlatformGuiTest, PointersAndIconsComeFromTheProgramWhereItHasThem) {
    // The hand is the executable's own pointer resource; the others are the system's.
    const CursorId hand = pf->LoadSystemCursor(32649);
    ASSERT_NE(hand, 0u);
    EXPECT_EQ(pf->LoadSystemCursor(32649), hand);
    const CursorId arrow = pf->LoadSystemCursor(32512);
    EXPECT_NE(arrow, 0u);
    EXPECT_NE(arrow, hand);
    EXPECT_EQ(pf->LoadSystemCursor(12345), 0u);
    HCURSOR ownHand = ::LoadCursorW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(win32::kHandCursorResource));
    ASSERT_NE(ownHand, nullptr);

    Host host(kGreen);
    const WindowId w = Top(host, Rect::FromXYWH(200, 200, 300, 200));
    ShowAndWait(w);
    pf->SetWindowCursor(w, hand);
    MoveMouse(300, 300);
    MoveMouse(310, 305);
    EXPECT_EQ(::GetCursor(), ownHand);

    Bitmap image(16, 16);
    for (std::size_t i = 0; i < image.Pixels().size(); i += 4) image.Pixels()[i + 2] = 0xFF;  // red, no alpha
    const CursorId own = pf->CreateCursor(image, {3, 4});
    ASSERT_NE(own, 0u);
    pf->SetWindowCursor(w, own);
    MoveMouse(320, 310);
    HCURSOR shown = ::GetCursor();
    EXPECT_NE(shown, ownHand);
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(shown, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 3u);
    EXPECT_EQ(info.yHotspot, 4u);
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    if (info.hbmMask) ::DeleteObject(info.hbmMask);
    // Destroyed, it leaves the window with the arrow.
    pf->DestroyCursor(own);
    MoveMouse(330, 315);
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_ARROW));

    // A window without an icon of its own has the program's; given one, it has that.
    const auto bigIcon = [&] { return reinterpret_cast<HICON>(::SendMessageW(H(w), WM_GETICON, ICON_BIG, 0)); };
    HICON programIcon = bigIcon();
    ASSERT_NE(programIcon, nullptr);
    Bitmap icon(32, 32);
    pf->SetIcons(w, &icon, &icon);
    EXPECT_NE(bigIcon(), nullptr);
    EXPECT_NE(bigIcon(), programIcon);
    EXPECT_NE(::SendMessageW(H(w), WM_GETICON, ICON_SMALL, 0), 0);
    pf->SetIcons(w, nullptr, nullptr);
    EXPECT_EQ(bigIcon(), programIcon);
}

TEST_F(Win32PlatformGuiTest, TitlesAreTheUtf8TextsExactlyWhateverTheCodePage) {
    RecordProperty("code_page", static_cast<int>(::GetACP()));
    // The run says which code page it set up (through the locale Wine starts in).
    if (const char* expected = std::getenv("KESTRUNE_EXPECT_ACP")) {
        EXPECT_EQ(::GetACP(), static_cast<UINT>(std::atoi(expected)));
    }
    Host host;
    const WindowId w = Top(host, Rect::FromXYWH(100, 100, 300, 200), Framed(), "Kestrune微端");
    ShowAndWait(w);
    wchar_t text[64] = {};
    ASSERT_EQ(::GetWindowTextW(H(w), text, 64), 10);
    EXPECT_EQ(std::wstring(text), L"Kestrune\u5FAE\u7AEF");
    pf->SetTitle(w, "我的快捷方式 – ü");
    Pump(200);
    ::GetWindowTextW(H(w), text, 64);
    EXPECT_EQ(std::wstring(text), L"\u6211\u7684\u5FEB\u6377\u65B9\u5F0F \u2013 \u00FC");
}

TEST_F(Win32PlatformGuiTest, NestedLoopsPostedMessagesTimersAndQuit) {
    Host host;
    const WindowId w = Top(host, Rect::FromXYWH(100, 100, 200, 100));
    bool nestedDone = false;
    host.onPosted = [&](std::uint32_t code) {
        if (code != 1) return;
        // A nested loop inside a handler keeps delivering the later messages.
        pf->RunLoop([&] { return host.posted.size() < 3; });
        nestedDone = true;
    };
    pf->Post(w, 1);
    pf->Post(w, 2);
    pf->Post(w, 3);
    pf->Post(w, 4);
    EXPECT_FALSE(pf->RunLoop([&] { return !nestedDone || host.posted.size() < 4; }));
    EXPECT_EQ(host.posted, (std::vector<std::uint32_t>{1, 2, 3, 4}));

    // A timer repeats, also inside a loop its own routine runs, and can stop itself.
    int fired = 0;
    TimerId timer = 0;
    timer = pf->StartTimer(20, [&] {
        ++fired;
        if (fired == 1) pf->RunLoop([&] { return fired < 3; });
        if (fired == 4) pf->KillTimer(timer);
    });
    ASSERT_NE(timer, 0u);
    EXPECT_FALSE(pf->RunLoop([&] { return fired < 4; }));
    Pump(150);
    EXPECT_EQ(fired, 4);

    // Messages to a window that is gone by then are dropped.
    Host gone;
    const WindowId g = Top(gone, Rect::FromXYWH(0, 0, 10, 10));
    pf->Post(g, 7);
    pf->Destroy(g);
    pf->Post(w, 8);
    EXPECT_FALSE(pf->RunLoop([&] { return host.posted.size() < 5; }));
    EXPECT_TRUE(gone.posted.empty());

    // A quit ends the innermost loop with its code; the outer loop is left to the caller.
    host.onPosted = [&](std::uint32_t code) {
        if (code == 9) pf->PostQuit(-1);
    };
    pf->Post(w, 9);
    EXPECT_TRUE(pf->RunLoop({}));
    EXPECT_EQ(static_cast<win32::Win32PlatformImpl*>(pf.get())->QuitCode(), -1);
}

TEST_F(Win32PlatformGuiTest, MaximiseFillsTheWorkAreaMinimiseAndRestoreGoBack) {
    Host host(kGreen);
    const Rect asked = Rect::FromXYWH(150, 150, 600, 400);
    const WindowId w = Top(host, asked, Framed());
    ShowAndWait(w);
    const int resizes = host.resizes;
    ShowAndWait(w, ShowCommand::Maximized);
    EXPECT_TRUE(pf->IsMaximized(w));
    EXPECT_GT(host.resizes, resizes);
    const Rect area = pf->WorkAreaNear(w);
    const Size client = pf->GetClientSize(w);
    EXPECT_EQ(client.width, area.Width());
    EXPECT_GE(pf->GetOuterRect(w).Width(), area.Width());
    ShowAndWait(w, ShowCommand::Restore);
    EXPECT_FALSE(pf->IsMaximized(w));
    EXPECT_EQ(pf->GetOuterRect(w), asked);

    ShowAndWait(w, ShowCommand::Minimized);
    EXPECT_TRUE(pf->IsMinimized(w));
    EXPECT_TRUE(pf->IsVisible(w));
    ShowAndWait(w, ShowCommand::Restore);
    EXPECT_FALSE(pf->IsMinimized(w));
    EXPECT_EQ(pf->GetOuterRect(w), asked);
}

TEST_F(Win32PlatformGuiTest, CloseOnlyAsksTheHostAndTheHiddenOwnerKeepsOwnedWindowsOffTheTaskbar) {
    Host host;
    const WindowId w = Top(host, Rect::FromXYWH(100, 100, 300, 200), Framed());
    ShowAndWait(w);
    ::SendMessageW(H(w), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(host.closes, 1);
    EXPECT_TRUE(pf->Exists(w));

    const WindowId owner = pf->CreateOwnerWindow();
    made.push_back(owner);
    ASSERT_NE(owner, 0u);
    EXPECT_TRUE(ExStyleOf(owner) & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(StyleOf(owner) & WS_CAPTION);
    EXPECT_EQ(pf->GetOuterRect(owner).Width(), 0);
    pf->Show(owner, ShowCommand::Normal);  // never shown
    EXPECT_FALSE(pf->IsVisible(owner));

    Host ownedHost;
    TopLevelParams params;
    params.style = Framed();
    params.outer = Rect::FromXYWH(200, 200, 300, 200);
    params.owner = owner;
    params.skipTaskbar = true;
    const WindowId owned = pf->CreateTopLevel(params, &ownedHost);
    made.push_back(owned);
    EXPECT_EQ(pf->GetParent(owned), owner);
    EXPECT_EQ(Id(::GetWindow(H(owned), GW_OWNER)), owner);
    EXPECT_EQ(pf->GetParent(w), 0u);
}

// The message box of this thread with the given caption, or nullptr.
HWND FindBox(const wchar_t* caption) {
    HWND box = nullptr;
    while ((box = ::FindWindowExW(nullptr, box, L"#32770", caption)) != nullptr)
        if (::GetWindowThreadProcessId(box, nullptr) == ::GetCurrentThreadId()) return box;
    return nullptr;
}

TEST_F(Win32PlatformGuiTest, ErrorBoxShowsItsCaptionAndTextUntilClosedAndAQuitClosesIt) {
    std::wstring seenText;
    bool sawBox = false;
    TimerId timer = pf->StartTimer(50, [&] {
        HWND box = FindBox(L"\u9519\u8BEF");  // 错误
        if (box == nullptr) return;
        sawBox = true;
        wchar_t text[256] = {};
        ::GetDlgItemTextW(box, 0xFFFF, text, 256);  // the box's message text
        seenText = text;
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    pf->ShowErrorBox("错误", "运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n");
    pf->KillTimer(timer);
    EXPECT_TRUE(sawBox);
    EXPECT_NE(seenText.find(L"\u8F7D\u5165\u542F\u52A8\u7A97\u53E3\u5931\u8D25"), std::wstring::npos);  // 载入启动窗口失败
    EXPECT_EQ(FindBox(L"\u9519\u8BEF"), nullptr);

    // A quit posted while the box is up closes it, and the loop still sees the quit.
    timer = pf->StartTimer(50, [&] {
        if (FindBox(L"\u9519\u8BEF") != nullptr) pf->PostQuit(-1);
    });
    pf->ShowErrorBox("错误", "second");
    pf->KillTimer(timer);
    EXPECT_EQ(FindBox(L"\u9519\u8BEF"), nullptr);
    EXPECT_TRUE(pf->RunLoop([] { return true; }));
}

TEST_F(Win32PlatformGuiTest, ScreenFacts) {
    EXPECT_EQ(pf->PrimaryScreenSize(), (Size{1920, 1080}));
    const Rect area = pf->WorkAreaNear(0);
    EXPECT_GT(area.Width(), 0);
    EXPECT_LE(area.Width(), 1920);
    EXPECT_LE(area.Height(), 1080);
    EXPECT_GE(pf->DisplayBitsPerPixel(), 24);
    EXPECT_EQ(pf->ButtonFaceColour(), static_cast<Colour>(::GetSysColor(COLOR_BTNFACE)));
}

}  // namespace
}  // namespace kestrune::platform
