// Asking for installation disks: the disk prompt with its label check, and the view of the file
// list that the engine's insert-disk request (message 1026) walks to the next disk entry.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "platform/system.h"
#include "ui/dialog_texts.h"
#include "ui/ui.h"

namespace qm {

// What an INSERTDISK entry tells the prompt.
struct DiskEntry {
  std::string description;  // the disk name
  std::string label;        // expected volume label (kind 2)
  int kind = 1;             // 0 no prompt, 1 prompt only, 2 prompt and label check
};

// Results of promptForDisk and the engine's insert-disk request.
constexpr int kDiskReady = 0;   // the right disk is in
constexpr int kDiskQuit = 1;    // the user chose to quit
constexpr int kDiskNone = -1;   // no disk entry to ask for (asked with the default name)
constexpr int kDiskFailed = 3;  // unattended and unanswerable: the run ends with code 3

// The message the prompt shows.
std::string diskMessage(const DialogTexts& texts, const DiskEntry* entry,
                        const std::string* fileName);

// Beeps, then asks for the disk until it is in (kind 2: its label matches, any case) or the
// user confirms quitting. entry null or kind 0: asked with the default name, result -1 when
// confirmed. sourceDir: $SOURCEDIR$, whose drive root is checked.
int promptForDisk(Ui& ui, FileSystem& fs, const DialogTexts& texts, const DiskEntry* entry,
                  const std::string* fileName, const std::string& sourceDir);

// What tells one medium from another in a drive: its volume label and the names, sizes and
// times of its root's entries ("" for an empty drive without a label).
std::string mediumIdentity(FileSystem& fs, const std::string& root);

// The disk changer of a real machine under Disks=Wait: a person (or a machine) swaps the disk
// when asked, and the program notices the new medium instead of a button press.
class MediumWatch {
 public:
  // pause: waits one poll interval; polls: how many to wait for another medium at most.
  MediumWatch(FileSystem& fs, std::function<void()> pause, int polls)
      : fs_(fs), pause_(std::move(pause)), polls_(polls) {}
  // Notes the medium now in the drive of root (called as the disk is asked for).
  void asked(const std::string& root) { noted_[root] = mediumIdentity(fs_, root); }
  // Waits until the drive holds a medium other than the one noted, then one poll more for the
  // drive to settle; false when none came within the polls.
  bool waitForOther(const std::string& root);

 private:
  FileSystem& fs_;
  std::function<void()> pause_;
  int polls_;
  std::map<std::string, std::string> noted_;
};

// The file list as Engine::insertDiskRequest sees it; the engine implements it over its list.
class DiskListView {
 public:
  virtual ~DiskListView() = default;
  virtual int size() const = 0;
  // The disk entry at a position, or null for a FILE entry.
  virtual const DiskEntry* diskAt(int position) const = 0;
  virtual int position() const = 0;
  virtual void setPosition(int position) = 0;
  virtual int currentDisk() const = 0;
  virtual void setCurrentDisk(int position) = 0;
};

}  // namespace qm
