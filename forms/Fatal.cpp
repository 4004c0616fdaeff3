// The fatal runtime error: its box text, the box, and the hand-over to the program's shutdown.
#include "forms/Fatal.h"

#include <cstdlib>

#include "forms/Events.h"
#include "forms/Runtime.h"
#include "forms/RuntimeState.h"

namespace kestrune::forms {

namespace {
FatalExitHook g_fatalExit = nullptr;
}

void SetFatalExit(FatalExitHook hook) { g_fatalExit = hook; }

std::string FatalErrorText(const std::string& message, std::optional<int> errorCode) {
    std::string text = "运行时出错!\r\n\r\n";
    if (errorCode) text += "错误代码：" + std::to_string(*errorCode) + "\r\n\r\n";
    if (!message.empty()) text += "错误信息：" + message + "\r\n";
    return text;
}

void FatalError(const std::string& message, std::optional<int> errorCode) {
    HoldEventsForGood();
    const std::string text = FatalErrorText(message, errorCode);
    if (g_fatalExit == nullptr) throw FatalErrorRaised(text);
    platform::Current().ShowErrorBox("错误", text);
    g_fatalExit(-1, false);
    std::_Exit(-1);  // the hook never returns; this only guards against one that does
}

void OutOfMemory(std::size_t bytes) { FatalError("分配 " + std::to_string(bytes) + " 字节内存失败!"); }

void ResetRuntimeForTests() {
    ClearDefinitions();
    ClearUnitClasses();
    detail::RuntimeState& state = detail::State();
    state.loadOrder.clear();
    state.ownerWindow = 0;
    state.messageLoopRunning = false;
    state.currentDialogWindow = 0;
    state.replacing = 0;
    state.holdDepth = 0;
    state.heldForGood = false;
}

}  // namespace kestrune::forms
