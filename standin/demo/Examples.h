// The user guide's examples, run as a host program runs them.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "standin/host/Host.h"

struct GuideExample {
  std::string name;                // its output marker in the guide
  std::vector<std::string> lines;  // what it printed
  std::set<std::string> called;    // the members it called, as "Class.Member"
};

// Every example, in the guide's order.  Objects made live until the host
// finishes.
std::vector<GuideExample> RunGuideExamples(standin::Host& host);
