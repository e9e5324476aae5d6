#include "platform/sim/sim_confinement.h"

#include <system_error>

namespace qm {

namespace fs = std::filesystem;

bool hostPathWithin(const fs::path& inner, const fs::path& outer) {
  auto i = inner.begin();
  for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
    if (o->empty() && std::next(o) == outer.end()) break;  // a trailing separator
    if (i == inner.end() || *i != *o) return false;
  }
  return true;
}

bool hostFolderInside(const fs::path& folder, const fs::path& outer) {
  std::error_code ec;
  fs::path realFolder = fs::canonical(folder, ec);
  if (ec) return false;
  fs::path realOuter = fs::canonical(outer, ec);
  return !ec && hostPathWithin(realFolder, realOuter);
}

bool isHostLink(const fs::path& entry) {
  std::error_code ec;
  return fs::is_symlink(fs::symlink_status(entry, ec));
}

bool hostEntryStaysInside(const fs::path& entry, const fs::path& realRoot) {
  if (!isHostLink(entry)) return true;
  std::error_code ec;
  fs::path target = fs::canonical(entry, ec);
  return !ec && hostPathWithin(target, realRoot);
}

}  // namespace qm
