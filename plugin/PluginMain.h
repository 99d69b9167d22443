// Process-wide state of the plug-in frame, set once when the host loads the
// library, and the choice of class-record layout made from the host version.
#pragma once

#include <cstdint>

#include "plugin/host/HostTypes.h"

namespace kdt {

// The resolver handed to REALPluginMain (null before it runs).
extern HostResolverFunction HostResolver;
// What the host's "REALGetRBVersion" returned; 0.0 when it has no such entry.
extern double HostVersion;
// Layout of the class records handed to the host: 9, 10, 11, 12 or 13.
extern int32_t ClassRecordVersion;

// Hosts from this version on know the Text type; the Text classes are
// registered only there.
constexpr double kTextClassesHostVersion = 2015.0;

// The record version a host of `hostVersion` reads (a NaN counts as oldest).
int32_t ChooseClassRecordVersion(double hostVersion);

}  // namespace kdt
