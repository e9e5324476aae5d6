#include "ui/dialogs.h"

#include "base/text.h"
#include "ui/dialog_template.h"

namespace qm {
namespace {

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

MessageRequest warningBox(const std::string& text, const std::string& caption) {
  MessageRequest box;
  box.text = text;
  box.caption = caption;
  box.icon = MsgIcon::Warning;
  box.buttons = MsgButtons::Ok;
  box.owned = true;
  return box;
}

void showPrompt(const PromptLines& lines, const std::string& prompt, DialogControls& controls) {
  if (lines.state == 2) {
    controls.setText(kIdPromptLine1, lines.line1);
    controls.setText(kIdPromptLine2, lines.line2);
  } else {
    controls.setText(kIdPromptLine2, prompt);
  }
}

void showButtons(const DialogTexts& texts, DialogControls& controls) {
  controls.setText(kIdOk, texts.ok);
  controls.setText(kIdCancel, texts.cancel);
}

DialogAction cancelOrStay(Ui& ui, const DialogTexts& texts, bool blankCaption) {
  return askQuit(ui, texts, blankCaption) ? DialogAction::EndCancel : DialogAction::Stay;
}

std::string cutAt(const std::string& text, const char* stops) {
  size_t at = text.find_first_of(stops);
  return at == std::string::npos ? text : text.substr(0, at);
}

}  // namespace

DialogTexts dialogTexts(const Settings& settings) {
  const Prompts& p = settings.prompts;
  DialogTexts t;
  t.ok = p.ok;
  t.cancel = p.cancel;
  t.quit = p.quit;
  t.badDrive = p.badDrive;
  t.badDir = p.badDir;
  t.noGroup = p.noGroup;
  t.insertDisk = p.insertDisk;
  t.fileNotFound = p.fileNotFound;
  t.diskName = p.diskName;
  t.copyFile = p.copyFile;
  t.fontName = settings.screenFont;
  for (int i = 0; i < 4; ++i) t.destinationPrompt[i] = p.destination[i];
  return t;
}

void splitPrompt(const std::string& prompt, PromptLines& lines) {
  constexpr size_t w = kPromptLineChars;
  if (lines.state != 1 || prompt.size() <= w) return;
  lines.state = 2;
  if (prompt[w] == ' ') {
    lines.line1 = prompt.substr(0, w);
    size_t next = prompt.find_first_not_of(' ', w);
    lines.line2 = next == std::string::npos ? std::string() : prompt.substr(next);
    return;
  }
  for (size_t i = w - 1; i >= 1; --i) {
    if (prompt[i] == ' ') {
      lines.line1 = prompt.substr(0, i);
      lines.line2 = prompt.substr(i + 1);
      return;
    }
  }
  lines.line1 = prompt.substr(0, w - 1);
  lines.line2 = prompt.substr(w - 1);
}

bool askQuit(Ui& ui, const DialogTexts& texts, bool blankCaption) {
  MessageRequest box = warningBox(texts.quit, blankCaption ? " " : "");
  box.buttons = MsgButtons::YesNo;
  box.topic = "Quit";
  return ui.messageBox(box) == MsgResult::Yes;
}

DestinationRequest prepareDestination(const DestinationRecord& record, const DialogTexts& texts) {
  DestinationRequest r;
  r.mode = record.mode >= 0 && record.mode <= 3 ? record.mode : 3;
  r.path = record.path;
  if (record.promptGiven && !record.prompt.empty()) {
    r.prompt = record.prompt;
  } else {
    r.prompt = texts.destinationPrompt[r.mode];
  }
  if (r.prompt.size() > kMaxPromptChars) r.prompt.resize(kMaxPromptChars);
  r.lines.state = 1;
  splitPrompt(r.prompt, r.lines);
  return r;
}

void DestinationDialog::open(DialogControls& controls) {
  showPrompt(request_.lines, request_.prompt, controls);
  showButtons(texts_, controls);
  std::string& path = request_.path;
  switch (request_.mode) {
    case 1:
      // A bare drive gets its backslash, so the directory part starts empty.
      if (path.size() == 2 && path[1] == ':') path += '\\';
      controls.setText(kIdDriveShown,
                       std::string(1, toUpperAscii(path.empty() ? 'C' : path[0])) + ":\\");
      controls.setText(kIdDestinationEdit, path.size() > 3 ? path.substr(3) : std::string());
      break;
    case 2:
      controls.setText(kIdDestinationEdit, path.substr(0, 1));
      controls.setText(kIdRestShown, path.size() > 1 ? path.substr(1) : std::string());
      break;
    default:
      controls.setText(kIdDestinationEdit, path);
      break;
  }
}

DialogAction DestinationDialog::command(int id, DialogControls& controls) {
  if (id == kIdCancel) return cancelOrStay(ui_, texts_, false);
  if (id != kIdOk) return DialogAction::Stay;
  std::string typed = controls.text(kIdDestinationEdit, kMaxAnswerChars);
  std::string candidate;
  switch (request_.mode) {
    case 1: {
      char drive = request_.path.empty() ? 'C' : request_.path[0];
      candidate = cutAt(std::string(1, drive) + ":\\" + typed, " ,");
      break;
    }
    case 2: {
      if (typed.empty() || !isAsciiLetter(typed[0])) {
        ui_.messageBox(warningBox(texts_.badDrive, ""));
        return DialogAction::Stay;
      }
      candidate = request_.path.empty() ? std::string("C:\\") : request_.path;
      candidate[0] = toUpperAscii(typed[0]);
      break;
    }
    default: {
      bool good = !typed.empty() && isAsciiLetter(typed[0]) &&
                  (typed.size() < 2 || typed[1] == ':') && (typed.size() < 3 || typed[2] == '\\');
      if (!good) {
        ui_.messageBox(warningBox(texts_.badDrive, ""));
        return DialogAction::Stay;
      }
      candidate = cutAt(typed, ",");
      break;
    }
  }
  if (!makeDirectories_(candidate)) {
    ui_.messageBox(warningBox(texts_.badDir, ""));
    return DialogAction::Stay;
  }
  request_.path = candidate;
  return DialogAction::EndOk;
}

DialogOutcome runDestinationDialog(Ui& ui, const DialogTexts& texts, DestinationRequest& request,
                                   const DirectoryMaker& makeDirectories,
                                   const std::string& topic) {
  if (request.mode < 1 || request.mode > 3) return DialogOutcome::Ok;
  DialogSpec form;
  form.resourceId = destinationResourceId(request.mode);
  form.templateBytes = buildFixedDialogTemplate(form.resourceId);
  form.topic = topic;
  DestinationDialog dialog(ui, texts, request, makeDirectories);
  return ui.runDialog(form, dialog);
}

std::string cleanAnswer(const std::string& typed) {
  size_t start = typed.find_first_not_of(" \t\r\n,()");
  return start == std::string::npos ? std::string() : typed.substr(start);
}

void AskDialog::open(DialogControls& controls) {
  showPrompt(record_.lines, record_.prompt, controls);
  controls.setText(kIdAskEdit, record_.answer);
  showButtons(texts_, controls);
}

DialogAction AskDialog::command(int id, DialogControls& controls) {
  if (id == kIdCancel) return cancelOrStay(ui_, texts_, true);
  if (id != kIdOk) return DialogAction::Stay;
  record_.answer = cleanAnswer(controls.text(kIdAskEdit, kMaxAnswerChars));
  return DialogAction::EndOk;
}

DialogOutcome runAskDialogs(Ui& ui, const DialogTexts& texts, ScreenRecords& screens,
                            MacroValues& macros) {
  for (int n = 0; n < 5; ++n) {
    if (!screens.ask[n]) continue;
    AskRecord& record = *screens.ask[n];
    if (record.lines.state == 0) record.lines.state = 1;  // no prompt: an empty single line
    splitPrompt(record.prompt, record.lines);
    DialogSpec form;
    form.resourceId = 601;
    form.templateBytes = buildFixedDialogTemplate(601);
    form.topic = "Ask" + std::to_string(n + 1);
    form.windowColour = true;
    AskDialog dialog(ui, texts, record);
    DialogOutcome outcome = ui.runDialog(form, dialog);
    if (outcome != DialogOutcome::Ok) return outcome;
    macros.ask[n] = record.answer;
  }
  return DialogOutcome::Ok;
}

}  // namespace qm
