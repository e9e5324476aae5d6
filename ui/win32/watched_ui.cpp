#include "ui/win32/watched_ui.h"

#include <algorithm>

#include "ui/win32/win32_ui.h"

namespace qm {
namespace {

constexpr char kTimerClass[] = "QuillmountWatchTimers";
constexpr UINT_PTR kBoxShownTimer = 1;
constexpr UINT_PTR kBoxPressTimer = 2;
constexpr UINT kPollMs = 50;

struct DialogList {
  std::vector<HWND> windows;
};

BOOL CALLBACK collectDialog(HWND window, LPARAM list) {
  char cls[16] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (std::string(cls) == "#32770") reinterpret_cast<DialogList*>(list)->windows.push_back(window);
  return TRUE;
}

std::vector<HWND> threadDialogs() {
  DialogList list;
  EnumThreadWindows(GetCurrentThreadId(), collectDialog, reinterpret_cast<LPARAM>(&list));
  return list.windows;
}

}  // namespace

WatchedUi::WatchedUi(AnswersFile answers, TraceSink* trace, int delayMs)
    : AnswersUi(std::move(answers), trace), delayMs_(delayMs) {
  WNDCLASSA cls{};
  cls.lpfnWndProc = timerProc;
  cls.hInstance = GetModuleHandleA(nullptr);
  cls.lpszClassName = kTimerClass;
  RegisterClassA(&cls);  // fails harmlessly when a second view registers it again
  timers_ = CreateWindowExA(0, kTimerClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  if (timers_ != nullptr)
    SetWindowLongPtrA(timers_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

WatchedUi::~WatchedUi() {
  if (timers_ != nullptr) DestroyWindow(timers_);
}

MsgResult WatchedUi::messageBox(const MessageRequest& request) {
  MsgResult answer = AnswersUi::messageBox(request);  // traces the answer
  showAnswered(request, answer);
  return answer;
}

DiskAnswer WatchedUi::diskPrompt(const DiskRequest& request) {
  DiskAnswer answer = AnswersUi::diskPrompt(request);
  if (answer == DiskAnswer::Failed) return answer;  // the run ends; nothing more to show
  showAnswered(diskBox(request), answer == DiskAnswer::Cancel ? MsgResult::Cancel : MsgResult::Ok);
  return answer;
}

DialogOutcome WatchedUi::runDialog(const DialogSpec& dialog, DialogController& controller) {
  DialogOutcome outcome = runWin32Dialog(owner_, dialog, controller, this);
  if (outcome == DialogOutcome::Failed && dialog.templateBytes.empty())
    trace("dialog " + dialog.topic + ": no template to show; the run ends (exit code 3)");
  return outcome;
}

int WatchedUi::textExtent(const std::string& text, const FontSpec& font) {
  return win32TextExtent(text, font);
}

int WatchedUi::dialogBaseUnitX() { return win32DialogBaseUnitX(); }

int WatchedUi::fill(const DialogSpec& form, DialogControls& controls) {
  return dialogs_.fill(form, controls);
}

void WatchedUi::shown(const DialogSpec& form, HWND dialog) { trace("shown " + form.topic); }

DialogOutcome WatchedUi::press(const DialogSpec& form, DialogController& controller,
                               DialogControls& controls, int button) {
  return dialogs_.press(form, controller, controls, button);
}

void WatchedUi::showAnswered(const MessageRequest& request, MsgResult answer) {
  if (timers_ == nullptr) return;  // nothing could press the button
  before_ = threadDialogs();
  box_ = nullptr;
  boxAnswer_ = answer;
  boxTopic_ = request.topic;
  SetTimer(timers_, kBoxShownTimer, kPollMs, nullptr);
  showWin32MessageBox(owner_, request);
  KillTimer(timers_, kBoxShownTimer);
  KillTimer(timers_, kBoxPressTimer);
  box_ = nullptr;
}

void WatchedUi::onTimer(UINT_PTR timer) {
  if (timer == kBoxShownTimer) {
    // The box is the dialog window that was not there before it was asked for.
    for (HWND w : threadDialogs()) {
      if (!IsWindowVisible(w) || std::find(before_.begin(), before_.end(), w) != before_.end())
        continue;
      box_ = w;
      break;
    }
    if (box_ == nullptr) return;  // not up yet: look again at the next tick
    KillTimer(timers_, kBoxShownTimer);
    UpdateWindow(box_);
    trace(boxTopic_.empty() ? "shown message" : "shown message " + boxTopic_);
    SetTimer(timers_, kBoxPressTimer, UINT(delayMs_), nullptr);
    return;
  }
  KillTimer(timers_, kBoxPressTimer);
  if (box_ == nullptr) return;
  int id = static_cast<int>(boxAnswer_);
  PostMessageA(box_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box_, id)));
}

LRESULT CALLBACK WatchedUi::timerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    auto* self = reinterpret_cast<WatchedUi*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self != nullptr) self->onTimer(wParam);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace qm
