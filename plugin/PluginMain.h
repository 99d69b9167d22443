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

// Host generations: what the version the host gave says it offers.  Each
// test is "at least", so a host without a version (0.0) or with a NaN is of
// the oldest generation.
inline constexpr double kHostGeneration2008 = 2008.0;
inline constexpr double kHostGeneration2012 = 2012.0;
inline constexpr double kHostGeneration2015 = 2015.0;
inline constexpr double kHostGeneration2017 = 2017.0;
// Array objects keep their element storage address in word 7, not word 2.
inline bool HostArraysKeepStorageInWord7() {
  return HostVersion >= kHostGeneration2008;
}
// Strings are read as UTF-8 or UTF-16 through "PluginGetStringData",
// "RuntimeStringCompare" orders them without case, class records are of
// version 10 at least.
inline bool HostHasStringData() {
  return HostVersion >= kHostGeneration2012;
}
// The Text type is known, so the Text classes are registered.
inline bool HostHasText() {
  return HostVersion >= kHostGeneration2015;
}
// Nothing the host stores is read in place any more: strings through its
// data entries only, arrays through its accessors only.
inline bool HostHidesStorage() {
  return HostVersion >= kHostGeneration2017;
}
// Whether a string's own bytes are its UTF-8: on hosts that let them be
// read in place, when they are marked ASCII or UTF-8.
inline bool OwnBytesAreUTF8(uint32_t encoding) {
  return !HostHidesStorage() && (encoding == kEncodingASCII || encoding == kEncodingUTF8);
}

// The record version a host of `hostVersion` reads (a NaN counts as oldest).
int32_t ChooseClassRecordVersion(double hostVersion);

}  // namespace kdt
