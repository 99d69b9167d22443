// A short tour of the containers, as a host program would use them.
#pragma once

#include <ostream>

#include "standin/host/Host.h"

void RunContainerTour(standin::Host& host, std::ostream& out);
