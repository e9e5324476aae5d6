// COMPRESSED and SELF-EXTRACT files: expanded by an outside DOS unpacker (pkunzip or lha, as the
// COMPRESSION statement chose) run through the DOS program-information file and waited for.
#pragma once

#include <string>

#include "platform/system.h"
#include "records/engine_records.h"

namespace qm {

constexpr int kCompressionPkware = 0;
constexpr int kCompressionLha = 1;

// The command line for one archive: compressionKind is kCompressionPkware or kCompressionLha,
// targetDir is the directory the files go to, with or without its trailing backslash (the
// command ends in exactly one).
std::string externalUnpackCommand(int compressionKind, Compression compression, Overwrite overwrite,
                                  const std::string& source, const std::string& targetDir);

// Runs that command maximised and waits for it; its exit code is not looked at.
void unpackExternally(System& sys, int compressionKind, const FileEntry& entry,
                      const std::string& source, const std::string& targetDir);

}  // namespace qm
