// Files shared between programs: on Windows 4.0 and later a file in the Windows or the system
// folder has a use count in the registry (kSharedFilesKey, a REG_DWORD value named by the file's
// full path), so that one program's uninstaller does not take away a file another still uses.
// A logged installation raises the count of every file it writes there and records the raise in
// instback.log; its uninstaller lowers the count again (uninstall/undo_shared.cpp).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/system.h"

namespace qm {

class Engine;

// The count a value holds; nullopt when it is no count (a text, a long binary).
std::optional<uint32_t> sharedCountOf(const RegistryValue& value);
RegistryValue sharedCountValue(uint32_t count);

// True when path names a file directly in the Windows or the system folder.
bool inSharedFolder(System& sys, const std::string& path);

// After the installation wrote path: raises its count by one, once per run, on Windows 4.0 and
// later when the script asked for logging. existed says whether a file was there before the
// write: one found without a count starts at 1 for that copy. A value that is no count, or one
// that cannot go higher, is left as it is and the file is not counted.
void countSharedFile(Engine& engine, const std::string& path, bool existed);

}  // namespace qm
