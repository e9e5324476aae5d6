// Built-in machine profiles: ready-made simulated machines (a folder each: machine.ini, drive C:,
// registry.reg, groups.ini, profile.ini) that a distribution is run on without writing a machine
// file. Profiles are data: a new folder is a new profile, nothing is compiled.
#pragma once

#include <string>
#include <vector>

namespace qm::pack {

struct MachineProfile {
  std::string name;      // the folder's name: win31, nt40 ...
  std::string folder;    // host path of the profile's folder
  std::string title;     // "Windows NT 4.0"
  std::string summary;   // processor, memory, display, shell ...
  std::string wine;      // the Wine version reporting the same version word ("nt40")
  std::string fileTime;  // "YYYY-MM-DD HH:MM": the time every file of drive C: carries
};

// The folder of the profiles: $QUILLPACK_PROFILES, else "profiles" beside the running program,
// in its ../share/quillmount/profiles, or in the source tree it was built from. Empty, with the places
// tried in error, when none exists.
std::string findProfilesFolder(std::string& error);

// Every profile of the folder, in name order. A profile whose profile.ini is missing or
// unreadable is an error naming it.
std::vector<MachineProfile> readProfiles(const std::string& folder, std::string& error);

// The distribution's disks as the machine gets them.
struct DistributionMedia {
  std::vector<std::string> disks;  // host folders, disk 1 first
  bool cd = false;                 // on a CD drive D: instead of the floppy drive A:
};

// Lays a run's machine out in target (made, or an empty folder): a copy of the profile with
// every file of drive C: at the profile's time, the disks copied with their own times, and the
// machine file with the drive that holds them. Returns the machine file's path, or empty with
// the reason in error.
std::string layOutProfileMachine(const MachineProfile& profile, const DistributionMedia& media,
                                 const std::string& target, std::string& error);

// The installer's Windows path on that machine: PROGRAM on the first disk's drive (A:\ or D:\).
std::string distributionProgram(const DistributionMedia& media, const std::string& program);

// A fresh empty folder under the system's temporary folder, named after prefix.
std::string makeScratchFolder(const std::string& prefix, std::string& error);

}  // namespace qm::pack
