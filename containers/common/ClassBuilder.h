// Builds the class records of a container family from declarative tables.
//
// A family lists its properties and methods once, with declaration patterns in
// which {C} stands for the class name, {I} for its iterator class, {K} for the
// key (or element) type word and {V} for the value type word.  Each member
// class then gets its own record with the words of its row substituted, so a
// wrong type word is a one-line fix in the member table.
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
  return reinterpret_cast<HostFunction>(&GuardedCall<F>::Call);
}

}  // namespace kdt
