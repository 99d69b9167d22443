// Builds the class records of the members from declarative tables.
//
// A shape lists its properties and methods once, with declaration patterns in
// which {C} stands for the class name, {I} for its iterator class, {K} for the
// key (or element) type word and {V} for the value type word.  Each member
// class then gets its own record with the words of its row substituted, so a
// wrong type word is a one-line fix in the member table.  A row may hold for
// some members only (When), and the storage's own rows go where the shape's
// table puts the kStorageRows marker.
//
// Every function a row hands to the host runs under GuardedCall: no C++
// exception ever unwinds into the host.
#pragma once

#include <cstdint>
#include <type_traits>
#include <vector>

#include "errors/Exceptions.h"
#include "plugin/host/HostTypes.h"

namespace kdt {

struct TypeWords {
  const char* className;
  const char* iteratorName;
  const char* keyWord;
  const char* valueWord;
};

struct PropertySpec {
  const char* name;
  const char* type;
  HostFunction getter;            // StandardGetter() for the host-read byte
  uint32_t standardGetterOffset;  // offset of that byte in the instance data
};

struct MethodSpec {
  const char* pattern;
  HostFunction function;
  HostFunction setter;  // assignment function, or null
};

// Which members a row is for.
enum class When : uint8_t {
  kAlways,
  kCaseModes,        // keys with a case mode (not Integer)
  kVariantElements,  // Variant keys or elements
  kStorageRows,      // marker: the storage's rows go here
};

// What the conditions of the rows ask about a member.
struct MemberFacts {
  bool caseModes;
  bool variantElements;
};

struct PropertyRow {
  PropertyRow(const char* name, const char* type, HostFunction getter, uint32_t offset = 0,
              When when = When::kAlways)
      : when(when), spec{name, type, getter, offset} {}
  explicit PropertyRow(When marker) : when(marker), spec{} {}
  When when;
  PropertySpec spec;
};

struct MethodRow {
  MethodRow(const char* pattern, HostFunction function, HostFunction setter = nullptr)
      : when(When::kAlways), spec{pattern, function, setter} {}
  MethodRow(When when, const char* pattern, HostFunction function)
      : when(when), spec{pattern, function, nullptr} {}
  explicit MethodRow(When marker) : when(marker), spec{} {}
  When when;
  MethodSpec spec;
};

// The rows of `shape` that hold for the member, with `storage` in place of
// the marker, which every shape's table has.
std::vector<PropertySpec> SelectRows(const std::vector<PropertyRow>& shape,
                                     const std::vector<PropertyRow>& storage,
                                     const MemberFacts& facts);
std::vector<MethodSpec> SelectRows(const std::vector<MethodRow>& shape,
                                   const std::vector<MethodRow>& storage, const MemberFacts& facts);

// Returns a record in static storage (it, its arrays and strings live for the
// life of the process, as the host keeps pointers into them).
ClassRecord* BuildClassRecord(const TypeWords& words, uint32_t dataSize, HostFunction destructor,
                              const std::vector<PropertySpec>& properties,
                              const std::vector<MethodSpec>& methods);

// The declaration with the row's words put in; the text is interned for the
// life of the process.
const char* ExpandDeclaration(const char* pattern, const TypeWords& words);

template <typename F>
HostFunction AsHostFunction(F* function) {
  return reinterpret_cast<HostFunction>(function);
}

// A method, getter or setter as the host calls it: whatever it throws ends
// in the matching host exception and the neutral result (zero, false, nil),
// never in unwinding through the host's frames, which would end the host
// process.  The handlers cost nothing until something throws.
template <auto F>
struct GuardedCall;
template <typename R, typename... A, R (*F)(A...)>
struct GuardedCall<F> {
  static R Call(A... args) noexcept {
    try {
      return F(args...);
    } catch (...) {
      RaiseCurrentException();
      if constexpr (!std::is_void_v<R>) return R{};
    }
  }
};

template <auto F>
HostFunction Guarded() {
  return AsHostFunction(&GuardedCall<F>::Call);
}

}  // namespace kdt
