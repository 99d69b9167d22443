// Reporting misuse to the calling host program as host exceptions.
//
// Raising does not unwind: the raise functions return, the method then
// returns its neutral value, and the host delivers the exception to the
// program afterwards.  Every exception carries "ErrorNumber" 0 and a UTF-8
// "Message".
#pragma once

#include <cstdint>

#include "plugin/host/HostTypes.h"

namespace kdt {

// Host exception classes the library raises.
inline constexpr char kNilObjectException[] = "NilObjectException";
inline constexpr char kKeyNotFoundException[] = "KeyNotFoundException";
inline constexpr char kOutOfBoundsException[] = "OutOfBoundsException";
inline constexpr char kOutOfMemoryException[] = "OutOfMemoryException";
inline constexpr char kIllegalCastException[] = "IllegalCastException";
inline constexpr char kRuntimeException[] = "RuntimeException";

// Raises an instance of `className` (a "RuntimeException" when the host cannot
// make one) with `message` as UTF-8 text; a null or empty message leaves
// "Message" nil.
void RaiseHostException(const char* className, const char* message);

// The same with a message that is already a host string (nil allowed; it
// stays borrowed).
void RaiseHostExceptionObject(const char* className, REALstring message);

// Raises "OutOfBoundsException" for `value` outside lowest .. limit - 1, e.g.
// "Parameter index  is too big. Range is 0 to 4, but value is 7." (the second
// word is "to method <name>" when `methodName` is not empty).  Null names
// read as "?" and "".
void RaiseRangeException(int64_t value, int64_t lowest, int64_t limit, const char* parameterName,
                         const char* methodName);

// A new host string of `length` bytes in `encoding` (one reference, owned by
// the caller), or nil for null bytes or a length outside 1 .. 0x7FFFFFFF.
// Text declared Mac Roman, ISO Latin 1, Windows Latin 1 or unspecified that
// holds only bytes below 0x80 is marked ASCII.
REALstring BuildHostString(const void* bytes, int64_t length, uint32_t encoding);

// Messages of the ladder rows that do not use the exception's own text.
inline constexpr char kOutOfMemoryMessage[] = "Failed to allocate memory.";
inline constexpr char kUnnamedExceptionMessage[] = "Sorry, but there was an unnamed C++ Exception.";

// From inside a handler: raises the host exception for the exception being
// handled, through the ladder: its rows are tried in order and the first kind
// that matches decides, so a length error (a logic error) lands on the
// logic-error row.  It raises while the caught exception is alive.  Every
// registered function runs under one handler that calls this.
void RaiseCurrentException() noexcept;

}  // namespace kdt
