#include "engine/package.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/text.h"
#include "engine/explode.h"
#include "engine/external_unpack.h"
#include "engine/file_ops.h"
#include "engine/replaced_files.h"
#include "ui/dialog_answers.h"

namespace qm {
namespace {

uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t get32(const uint8_t* p) { return get16(p) | uint32_t(get16(p + 2)) << 16; }

std::string fixedText(const uint8_t* p, size_t size) {
  size_t n = 0;
  while (n < size && p[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(p), n);
}

// A disk prompt answered "in place" while the volume still cannot be opened is asked again;
// as many asks as an unattended run allows end the extraction instead of looping forever.
constexpr int kMaxDiskAttempts = DialogAnswers::kMaxDiskRepeats;

}  // namespace

PackageHeader decodePackageHeader(const uint8_t (&b)[kPackageHeaderSize]) {
  PackageHeader h;
  h.nextVolume = fixedText(b + kPackageNextNameOffset, kPackageNextNameSize);
  h.marker = get16(b + kPackageMarkerOffset);
  h.entryCount = static_cast<int16_t>(get16(b + kPackageCountOffset));
  h.volumeMarker = get16(b + kPackageVolumeMarkerOffset);
  return h;
}

PackageEntry decodePackageEntry(const uint8_t (&b)[kPackageEntrySize]) {
  PackageEntry e;
  e.name = fixedText(b, kPackageNameFieldSize);
  e.packedSize = get32(b + kPackagePackedSizeOffset);
  e.time.date = static_cast<uint16_t>(get32(b + kPackageDateOffset));
  e.time.time = static_cast<uint16_t>(get32(b + kPackageTimeOffset));
  return e;
}

bool isSafeEntryName(const std::string& name) {
  if (name.empty() || name[0] == '\\' || name[0] == '/') return false;
  if (name.find(':') != std::string::npos) return false;
  size_t start = 0;
  for (;;) {
    const size_t end = name.find_first_of("\\/", start);
    const std::string_view part =
        std::string_view(name).substr(start, end == std::string::npos ? end : end - start);
    // Windows drops trailing dots and blanks, so ". ." and "..." name the parent as well.
    if (!part.empty() && part.find_first_not_of(". ") == std::string_view::npos &&
        part.find("..") != std::string_view::npos)
      return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

int32_t PackageExtractor::readVolume(uint8_t* buffer, uint32_t count) {
  // The reader may hand a read over in pieces; collect until count or the end of the volume.
  uint32_t done = 0;
  while (done < count) {
    int32_t n = engine_.container.readSource(*volume_, buffer + done, count - done);
    if (n < 0) return done > 0 ? static_cast<int32_t>(done) : -1;
    if (n == 0) break;
    done += static_cast<uint32_t>(n);
  }
  return static_cast<int32_t>(done);
}

void PackageExtractor::closeVolume() { engine_.container.closeSource(volume_); }

bool PackageExtractor::continuesOnAnotherVolume(const std::string& source) {
  volume_ = engine_.container.openSource(source);
  if (!volume_) return false;
  uint8_t bytes[kPackageHeaderSize];
  const bool whole = readVolume(bytes, kPackageHeaderSize) == kPackageHeaderSize;
  closeVolume();
  if (!whole) return false;
  const PackageHeader h = decodePackageHeader(bytes);
  return h.isFirstVolume() && !h.nextVolume.empty();
}

void PackageExtractor::unpackExternally(const FileEntry& entry, const std::string& source,
                                        const std::string& targetDir) {
  qm::unpackExternally(engine_.sys, engine_.state.engine.compressionKind, entry, source, targetDir);
}

int PackageExtractor::extract(const std::string& target, const std::string& source,
                              Overwrite overwrite, uint32_t attributes) {
  ioError_ = false;
  volume_ = engine_.container.openSource(source);
  if (!volume_) return -2;
  volumePath_ = source;
  packageDir_ = directoryPart(source);
  targetDir_ = directoryPart(target);
  uint8_t bytes[kPackageHeaderSize];
  if (readVolume(bytes, kPackageHeaderSize) != kPackageHeaderSize) {
    closeVolume();
    return -2;
  }
  header_ = decodePackageHeader(bytes);
  if (!header_.isFirstVolume()) {
    closeVolume();
    return -2;
  }
  const int result = expandEntries(overwrite, attributes);
  closeVolume();
  return result;
}

int PackageExtractor::expandEntries(Overwrite overwrite, uint32_t attributes) {
  const Prompts& prompts = engine_.state.settings.prompts;
  FileSystem& fs = engine_.sys;
  int remaining = header_.entryCount;
  // The large work area: 64 KB reads from the volume and 64 KB writes to the target, where 2 and
  // 4 KB pieces cost a system call each.
  std::unique_ptr<uint8_t[]> work(new (std::nothrow) uint8_t[kExplodeLargeWorkSize]);
  if (!work) {
    engine_.warn(prompts.decompressionMemory, true, "");
    return -1;
  }
  work_ = work.get();
  for (;;) {
    if (engine_.pumpMessages()) return -1;
    uint8_t record[kPackageEntrySize];
    int32_t got = readVolume(record, kPackageEntrySize);
    if (got != static_cast<int32_t>(kPackageEntrySize)) {
      if (remaining == 0) return 0;
      if (header_.nextVolume.empty()) {
        engine_.warn(prompts.fileReadError + volumePath_, true, "");
        return -1;
      }
      if (!switchVolume()) return -1;
      if (readVolume(record, kPackageEntrySize) != static_cast<int32_t>(kPackageEntrySize)) {
        engine_.warn(prompts.fileReadError + volumePath_, true, "");
        return -1;
      }
    }
    --remaining;
    const PackageEntry entry = decodePackageEntry(record);
    if (!isSafeEntryName(entry.name)) {
      engine_.warn(prompts.badCompressedFile + entry.name, true, "");
      return -1;
    }
    const std::string target = targetDir_ + entry.name;
    if (entry.name.find('\\') != std::string::npos) {
      std::string dir = directoryPart(target);
      if (!dir.empty() && dir.back() == '\\') dir.pop_back();
      createPath(engine_, dir);
    }
    const FatTime targetTime = readFileTime(fs, target);

    bool replace = true;
    if (overwrite == Overwrite::Yes) {
      keepReplacedFile(engine_, target);
      if (fs.attributes(target)) fs.setAttributes(target, kAttrNormal);
    } else {
      ScopedFile existing = ScopedFile::openRead(fs, target);
      if (existing) {
        switch (overwrite) {
          case Overwrite::No:
            replace = false;
            break;
          case Overwrite::Ask:
            replace = confirmOverwrite(engine_, target);
            break;
          case Overwrite::New:
            replace = entry.time > targetTime;
            break;
          case Overwrite::Yes:
            break;
        }
        if (!replace) {
          if (engine_.byteProgress())
            countSkippedBytes(engine_, std::max<int64_t>(fs.fileSize(existing.get()), 0));
          engine_.ui.trace("skipped " + target);
          if (!skipData(entry)) return -1;
          continue;
        }
        existing.close();  // before the file is copied aside and its attributes cleared
        keepReplacedFile(engine_, target);
        fs.setAttributes(target, kAttrNormal);
      }
    }
    if (!expandEntry(entry, target, attributes)) return -1;
  }
}

bool PackageExtractor::expandEntry(const PackageEntry& entry, const std::string& target,
                                   uint32_t attributes) {
  const Prompts& prompts = engine_.state.settings.prompts;
  FileSystem& fs = engine_.sys;
  const bool replacing = fs.attributes(target).has_value();
  target_ = ScopedFile::create(fs, target);
  if (!target_) {
    engine_.warn(prompts.fileCreateError + target, true, "");
    return false;
  }
  consumed_ = 0;
  packedSize_ = entry.packedSize;
  engine_.copyFileMessage(target);
  engine_.progressMessage(0);
  if (entry.packedSize != 0) {
    engine_.lastRefresh = engine_.progressCounter;
    const int result = explodeLarge(readPacked, writeUnpacked, work_, this);
    if (result != kExplodeOk || ioError_) {
      target_.close();  // an open file cannot be deleted
      // A new file cut short is no installed file: it goes, and the log never names it. One
      // that replaced a file stays logged, so the uninstaller puts the kept original back; it
      // is broken on the disk, so the uninstaller copy at the finish must know it too.
      if (!replacing && fs.deleteFile(target)) {
        engine_.ui.trace("removed the unfinished " + target);
      } else {
        logWrittenFile(engine_, target, replacing);
        engine_.state.engine.brokenFiles.push_back(target);
        engine_.ui.trace("failed " + target);
      }
      return false;
    }
  }
  if (engine_.byteProgress()) engine_.progressMessage(0);
  target_.close();  // before the time is set through a handle of its own
  setFileTime(fs, target, entry.time);
  fs.setAttributes(target, attributes);
  logWrittenFile(engine_, target, replacing);
  engine_.ui.trace("wrote " + target);
  return true;
}

uint32_t PackageExtractor::readPacked(uint8_t* buffer, uint32_t count, void* self) {
  auto& x = *static_cast<PackageExtractor*>(self);
  const Prompts& prompts = x.engine_.state.settings.prompts;
  uint32_t n = std::min(count, x.packedSize_ - x.consumed_);
  if (n == 0) return 0;
  int32_t got = x.readVolume(buffer, n);
  if (got < 0) {
    x.engine_.warn(prompts.diskReadError, true, "");
    x.ioError_ = true;
    return 0;
  }
  // Data runs on after the next volume's header, over as many volumes as it takes.
  while (static_cast<uint32_t>(got) < n && !x.header_.nextVolume.empty()) {
    if (!x.switchVolume()) {
      x.ioError_ = true;
      return 0;
    }
    int32_t more = x.readVolume(buffer + got, n - static_cast<uint32_t>(got));
    if (more <= 0) {
      x.engine_.warn(prompts.diskReadError, true, "");
      x.ioError_ = true;
      return 0;
    }
    got += more;
  }
  x.consumed_ += static_cast<uint32_t>(got);
  return static_cast<uint32_t>(got);
}

void PackageExtractor::writeUnpacked(const uint8_t* buffer, uint32_t count, void* self) {
  auto& x = *static_cast<PackageExtractor*>(self);
  if (x.ioError_) return;
  const int32_t written = x.engine_.sys.files().write(x.target_.get(), buffer, count);
  x.engine_.addProgress(std::max<int32_t>(written, 0));
  // A short write loses the rest of the block just as surely as a failed one.
  if (written < 0 || static_cast<uint32_t>(written) != count) {
    x.engine_.warn(x.engine_.state.settings.prompts.diskWriteError, true, "");
    x.ioError_ = true;
  }
}

bool PackageExtractor::skipData(const PackageEntry& entry) {
  Container& c = engine_.container;
  engine_.copyFileMessage(entry.name);
  engine_.progressMessage(0);
  int64_t left = entry.packedSize;
  for (;;) {
    const int64_t position = c.tellSource(*volume_);
    const int64_t here = position < 0 ? 0 : std::max<int64_t>(c.sourceSize(*volume_) - position, 0);
    if (here >= left) {
      if (engine_.byteProgress()) engine_.progressMessage(0);
      c.seekSource(*volume_, left, 1);
      return true;
    }
    left -= here;
    if (header_.nextVolume.empty()) {
      engine_.warn(engine_.state.settings.prompts.fileReadError + volumePath_, true, "");
      return false;
    }
    if (!switchVolume()) return false;
  }
}

bool PackageExtractor::switchVolume() {
  closeVolume();
  const std::string path = packageDir_ + header_.nextVolume;
  engine_.continuationName = header_.nextVolume;
  if (engine_.pumpMessages()) return false;
  // After the first ask the prompt names the volume still missing, so the user (and an
  // unattended run, which then knows the disk said to be in did not hold it) learns what is
  // needed; when the asks run out the user is told which file was never found.
  for (int attempt = 0; !volume_; ++attempt) {
    const std::string* missing = attempt == 0 ? nullptr : &header_.nextVolume;
    const bool exhausted = attempt == kMaxDiskAttempts;
    if (exhausted || engine_.insertDiskRequest(attempt == 0, missing) != 0) {
      if (exhausted || engine_.unanswerable)
        engine_.warn(engine_.state.settings.prompts.fileNotFound + path + ". ", true, "");
      return false;
    }
    volume_ = engine_.container.openSource(path);
  }
  volumePath_ = path;
  engine_.progressMessage(0);
  uint8_t bytes[kPackageHeaderSize];
  if (readVolume(bytes, kPackageHeaderSize) == kPackageHeaderSize) {
    PackageHeader next = decodePackageHeader(bytes);
    if (next.isContinuation()) {
      header_ = next;
      return true;
    }
  }
  engine_.warn(engine_.state.settings.prompts.badCompressedFile + path, true, "");
  closeVolume();
  return false;
}

}  // namespace qm
