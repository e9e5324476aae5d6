// Shows the installer's dialogs for real: templates built in memory go through
// DialogBoxIndirectParamA, a timer plays the user (types, checks what opened, presses a button),
// and the controllers' results are checked. Prints "PASS name" / "FAIL name: detail" and
// "DONE passed=N failed=M"; exits 0 when nothing failed.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>

#include "tests/wine/probe_check.h"
#include "ui/dialogs.h"
#include "ui/screen_dialogs.h"
#include "ui/screen_templates.h"
#include "ui/win32/dialog_view.h"
#include "ui/win32/progress_view.h"

namespace qm {
namespace {

// Quit questions are answered Yes without a window; other boxes are counted.
class ProbeUi : public Ui {
 public:
  int boxes = 0;
  MsgResult messageBox(const MessageRequest& r) override {
    ++boxes;
    return r.buttons == MsgButtons::YesNo ? MsgResult::Yes : MsgResult::Ok;
  }
  DialogOutcome runDialog(const DialogSpec& dialog, DialogController& c) override {
    return runWin32Dialog(nullptr, dialog, c);
  }
};

// What the timer does once the dialog is up.
std::function<void(HWND)> g_user;  // probe-only: the timer callback has no context pointer

BOOL CALLBACK findDialog(HWND w, LPARAM out) {
  char cls[16] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (std::string(cls) == "#32770" && IsWindowVisible(w)) {
    *reinterpret_cast<HWND*>(out) = w;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK onTimer(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), findDialog, reinterpret_cast<LPARAM>(&dialog));
  if (dialog == nullptr) return;  // not up yet
  KillTimer(nullptr, id);
  if (g_user) g_user(dialog);
}

void playUser(std::function<void(HWND)> user) {
  g_user = std::move(user);
  SetTimer(nullptr, 0, 150, onTimer);
}

std::string itemText(HWND dialog, int id) {
  char buf[600] = {};
  GetDlgItemTextA(dialog, id, buf, sizeof buf);
  return buf;
}

void press(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool clientMatches(HWND dialog, int cx, int cy, std::string& detail) {
  RECT want{0, 0, cx, cy};
  MapDialogRect(dialog, &want);
  RECT got;
  GetClientRect(dialog, &got);
  detail = std::to_string(got.right) + "x" + std::to_string(got.bottom) + " want " +
           std::to_string(want.right) + "x" + std::to_string(want.bottom);
  return got.right == want.right && got.bottom == want.bottom;
}

void askDialog() {
  ProbeUi ui;
  ScreenRecords screens;
  MacroValues macros;
  screens.ask[0] = AskRecord{"default", "What is your name?", {}};
  std::string opened, size;
  bool sized = false;
  playUser([&](HWND d) {
    opened = itemText(d, kIdAskEdit) + "|" + itemText(d, kIdPromptLine2) + "|" + itemText(d, 1);
    sized = clientMatches(d, 180, 64, size);
    SetDlgItemTextA(d, kIdAskEdit, " ,(typed answer)");
    press(d, IDOK);
  });
  DialogOutcome outcome = runAskDialogs(ui, DialogTexts{}, screens, macros);
  check(outcome == DialogOutcome::Ok, "ask dialog ends with OK");
  check(opened == "default|What is your name?|OK", "ask dialog opens with its texts", opened);
  check(sized, "ask dialog is 180 x 64 dialog units", size);
  check(macros.ask[0] == "typed answer)", "ask answer cleaned", macros.ask[0]);
}

void destinationDialog() {
  ProbeUi ui;
  DestinationRecord record;
  record.mode = 1;
  record.path = "C:\\OLD";
  DestinationRequest request = prepareDestination(record, DialogTexts{});
  std::string opened;
  std::string made;
  DirectoryMaker maker = [&](const std::string& p) {
    made = p;
    return true;
  };
  playUser([&](HWND d) {
    opened = itemText(d, kIdDriveShown) + "|" + itemText(d, kIdDestinationEdit);
    SetDlgItemTextA(d, kIdDestinationEdit, "apps, more");
    press(d, IDOK);
  });
  DialogOutcome outcome = runDestinationDialog(ui, DialogTexts{}, request, maker, "DefaultDir");
  check(outcome == DialogOutcome::Ok, "destination dialog ends with OK");
  check(opened == "C:\\|OLD", "destination mode 1 shows drive and directory", opened);
  check(request.path == "C:\\apps" && made == request.path, "destination candidate", request.path);
}

void groupDialog() {
  ProbeUi ui;
  ScreenRecords screens;
  TextBlock block;
  block.lines = {"Choose the parts:", "01 [ ] Program", "02 [X] Samples"};
  block.width = 30;
  GroupDialogRecord record;
  record.dialog = buildScreenTemplate(block, ScreenKind::Groups, {}, DialogTexts{}, screens.groups);
  record.endIndex = screens.groups.count;
  screens.mainGroup = record;
  std::string opened, size;
  bool sized = false;
  playUser([&](HWND d) {
    opened = std::to_string(IsDlgButtonChecked(d, 100)) +
             std::to_string(IsDlgButtonChecked(d, 101)) + "|" + itemText(d, 100) + "|" +
             itemText(d, 2);
    sized = clientMatches(d, 160, 48, size);
    CheckDlgButton(d, 100, BST_CHECKED);
    press(d, IDOK);
  });
  DialogOutcome outcome = runGroupDialogs(ui, DialogTexts{}, screens);
  check(outcome == DialogOutcome::Ok, "group dialog ends with OK");
  check(opened == "01| Program|Cancel", "group dialog opens with the [X] marks", opened);
  check(sized, "group dialog size from its block", size);
  check(screens.groups.selected[0] && screens.groups.selected[1], "both groups selected");
}

void exitMessage() {
  ProbeUi ui;
  TextBlock block;
  block.lines = {"This disk set is incomplete.", "", "Please contact your dealer."};
  GroupTables groups;
  auto dialog = buildScreenTemplate(block, ScreenKind::OkOnly, {}, DialogTexts{}, groups);
  int children = 0;
  playUser([&](HWND d) {
    for (HWND c = GetWindow(d, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++children;
    press(d, IDCANCEL);  // Escape: the quit question, answered Yes
  });
  DialogOutcome outcome = runScreenDialog(ui, DialogTexts{}, *dialog, "ExitMessage");
  check(outcome == DialogOutcome::Cancel, "exit message cancelled through the quit question");
  check(children == 3, "exit message has two lines and OK", std::to_string(children));
  check(ui.boxes == 1, "one quit question");
}

void pump() {
  MSG msg;
  for (int round = 0; round < 20; ++round) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(20);
  }
}

void progressWindow() {
  ProbeUi ui;
  DialogTexts texts;
  ProgressDialog progress;
  progress.open(4);
  progress.update(true, -1, 0, false);
  progress.update(true, -1, 0, false);
  progress.showFile(texts, "c:\\app\\setup.exe");
  Win32ProgressView view(progress, texts, ui);
  check(view.create(nullptr, false, 0, 0), "progress window created");
  view.refresh();
  pump();
  HWND w = view.window();
  check(itemText(w, kIdProgressPrompt) == "Installing file: ", "progress prompt line");
  check(itemText(w, kIdProgressFile) == "C:\\APP\\SETUP.EXE", "progress file line",
        itemText(w, kIdProgressFile));
  HWND frame = GetDlgItem(w, kIdProgressBar);
  RECT bar;
  GetClientRect(frame, &bar);
  MapWindowPoints(frame, w, reinterpret_cast<POINT*>(&bar), 2);
  HDC dc = GetDC(w);
  COLORREF left = GetPixel(dc, bar.left + 2, bar.top + 2);
  COLORREF right = GetPixel(dc, bar.right - 3, bar.top + 2);
  ReleaseDC(w, dc);
  char colours[64];
  std::snprintf(colours, sizeof colours, "%06lX %06lX", left, right);
  check(left == RGB(0, 0, 255) && right == RGB(255, 255, 255),
        "bar filled blue on the left, white on the right", colours);
  press(w, IDCANCEL);  // the quit question, answered Yes
  pump();
  check(progress.abortRequested(), "progress cancel sets the abort flag");
  check(view.window() == nullptr && !IsWindow(w), "progress window closed after cancel");
}

void metrics() {
  FontSpec font;
  font.face = "MS Sans Serif";
  int narrow = win32TextExtent("iii", font);
  int wide = win32TextExtent("WWWWWWWWWW", font);
  check(narrow > 0 && wide > narrow, "text extent grows with the text",
        std::to_string(narrow) + " " + std::to_string(wide));
  check(win32DialogBaseUnitX() > 0, "dialog base unit");
}

}  // namespace
}  // namespace qm

int main() {
  qm::askDialog();
  qm::destinationDialog();
  qm::groupDialog();
  qm::exitMessage();
  qm::progressWindow();
  qm::metrics();
  return qm::finishProbe();
}
