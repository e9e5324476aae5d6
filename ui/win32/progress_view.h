// The modeless windows of the copy: the progress dialog (template 100) drawing a ProgressDialog,
// and the pop-up message windows built from POPMESSAGE templates.
#pragma once

#include <windows.h>

#include "ui/dialog_template.h"
#include "ui/dialog_texts.h"
#include "ui/progress_dialog.h"
#include "ui/ui.h"

namespace qm {

class Win32ProgressView {
 public:
  Win32ProgressView(ProgressDialog& dialog, const DialogTexts& texts, Ui& ui)
      : dialog_(dialog), texts_(texts), ui_(ui) {}
  ~Win32ProgressView() { destroy(); }
  Win32ProgressView(const Win32ProgressView&) = delete;
  Win32ProgressView& operator=(const Win32ProgressView&) = delete;

  // Creates the window over owner. popupPlaced: a pop-up message window stands at popupTop with
  // popupHeight, and the progress dialog opens 24 pixels below it.
  bool create(HWND owner, bool popupPlaced, int popupTop, int popupHeight);
  // Places the window again (a pop-up appeared or moved) and makes it active.
  void place(bool popupPlaced, int popupTop, int popupHeight);
  // Shows the dialog's current texts and repaints the bar at once.
  void refresh();
  // On top of every window of the program and active.
  void bringToFront();
  void destroy();
  HWND window() const { return window_; }

 private:
  static INT_PTR CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void paintBar(HDC dc);

  ProgressDialog& dialog_;
  const DialogTexts& texts_;
  Ui& ui_;
  HWND window_ = nullptr;
  RECT bar_{};
  HBRUSH background_ = nullptr;
  DialogTemplate template_;
};

// A pop-up message window from its template (visible, at the top left until the caller places
// it); null when the system refused the template.
HWND createPopupWindow(HWND owner, const DialogTemplate& popup);

}  // namespace qm
