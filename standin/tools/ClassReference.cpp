// Prints the classes the plug-in registers with a current host, in the form
// kept in docs/class-reference.txt.
#include <iostream>

#include "standin/host/Host.h"

int main() {
  standin::Host host(standin::Options::Loaded(2019.0));
  host.PrintClassReference(std::cout);
  return host.Finish().empty() ? 0 : 1;
}
