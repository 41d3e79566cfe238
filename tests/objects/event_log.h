// Records the events of a tree as short texts, for tests that check which
// events fire and in what order:
//   +X  created        X.v=t  value set      X.k->Y  link set
//   -X  deleted        -X.v   value removed  -X.k->  link removed
//   X.k-/>  link cleared (the link stays)
#pragma once

#include "objects/tree.h"

#include <string>
#include <vector>

class EventLog {
 public:
  explicit EventLog(TAE_Root& root) { root.AddHandler(&TAE_BoundMethod<EventLog, &EventLog::On>, this); }

  std::vector<std::string> Take() { return std::exchange(lines_, {}); }

 private:
  void On(TAE_Event& e) {
    std::string line = e.deleted ? "-" : "";
    line += e.object->name;
    if (e.value != nullptr) {
      line += "." + e.value->name + (e.deleted ? "" : "=" + e.value->value);
    } else if (e.key != nullptr) {
      if (e.linkStays) {
        line = e.object->name + "." + e.key->name + "-/>";
      } else {
        line += "." + e.key->name + "->" + (e.deleted ? "" : e.key->targetName);
      }
    } else if (!e.deleted) {
      line = "+" + line;
    }
    lines_.push_back(line);
  }

  std::vector<std::string> lines_;
};
