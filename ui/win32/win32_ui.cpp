#include "ui/win32/win32_ui.h"

#include "ui/win32/dialog_view.h"

namespace qm {

namespace {

UINT iconFlag(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::Warning:
      return MB_ICONEXCLAMATION;
    case MsgIcon::Question:
      return MB_ICONQUESTION;
    case MsgIcon::Information:
      return MB_ICONINFORMATION;
    case MsgIcon::Error:
      return MB_ICONHAND;
    case MsgIcon::None:
      break;
  }
  return 0;
}

UINT buttonFlag(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::OkCancel:
      return MB_OKCANCEL;
    case MsgButtons::YesNo:
      return MB_YESNO;
    case MsgButtons::YesNoCancel:
      return MB_YESNOCANCEL;
    case MsgButtons::Ok:
      break;
  }
  return MB_OK;
}

MsgResult fromId(int id, MsgButtons buttons) {
  switch (id) {
    case IDOK:
      return MsgResult::Ok;
    case IDYES:
      return MsgResult::Yes;
    case IDNO:
      return MsgResult::No;
    case IDCANCEL:
      return MsgResult::Cancel;
  }
  // The box could not be shown: take the answer that changes least.
  return buttons == MsgButtons::Ok      ? MsgResult::Ok
         : buttons == MsgButtons::YesNo ? MsgResult::No
                                        : MsgResult::Cancel;
}

}  // namespace

MsgResult showWin32MessageBox(HWND owner, const MessageRequest& request) {
  const char* caption = request.captionDefault ? nullptr : request.caption.c_str();
  // A box waits for the user, so it comes up in front of everything, and stays there: a readme
  // or a group window the shell opens a moment later must not cover the restart question.
  int id = MessageBoxA(
      request.owned ? owner : nullptr, request.text.c_str(), caption,
      iconFlag(request.icon) | buttonFlag(request.buttons) | MB_SETFOREGROUND | MB_TOPMOST);
  return fromId(id, request.buttons);
}

MsgResult Win32Ui::messageBox(const MessageRequest& request) {
  MsgResult result = showWin32MessageBox(owner_, request);
  trace("message: " + request.text + " -> " + msgResultName(result));
  return result;
}

void Win32Ui::trace(const std::string& line) {
  if (sink_) sink_->write(line);
}

DialogOutcome Win32Ui::runDialog(const DialogSpec& dialog, DialogController& controller) {
  DialogOutcome outcome = runWin32Dialog(owner_, dialog, controller);
  trace("dialog " + dialog.topic + " -> " +
        (outcome == DialogOutcome::Ok       ? "OK"
         : outcome == DialogOutcome::Cancel ? "Cancel"
                                            : "failed"));
  return outcome;
}

int Win32Ui::textExtent(const std::string& text, const FontSpec& font) {
  return win32TextExtent(text, font);
}

int Win32Ui::dialogBaseUnitX() { return win32DialogBaseUnitX(); }

void Win32Ui::beep() { MessageBeep(MB_ICONASTERISK); }

}  // namespace qm
