// Keeps the simulated machine inside its folder on the host. A link inside a drive's folder is
// followed only while it leads to a place inside that drive's folder; one that leads out, or
// nowhere, makes the path unusable, so nothing the installer does can read or write outside.
#pragma once

#include <filesystem>

namespace qm {

// True when inner is outer or lies below it, comparing the paths part by part as they are given.
bool hostPathWithin(const std::filesystem::path& inner, const std::filesystem::path& outer);

// True when folder, with every link on its way followed, lies inside outer (resolved alike).
bool hostFolderInside(const std::filesystem::path& folder, const std::filesystem::path& outer);

// For an entry whose folder is already known to lie inside realRoot (a resolved path): true
// when the entry is no link, or a link that leads to a place inside realRoot.
bool hostEntryStaysInside(const std::filesystem::path& entry,
                          const std::filesystem::path& realRoot);

// True when the entry itself is a link (not followed).
bool isHostLink(const std::filesystem::path& entry);

}  // namespace qm
