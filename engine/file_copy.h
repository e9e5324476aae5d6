// Copying one FILE entry: finding its sources (the archive container, then a wildcard search),
// making the target directories, the overwrite rules, the block copy, times, attributes, log.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "records/engine_records.h"

namespace qm {

class Engine;
struct SourceFile;

constexpr uint32_t kCopyBlock = 32768;
constexpr int32_t kRefreshBytes = 50000;

// The full source path of name for the entry, or the source directory alone when name is none.
std::string sourcePath(const Engine& engine, const FileEntry& entry,
                       const std::optional<std::string>& name);

// Copies one selected FILE entry. 0 done (or skipped), 1 failed or cancelled.
int copyEntry(Engine& engine, FileEntry& entry);

// Copies one source to target under the overwrite rule. 0 done or skipped, nonzero failed (the
// failure has been shown). opened: the source, already open at its start and known to be no
// package; without it the source is opened here and may turn out to be a package.
int copyFile(Engine& engine, const std::string& target, const std::string& source,
             Overwrite overwrite, uint32_t attributes,
             std::unique_ptr<SourceFile> opened = nullptr);

// The library's version text ("\StringFileInfo\040904E4\FileVersion", else the 040904B0 one),
// read through the source reader so container entries have one too.
std::optional<std::string> versionText(Engine& engine, const std::string& path);

}  // namespace qm
