// The Program Manager conversation through the DDE management library: a client-only instance
// for the whole run, and one conversation with "PROGMAN" per command.
#include <windows.h>
// ddeml.h needs the types of windows.h.
#include <ddeml.h>

#include "platform/win32/win32_system.h"

namespace qm {

namespace {

// A client that only sends executes has nothing to answer.
HDDEDATA CALLBACK ignoreTransactions(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  return nullptr;
}

constexpr DWORD kShellTimeoutMs = 10000;

}  // namespace

bool Win32System::startShellClient() {
  if (shell_.instance != 0) return true;
  DWORD instance = 0;
  if (DdeInitializeA(&instance, ignoreTransactions, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
    return false;
  shell_.instance = instance;
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

// The instance is given back when the program ends, so the shell forgets this client at once.
Win32ShellClient::~Win32ShellClient() {
  if (conversation) DdeDisconnect(static_cast<HCONV>(conversation));
  if (instance != 0) DdeUninitialize(instance);
}

}  // namespace qm
