// The Ui seam on real windows: message boxes with MessageBoxA, dialogs from their templates.
#pragma once

#include <windows.h>

#include "ui/trace_file.h"
#include "ui/ui.h"

namespace qm {

// Shows the box with MessageBoxA (owned by owner when the request asks for it).
MsgResult showWin32MessageBox(HWND owner, const MessageRequest& request);

class Win32Ui : public Ui {
 public:
  // trace may be null (no QUILLMOUNT_LOG).
  explicit Win32Ui(TraceSink* trace) : sink_(trace) {}

  // The main window: boxes asked for with owned set belong to it from now on.
  void setOwner(HWND owner) { owner_ = owner; }
  HWND owner() const { return owner_; }

  MsgResult messageBox(const MessageRequest& request) override;
  void trace(const std::string& line) override;
  DialogOutcome runDialog(const DialogSpec& dialog, DialogController& controller) override;
  int textExtent(const std::string& text, const FontSpec& font) override;
  int dialogBaseUnitX() override;
  void beep() override;

 private:
  TraceSink* sink_;
  HWND owner_ = nullptr;
};

}  // namespace qm
