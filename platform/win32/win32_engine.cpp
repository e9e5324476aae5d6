// Self-registering libraries and the processor type, through the real loader and system
// information.
#include <windows.h>

#include "platform/win32/win32_system.h"

namespace qm {

namespace {

RegisterResult callServerExport(const std::string& path, const char* exportName) {
  HMODULE library = LoadLibraryA(path.c_str());
  if (!library) return RegisterResult::LoadFailed;
  using Entry = HRESULT(__stdcall*)();
  auto entry =
      reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(library, exportName)));
  if (!entry) {
    FreeLibrary(library);
    return RegisterResult::NoExport;
  }
  HRESULT result = entry();
  FreeLibrary(library);
  return result == 0 ? RegisterResult::Registered : RegisterResult::Failed;
}

}  // namespace

RegisterResult Win32System::registerServer(const std::string& path) {
  return callServerExport(path, "DllRegisterServer");
}

RegisterResult Win32System::unregisterServer(const std::string& path) {
  return callServerExport(path, "DllUnregisterServer");
}

int Win32System::processorType() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return static_cast<int>(info.dwProcessorType);
}

}  // namespace qm
