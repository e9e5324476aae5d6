// The Program Manager conversation through the DDE management library: a client-only instance
// for the whole run, and one conversation with "PROGMAN" per command.
#include <windows.h>
// ddeml.h needs the types of windows.h.
#include <ddeml.h>

#include <algorithm>

#include "platform/win32/win32_system.h"

namespace qm {

namespace {

// A client that only sends executes has nothing to answer.
HDDEDATA CALLBACK ignoreTransactions(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  return nullptr;
}

constexpr DWORD kShellTimeoutMs = 10000;

// The shell's folder windows, by the class names the 95 and NT 4.0 shell and Wine's give them;
// each is captioned with the folder's name, or its full path when the user asked for that.
bool isFolderWindow(HWND window) {
  char name[32] = {};
  if (!IsWindowVisible(window) || !GetClassNameA(window, name, sizeof name)) return false;
  for (const char* folder : {"CabinetWClass", "ExploreWClass", "ExplorerWClass"})
    if (lstrcmpiA(name, folder) == 0) return true;
  return false;
}

BOOL CALLBACK collectFolderWindow(HWND window, LPARAM found) {
  if (isFolderWindow(window)) reinterpret_cast<std::vector<void*>*>(found)->push_back(window);
  return TRUE;
}

std::vector<void*> folderWindows() {
  std::vector<void*> found;
  EnumWindows(collectFolderWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

bool captionNames(const std::string& caption, const std::string& group) {
  if (caption.size() < group.size()) return false;
  const size_t at = caption.size() - group.size();
  return lstrcmpiA(caption.c_str() + at, group.c_str()) == 0 && (at == 0 || caption[at - 1] == '\\');
}

}  // namespace

bool Win32System::startShellClient() {
  if (shell_.instance != 0) return true;
  DWORD instance = 0;
  if (DdeInitializeA(&instance, ignoreTransactions, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
    return false;
  shell_.instance = instance;
  shell_.foldersOpenBefore = folderWindows();
  return true;
}

bool Win32System::connectShell() {
  if (shell_.instance == 0) return false;
  disconnectShell();
  HSZ progman = DdeCreateStringHandleA(shell_.instance, "PROGMAN", CP_WINANSI);
  if (!progman) return false;
  shell_.conversation = DdeConnect(shell_.instance, progman, progman, nullptr);
  DdeFreeStringHandle(shell_.instance, progman);
  return shell_.conversation != nullptr;
}

bool Win32System::executeShellCommand(const std::string& command) {
  if (!shell_.conversation) return false;
  DWORD result = 0;
  // The text goes with its terminating zero.
  HDDEDATA done = DdeClientTransaction(reinterpret_cast<LPBYTE>(const_cast<char*>(command.c_str())),
                                       static_cast<DWORD>(command.size() + 1),
                                       static_cast<HCONV>(shell_.conversation), nullptr, CF_TEXT,
                                       XTYP_EXECUTE, kShellTimeoutMs, &result);
  return done != nullptr;
}

void Win32System::disconnectShell() {
  if (!shell_.conversation) return;
  DdeDisconnect(static_cast<HCONV>(shell_.conversation));
  shell_.conversation = nullptr;
}

std::vector<std::string> Win32System::closeShellGroupWindows(
    const std::vector<std::string>& groups, uint32_t waitMs) {
  std::vector<std::string> closed, waiting = groups;
  const DWORD start = GetTickCount();
  while (!waiting.empty()) {
    for (void* window : folderWindows()) {
      const auto& before = shell_.foldersOpenBefore;
      if (std::find(before.begin(), before.end(), window) != before.end()) continue;
      char caption[MAX_PATH + 1] = {};
      GetWindowTextA(static_cast<HWND>(window), caption, sizeof caption);
      for (auto group = waiting.begin(); group != waiting.end(); ++group) {
        if (!captionNames(caption, *group)) continue;
        PostMessageA(static_cast<HWND>(window), WM_CLOSE, 0, 0);
        closed.push_back(*group);
        waiting.erase(group);
        break;
      }
    }
    if (waiting.empty() || GetTickCount() - start >= waitMs) break;
    Sleep(100);
  }
  return closed;
}

// The instance is given back when the program ends, so the shell forgets this client at once.
Win32ShellClient::~Win32ShellClient() {
  if (conversation) DdeDisconnect(static_cast<HCONV>(conversation));
  if (instance != 0) DdeUninitialize(instance);
}

}  // namespace qm
