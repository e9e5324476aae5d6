// Self-registering libraries and the processor type, through the real loader and system
// information.
#include <windows.h>

#include "platform/win32/win32_system.h"

namespace qm {

RegisterResult Win32System::registerServer(const std::string& path) {
  HMODULE library = LoadLibraryA(path.c_str());
  if (!library) return RegisterResult::LoadFailed;
  using Entry = HRESULT(__stdcall*)();
  auto entry = reinterpret_cast<Entry>(
      reinterpret_cast<void*>(GetProcAddress(library, "DllRegisterServer")));
  if (!entry) {
    FreeLibrary(library);
    return RegisterResult::NoExport;
  }
  HRESULT result = entry();
  FreeLibrary(library);
  return result == 0 ? RegisterResult::Registered : RegisterResult::Failed;
}

int Win32System::processorType() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return static_cast<int>(info.dwProcessorType);
}

}  // namespace qm
