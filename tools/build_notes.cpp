#include "tools/build_notes.h"

#include <cstdio>
#include <filesystem>

#include "base/text.h"

namespace qm::pack {

namespace {

bool isScriptName(const std::string& name) {
  return name.size() > 4 && equalsNoCase(name.substr(name.size() - 4), ".cfg");
}

}  // namespace

std::vector<std::string> buildNotes(const std::vector<PackItem>& items,
                                    const std::string& outPath) {
  std::vector<std::string> notes;
  std::vector<const PackItem*> kept;
  for (const PackItem& item : items) {
    const PackItem* first = nullptr;
    for (const PackItem* k : kept)
      if (equalsNoCase(k->name, item.name)) first = k;
    if (first) {
      notes.push_back("quillpack build: skipped " + item.hostPath + ": the name " + item.name +
                      " is already packed from " + first->hostPath +
                      " (the first file given wins; --name NAME FILE packs it under another "
                      "name)");
      continue;
    }
    kept.push_back(&item);
  }

  // The installer reads the script named like its own program file, with "cfg".
  namespace fs = std::filesystem;
  const std::string program = fs::path(outPath).filename().string();
  const std::string wanted = fs::path(outPath).stem().string() + ".cfg";
  std::vector<std::string> scripts;
  for (const PackItem* k : kept)
    if (isScriptName(k->name)) scripts.push_back(k->name);
  bool matched = false;
  for (const std::string& s : scripts) matched = matched || equalsNoCase(s, wanted);
  if (scripts.empty()) {
    notes.push_back("quillpack build: warning: no script (.cfg) is packed; " + program +
                    " will look for " + wanted + " beside itself on the disk");
  } else if (!matched) {
    notes.push_back("quillpack build: warning: " + program + " reads " + wanted +
                    ", but the packed script is " + scripts.front() +
                    "; name the output after the script, or pack it with --name " + wanted + " " +
                    scripts.front());
  }
  return notes;
}

void reportSkippedAndScript(const std::vector<PackItem>& items, const std::string& outPath) {
  for (const std::string& note : buildNotes(items, outPath))
    std::fprintf(stderr, "%s\n", note.c_str());
}

}  // namespace qm::pack
