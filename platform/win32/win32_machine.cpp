#include <windows.h>

#include "platform/win32/win32_system.h"

namespace qm {

uint32_t Win32System::versionWord() { return uint32_t(GetVersion()); }

int Win32System::screenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int Win32System::screenHeight() { return GetSystemMetrics(SM_CYSCREEN); }

std::optional<std::string> Win32System::environment(const std::string& name) {
  std::string buf(256, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    SetLastError(NO_ERROR);
    DWORD n = GetEnvironmentVariableA(name.c_str(), buf.data(), DWORD(buf.size()));
    if (n == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (n < buf.size()) {
      buf.resize(n);
      return buf;
    }
    buf.assign(n + 1, '\0');  // n is the size needed, with its NUL
  }
  return std::nullopt;
}

void Win32System::disableCriticalErrorBoxes() { SetErrorMode(SEM_FAILCRITICALERRORS); }

namespace {
constexpr DWORD kInputIdleMs = 5000;
}  // namespace

bool Win32System::startProcess(const std::string& commandLine, int showState, bool wait) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = WORD(showState);
  PROCESS_INFORMATION pi = {};
  std::string line = commandLine;  // CreateProcessA may write into its command line
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  if (!wait) {
    // A program started to stay (the readme, a program at exit) has its window up before this
    // one asks anything more, so a later question opens in front of it, not under it.
    WaitForInputIdle(pi.hProcess, kInputIdleMs);
  } else {
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    lastExitCode_ = GetExitCodeProcess(pi.hProcess, &code) ? long(code) : -1;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

bool Win32System::lockInstallations(uint32_t waitMs) {
  // Opened once and never closed: the system lets the lock go when this process ends, however it
  // ends, so a crashed installation cannot block the next one for good (the next sees the lock
  // abandoned, which is as good as free).
  static HANDLE lock = CreateMutexA(nullptr, FALSE, kInstallationLockName);
  if (lock == nullptr) return true;  // a system without named locks runs one program at a time
  DWORD r = WaitForSingleObject(lock, waitMs);
  return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

std::string Win32System::modulePath() {
  char buf[MAX_PATH + 1];
  DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
  return n == 0 || n >= sizeof buf ? std::string() : std::string(buf, n);
}

std::string Win32System::commandLineArguments() { return argumentsAfterProgram(GetCommandLineA()); }

std::string argumentsAfterProgram(const std::string& commandLine) {
  size_t i = 0;
  while (i < commandLine.size() && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
  if (i < commandLine.size() && commandLine[i] == '"') {
    size_t close = commandLine.find('"', i + 1);
    i = close == std::string::npos ? commandLine.size() : close + 1;
  }
  while (i < commandLine.size() && commandLine[i] != ' ' && commandLine[i] != '\t') ++i;
  while (i < commandLine.size() && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
  return commandLine.substr(i);
}

}  // namespace qm
