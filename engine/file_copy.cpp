#include "engine/file_copy.h"

#include <vector>

#include "base/pe_version.h"
#include "base/text.h"
#include "engine/engine.h"
#include "engine/file_ops.h"
#include "engine/package.h"
#include "engine/replaced_files.h"

namespace qm {

namespace {

bool hasDrive(const std::string& path) { return path.size() >= 2 && path[1] == ':'; }

constexpr const char* kVersionQueries[] = {"\\StringFileInfo\\040904E4\\FileVersion",
                                           "\\StringFileInfo\\040904B0\\FileVersion"};

std::optional<std::string> systemVersionText(System& sys, const std::string& path) {
  for (const char* query : kVersionQueries)
    if (auto text = sys.machine().versionText(path, query)) return text;
  return std::nullopt;
}

enum class Decision { Replace, Skip };

Decision decideNew(Engine& engine, const std::string& target, const std::string& source,
                   FatTime sourceTime) {
  if (isLibrary(source)) {
    std::optional<std::string> sourceVersion = versionText(engine, source);
    std::optional<std::string> targetVersion =
        sourceVersion ? systemVersionText(engine.sys, target) : std::nullopt;
    if (sourceVersion && targetVersion) {
      int order = engine.sys.machine().localeCompareNoCase(*sourceVersion, *targetVersion);
      if (order > 0) return Decision::Replace;
      if (order < 0) return Decision::Skip;
    }
  }
  FatTime targetTime = readFileTime(engine.sys, target);
  return sourceTime > targetTime ? Decision::Replace : Decision::Skip;
}

int fail(Engine& engine, const std::string& text) {
  engine.warn(text, true, "");
  return 1;
}

// True when the open source begins as the first volume of a package, the only kind the package
// reader expands or sets aside for later; the source is left at its start. A source that cannot
// be put back counts as one, so that it is opened afresh.
bool beginsPackage(Container& container, SourceFile& file) {
  uint8_t bytes[kPackageHeaderSize];
  uint32_t done = 0;
  while (done < kPackageHeaderSize) {
    int32_t n = container.readSource(file, bytes + done, uint32_t(kPackageHeaderSize - done));
    if (n <= 0) break;
    done += uint32_t(n);
  }
  bool first = done == kPackageHeaderSize && decodePackageHeader(bytes).isFirstVolume();
  return first || container.seekSource(file, 0, 0) != 0;
}

}  // namespace

std::optional<std::string> versionText(Engine& engine, const std::string& path) {
  std::unique_ptr<SourceFile> file = engine.container.openSource(path);
  if (!file) return std::nullopt;
  if (!file->isContainerEntry()) {
    engine.container.closeSource(file);
    return systemVersionText(engine.sys, path);
  }
  Container& c = engine.container;
  ByteReader read = [&](uint64_t offset, uint8_t* out, size_t count) {
    if (c.seekSource(*file, static_cast<int64_t>(offset), 0) != static_cast<int64_t>(offset))
      return false;
    size_t done = 0;
    while (done < count) {
      int32_t n = c.readSource(*file, out + done, static_cast<uint32_t>(count - done));
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  };
  std::optional<std::vector<uint8_t>> resource =
      findVersionResource(read, static_cast<uint64_t>(c.sourceSize(*file)));
  c.closeSource(file);
  if (!resource) return std::nullopt;
  std::optional<VersionInfo> info = VersionInfo::parse(*resource);
  if (!info) return std::nullopt;
  for (const char* query : kVersionQueries)
    if (auto text = info->queryText(query)) return text;
  return std::nullopt;
}

std::string sourcePath(const Engine& engine, const FileEntry& entry,
                       const std::optional<std::string>& name) {
  std::string path;
  if (entry.hasSource && entry.sourceKind == 2) {
    path = entry.sourceDir;
    // The leading expansion, not the one for stored texts: a folder may begin with $LEFT$ or
    // $RIGHT$, the texts of the last successful search, which only the leading one knows.
    if (!path.empty() && path[0] == '$') expandLeadingMacro(engine.macros, path);
    path = withTrailingBackslash(path);
    if (path.empty()) path = "\\";
  } else if (entry.hasSource && entry.sourceKind == 1) {
    path = engine.macros.sourceDir.substr(0, 2) + entry.sourceDir + "\\";
  } else {
    path = engine.macros.sourceDir;
    if (entry.hasSource) path += entry.sourceDir;
    if (!name) return path;
    if (path.empty() || path.back() != '\\') path += '\\';
  }
  if (name) path += *name;
  return path;
}

int copyFile(Engine& engine, const std::string& target, const std::string& source,
             Overwrite overwrite, uint32_t attributes, std::unique_ptr<SourceFile> opened) {
  FileSystem& fs = engine.sys;
  Container& container = engine.container;
  if (engine.packages && !opened) {
    int result = engine.packages->extract(target, source, overwrite, attributes);
    if (result == 0) return 0;
    if (result == -1) return 1;
  }

  std::unique_ptr<SourceFile> in = opened ? std::move(opened) : container.openSource(source);
  if (!in) return fail(engine, engine.state.settings.prompts.fileReadError + source);
  FatTime sourceTime{static_cast<uint16_t>(in->date), static_cast<uint16_t>(in->time)};

  bool replace = true;
  if (overwrite != Overwrite::Yes) {
    if (ScopedFile::openRead(fs, target)) {
      switch (overwrite) {
        case Overwrite::No:
          replace = false;
          break;
        case Overwrite::Ask:
          replace = confirmOverwrite(engine, target);
          break;
        case Overwrite::New:
          replace = decideNew(engine, target, source, sourceTime) == Decision::Replace;
          break;
        case Overwrite::Yes:
          break;
      }
      if (!replace) {
        countSkippedBytes(engine, container.sourceSize(*in));
        engine.ui.trace("skipped " + target);
        container.closeSource(in);
        return 0;
      }
    }
  }
  // One look at the target serves both: only an existing file is kept for the uninstaller, and
  // a read-only or hidden one would refuse to be created over. A look for a name that is not
  // there costs Windows a search of the whole folder when it ignores case, so it is not repeated.
  const bool existed = fs.attributes(target).has_value();
  if (existed) {
    keepReplacedFile(engine, target);
    fs.setAttributes(target, kAttrNormal);
  }
  ScopedFile out = ScopedFile::create(fs, target);
  if (!out) {
    container.closeSource(in);
    return fail(engine, engine.state.settings.prompts.fileCreateError + target);
  }

  engine.copyFileMessage(target);
  std::vector<char> buffer(kCopyBlock);
  bool readError = false, writeError = false;
  for (;;) {
    int32_t got = container.readSource(*in, buffer.data(), kCopyBlock);
    if (got < 0) {
      readError = true;
      break;
    }
    if (got > 0 && fs.write(out.get(), buffer.data(), static_cast<uint32_t>(got)) != got) {
      writeError = true;
      break;
    }
    engine.addProgress(got);
    if (static_cast<uint32_t>(got) < kCopyBlock) break;
  }
  if (engine.byteProgress()) engine.progressMessage(0);
  // The source's time goes on through the handle still open, not a second open of the file.
  if (!readError && !writeError) fs.setFileTime(out.get(), sourceTime);
  out.close();  // now, since the log reads the file back for its digest
  container.closeSource(in);
  // Even a broken copy has changed the disk: the uninstaller must know the file.
  logWrittenFile(engine, target, existed);
  if (readError || writeError) engine.state.engine.brokenFiles.push_back(target);
  if (readError) return fail(engine, engine.state.settings.prompts.diskReadError);
  if (writeError) return fail(engine, engine.state.settings.prompts.diskWriteError);
  fs.setAttributes(target, attributes);
  engine.ui.trace("wrote " + target);
  return 0;
}

int copyEntry(Engine& engine, FileEntry& entry) {
  FileSystem& fs = engine.sys;
  // Expanded here only: a second expansion would read an answer's "$" as a macro of its own.
  expandMacros(engine.macros, entry.name);
  engine.copyFileMessage(entry.name);
  std::string dirPart, namePart;
  size_t slash = entry.name.rfind('\\');
  if (slash == std::string::npos) {
    namePart = entry.name;
  } else {
    dirPart = entry.name.substr(0, slash + 1);
    namePart = entry.name.substr(slash + 1);
  }
  if (!engine.continuationName.empty() && equalsNoCase(engine.continuationName, namePart)) return 0;

  const std::string& destination = engine.destination();
  std::string targetDir = destination;
  bool absolute = !dirPart.empty() && (dirPart[0] == '\\' || hasDrive(dirPart));
  if (!dirPart.empty()) {
    if (absolute) {
      targetDir = dirPart;
      bool root = targetDir == "\\" || (targetDir.size() == 3 && targetDir[1] == ':');
      if (!root) targetDir.pop_back();
    } else {
      targetDir = destination + "\\" + dirPart.substr(0, dirPart.size() - 1);
    }
    // Every FILE of a folder names it again: one that is there already needs no walk down its
    // levels, each a change of the current directory. The walk's own changes of the current
    // drive and directory are made again just below.
    std::optional<uint32_t> there = destination.empty() ? std::nullopt : fs.attributes(targetDir);
    if (!(there && (*there & kAttrDirectory)) &&
        createDirectories(engine, targetDir, absolute ? std::string() : destination) != 0)
      return 1;
  }
  if (!destination.empty()) {
    engine.currentDrive = toUpperAscii(destination[0]) - 'A' + 1;
    if (!equalsNoCase(fs.currentDirectory(), destination)) fs.setCurrentDirectory(destination);
  }

  // A relative directory part is read from the same sub-folder of the source; an absolute one
  // names only where the file goes.
  std::string sourceName = absolute ? namePart : entry.name;
  std::string source = sourcePath(engine, entry, sourceName);
  std::string sourceDir = directoryPart(source);

  struct Match {
    std::string name;
    std::string source;
  };
  std::vector<Match> matches;
  // The source named without wildcards, found open: it stays open for its copy unless it is a
  // package, so a plain file is opened once, not once for each question asked of it.
  std::unique_ptr<SourceFile> found;
  for (;;) {
    matches.clear();
    found = engine.container.openSource(source);
    if (found) {
      matches.push_back({namePart, source});
      if (entry.compression != Compression::None || beginsPackage(engine.container, *found))
        engine.container.closeSource(found);
      break;
    }
    std::vector<FindEntry> entries = fs.find(source);
    for (const FindEntry& e : entries)
      if (!(e.attributes & kAttrDirectory)) matches.push_back({e.name, sourceDir + e.name});
    // Something was found, if only a directory: that copies nothing, and is no missing file.
    if (!entries.empty()) break;
    if (engine.currentDiskEntry == -1) {
      engine.warn(engine.state.settings.prompts.fileNotFound + source + ". ", true);
      return 1;
    }
    if (engine.insertDiskRequest(false, &namePart) != 0) return 1;
  }

  std::optional<Match> continued;
  std::string targetBase = withTrailingBackslash(targetDir);
  for (const Match& m : matches) {
    if (entry.compression != Compression::None) {
      if (engine.packages) engine.packages->unpackExternally(entry, m.source, targetBase);
    } else if (found) {
      if (copyFile(engine, targetBase + m.name, m.source, entry.overwrite, entry.attributes,
                   std::move(found)))
        return 1;
    } else if (!continued && engine.packages &&
               engine.packages->continuesOnAnotherVolume(m.source)) {
      continued = m;
      if (engine.pumpMessages()) return 1;
      continue;
    } else if (copyFile(engine, targetBase + m.name, m.source, entry.overwrite, entry.attributes)) {
      return 1;
    }
    engine.progressMessage(0);
    if (engine.pumpMessages()) return 1;
  }
  if (continued) {
    if (copyFile(engine, targetBase + continued->name, continued->source, entry.overwrite,
                 entry.attributes))
      return 1;
    engine.progressMessage(0);
  }
  return 0;
}

}  // namespace qm
