// Dialog controls held in memory: what the unattended view and the tests run controllers against.
#pragma once

#include <map>
#include <string>

#include "ui/ui.h"

namespace qm {

class MemoryControls : public DialogControls {
 public:
  void setText(int id, const std::string& text) override { texts_[id] = text; }
  std::string text(int id, size_t maxChars) override {
    auto it = texts_.find(id);
    if (it == texts_.end()) return {};
    return it->second.substr(0, maxChars);
  }
  void setChecked(int id, bool checked) override { checks_[id] = checked; }
  bool checked(int id) override {
    auto it = checks_.find(id);
    return it != checks_.end() && it->second;
  }
  bool hasText(int id) const { return texts_.count(id) != 0; }

 private:
  std::map<int, std::string> texts_;
  std::map<int, bool> checks_;
};

}  // namespace qm
