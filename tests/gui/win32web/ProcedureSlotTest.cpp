// The procedure slot on real windows of this thread: neutral procedures in front of the window's own,
// messages passed on through the wide functions, replacements stacked, and someone else's
// subclass between two of them.
#include <gtest/gtest.h>

#include "platform/win32/ProcedureSlot.h"
#include "platform/win32/WindowHandle.h"

#include <string>
#include <vector>

namespace kestrune::platform::win32 {
namespace {

constexpr wchar_t kPageClass[] = L"KestruneSlotTestPage";

std::vector<std::string> g_log;
std::vector<WPARAM> g_charsSeen;  // WM_CHAR as the window's own procedure got it

LRESULT CALLBACK OwnProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CHAR) g_charsSeen.push_back(wParam);
    if (message == WM_USER + 1) {
        g_log.push_back("own");
        return 41;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void RegisterPageClass() {
    static bool done = false;
    if (done) return;
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof(cls);
    cls.lpfnWndProc = &OwnProc;
    cls.hInstance = ::GetModuleHandleW(nullptr);
    cls.lpszClassName = kPageClass;
    ASSERT_NE(::RegisterClassExW(&cls), 0);
    done = true;
}

WindowProc g_firstPrevious = nullptr;
WindowProc g_secondPrevious = nullptr;
WNDPROC g_foreignPrevious = nullptr;
std::vector<WindowId> g_idsSeen;

std::intptr_t FirstProc(WindowId window, std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) {
    HWND hwnd = HwndOf(window);
    if (message == WM_USER + 1) {
        g_log.push_back("first");
        g_idsSeen.push_back(window);
        return CallReplacedWindowProc(g_firstPrevious, hwnd, message, wParam, lParam) + 1;
    }
    if (message == WM_USER + 2) return 7;  // swallowed here
    return CallReplacedWindowProc(g_firstPrevious, hwnd, message, wParam, lParam);
}

std::intptr_t SecondProc(WindowId window, std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) {
    HWND hwnd = HwndOf(window);
    if (message == WM_USER + 1) g_log.push_back("second");
    return CallReplacedWindowProc(g_secondPrevious, hwnd, message, wParam, lParam);
}

LRESULT CALLBACK ForeignSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 1) g_log.push_back("foreign");
    return ::CallWindowProcW(g_foreignPrevious, window, message, wParam, lParam);
}

class ProcedureSlotTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterPageClass();
        g_log.clear();
        g_charsSeen.clear();
        g_idsSeen.clear();
        page = ::CreateWindowExW(0, kPageClass, L"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(page, nullptr);
    }
    void TearDown() override {
        if (::IsWindow(page)) ::DestroyWindow(page);
    }
    HWND page = nullptr;
};

TEST_F(ProcedureSlotTest, TheReplacementRunsFirstAndPassesOnWithTheResultOfTheWindowsOwnProcedure) {
    g_firstPrevious = ReplaceWindowProc(page, &FirstProc);
    ASSERT_NE(g_firstPrevious, nullptr);
    EXPECT_EQ(::SendMessageW(page, WM_USER + 1, 0, 0), 42);
    EXPECT_EQ(g_log, (std::vector<std::string>{"first", "own"}));
    EXPECT_EQ(g_idsSeen, std::vector<WindowId>{IdOf(page)});
    EXPECT_EQ(::SendMessageW(page, WM_USER + 2, 0, 0), 7);
    EXPECT_EQ(g_log.size(), 2u);  // swallowed: the window's own procedure never saw it
}

TEST_F(ProcedureSlotTest, TypedTextOutsideTheAnsiCodePageReachesTheWindowUnchanged) {
    g_firstPrevious = ReplaceWindowProc(page, &FirstProc);
    ASSERT_NE(g_firstPrevious, nullptr);
    EXPECT_TRUE(::IsWindowUnicode(page));
    for (wchar_t c : std::wstring(L"微端é€")) ::PostMessageW(page, WM_CHAR, c, 1);
    MSG msg;
    while (::PeekMessageW(&msg, page, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    EXPECT_EQ(g_charsSeen, (std::vector<WPARAM>{0x5FAE, 0x7AEF, 0xE9, 0x20AC}));
    ::SendMessageW(page, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Kestrune微端"));
    wchar_t title[32] = {};
    ::GetWindowTextW(page, title, 32);
    EXPECT_EQ(std::wstring(title), L"Kestrune微端");
}

TEST_F(ProcedureSlotTest, ReplacementsStackAndSomeoneElsesSubclassBetweenThemKeepsItsPlace) {
    g_firstPrevious = ReplaceWindowProc(page, &FirstProc);
    g_foreignPrevious = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(page, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ForeignSubclass)));
    g_secondPrevious = ReplaceWindowProc(page, &SecondProc);
    ASSERT_NE(g_secondPrevious, nullptr);
    EXPECT_EQ(::SendMessageW(page, WM_USER + 1, 0, 0), 42);
    EXPECT_EQ(g_log, (std::vector<std::string>{"second", "foreign", "first", "own"}));
}

TEST_F(ProcedureSlotTest, TwoReplacementsInARowBothRun) {
    g_firstPrevious = ReplaceWindowProc(page, &FirstProc);
    g_secondPrevious = ReplaceWindowProc(page, &SecondProc);
    EXPECT_EQ(::SendMessageW(page, WM_USER + 1, 0, 0), 42);
    EXPECT_EQ(g_log, (std::vector<std::string>{"second", "first", "own"}));
}

TEST_F(ProcedureSlotTest, NoSlotForMissingWindowsOrProcedures) {
    EXPECT_EQ(ReplaceWindowProc(page, nullptr), nullptr);
    HWND gone = page;
    ::DestroyWindow(page);
    EXPECT_EQ(ReplaceWindowProc(gone, &FirstProc), nullptr);
    EXPECT_EQ(ReplaceWindowProc(::GetDesktopWindow(), &FirstProc), nullptr);  // not this thread's
    EXPECT_EQ(CallReplacedWindowProc(nullptr, gone, WM_USER + 1, 0, 0), 0);
}

}  // namespace
}  // namespace kestrune::platform::win32
