// The user guide's examples, run as a host program runs them.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "standin/host/Host.h"

// Each example's name (its output marker in the guide) and the lines it
// printed, in the guide's order.  Objects made live until the host finishes.
std::vector<std::pair<std::string, std::vector<std::string>>> RunGuideExamples(standin::Host& host);
