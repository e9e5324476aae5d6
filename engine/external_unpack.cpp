#include "engine/external_unpack.h"

namespace qm {

std::string externalUnpackCommand(int compressionKind, Compression compression, Overwrite overwrite,
                                  const std::string& source, const std::string& targetDir) {
  const bool selfExtract = compression == Compression::SelfExtract;
  std::string command = "dosshell.pif /C ";
  if (compressionKind == kCompressionLha) {
    if (selfExtract) {
      command += source;
    } else {
      command += "lha x ";
      if (overwrite == Overwrite::Yes) command += "/c1 ";
      command += source;
    }
    command += " ";
  } else {
    command += selfExtract ? source : "pkunzip " + source;
    command += " -d ";
    if (overwrite == Overwrite::Yes) command += "-o ";
    if (overwrite == Overwrite::New) command += "-n ";
  }
  // Callers hand the directory with or without its backslash; the command has exactly one.
  command += targetDir;
  if (targetDir.empty() || targetDir.back() != '\\') command += '\\';
  return command;
}

void unpackExternally(System& sys, int compressionKind, const FileEntry& entry,
                      const std::string& source, const std::string& targetDir) {
  runAndWait(
      sys,
      externalUnpackCommand(compressionKind, entry.compression, entry.overwrite, source, targetDir),
      kShowMaximized);
}

}  // namespace qm
