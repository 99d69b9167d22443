// Builds the class records of the members from declarative tables.
//
// A shape lists its properties and methods once, with declaration patterns in
// which {C} stands for the class name, {I} for its iterator class, {K} for the
// key (or element) type word and {V} for the value type word.  Each member
// class then gets its own record with the words of its row substituted, so a
// wrong type word is a one-line fix in the member table.  A row may hold for
// some members only (When), or stand for a table of rows shared by several
// (the engine's, the storage's).  The tables are constant and every record
// has its place sized by the compiler, so registration allocates nothing.
//
// Every function a row hands to the host runs under GuardedCall: no C++
// exception ever unwinds into the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <type_traits>

#include "errors/Exceptions.h"
#include "plugin/host/HostTypes.h"

namespace kdt {

struct TypeWords {
  const char* className;
  const char* iteratorName;
  const char* keyWord;
  const char* valueWord;
};

// Which members a row is for, or a row that stands for other rows.
enum class When : uint8_t {
  kAlways,
  kCaseModes,        // keys with a case mode (not Integer)
  kVariantElements,  // Variant keys or elements
  kRows,             // the rows it points to go here (none when it points nowhere)
};

// What the conditions of the rows ask about a member.
struct MemberFacts {
  bool caseModes;
  bool variantElements;
};

constexpr bool Holds(When when, const MemberFacts& facts) {
  if (when == When::kCaseModes) return facts.caseModes;
  return when == When::kVariantElements ? facts.variantElements : true;
}

// Gives the function a row hands to the host: an instantiation of Guarded
// (or StandardGetter).  Rows keep the maker, not the function, because only
// a function address made by a cast is what the host takes, and a cast is
// not allowed in a table built by the compiler.
using FunctionMaker = HostFunction (*)();

// A row of a property or method table, for the members When says; or a row
// standing for the rows of another table (none when it points nowhere).
struct Row {
  // A method: its declaration pattern, function and assignment function.
  constexpr Row(const char* pattern, FunctionMaker function, FunctionMaker setter = nullptr,
                When when = When::kAlways)
      : when(when), text(pattern), function(function), setter(setter) {}
  // A property: its name, type, getter and the offset of the byte the host
  // reads itself (StandardGetter).
  constexpr Row(const char* name, const char* type, FunctionMaker getter, uint32_t offset = 0,
                When when = When::kAlways)
      : when(when), text(name), type(type), function(getter), offset(offset) {}
  template <size_t N>
  constexpr explicit Row(const Row (&rows)[N]) : when(When::kRows), rows(rows), count(N) {}
  constexpr Row() : when(When::kRows) {}
  When when;
  const char* text = nullptr;
  const char* type = nullptr;
  FunctionMaker function = nullptr;
  FunctionMaker setter = nullptr;
  uint32_t offset = 0;
  const Row* rows = nullptr;
  size_t count = 0;
};

// Calls f with each row of the table that holds for the member, in order,
// the rows a kRows row points to in its place.
template <typename F>
constexpr void ForEachRow(const Row* rows, size_t count, const MemberFacts& facts, F&& f) {
  for (size_t i = 0; i < count; ++i) {
    if (rows[i].when == When::kRows) {
      ForEachRow(rows[i].rows, rows[i].count, facts, f);
    } else if (Holds(rows[i].when, facts)) {
      f(rows[i]);
    }
  }
}

// The word a pattern's "{x}" stands for, or null when it is no placeholder.
constexpr const char* PlaceholderWord(const char* p, const TypeWords& words) {
  if (p[0] != '{' || p[1] == '\0' || p[2] != '}') return nullptr;
  switch (p[1]) {
    case 'C':
      return words.className;
    case 'I':
      return words.iteratorName;
    case 'K':
      return words.keyWord;
    case 'V':
      return words.valueWord;
    default:
      return nullptr;
  }
}

// Writes the declaration with the words put in, and its terminating zero, at
// `out` (when not null); returns how many bytes that takes.
constexpr size_t ExpandDeclaration(const char* pattern, const TypeWords& words, char* out) {
  size_t size = 0;
  for (const char* p = pattern; *p != '\0'; ++p) {
    const char* word = PlaceholderWord(p, words);
    if (word == nullptr) {
      if (out != nullptr) out[size] = *p;
      ++size;
      continue;
    }
    for (; *word != '\0'; ++word, ++size) {
      if (out != nullptr) out[size] = *word;
    }
    p += 2;
  }
  if (out != nullptr) out[size] = '\0';
  return size + 1;
}

// The tables of one class (the container's or the iterator's), sized by the
// compiler: `Tables` gives kWords, kFacts, kProperties and kMethods.
template <typename Tables>
class StaticClassRecord {
  // How many rows of the table hold for the member or (text) how many bytes
  // their declarations take.
  template <size_t N>
  static constexpr size_t Count(const Row (&table)[N], bool text = false) {
    size_t n = 0;
    ForEachRow(table, N, Tables::kFacts, [&](const Row& row) {
      n += text ? ExpandDeclaration(row.text, Tables::kWords, nullptr) : 1;
    });
    return n;
  }
  // One spare entry each: an array may not be empty.
  static inline PropertyRecord properties_[Count(Tables::kProperties) + 1];
  static inline MethodRecord methods_[Count(Tables::kMethods) + 1];
  static inline char text_[Count(Tables::kMethods, true)];
  static inline ClassRecord record_;

 public:
  // The record, filled in place: the host keeps pointers into it for the
  // life of the process.  Nothing is allocated, so nothing can fail.
  static ClassRecord* Fill(uint32_t dataSize, HostFunction destructor) noexcept;
};

// Fills `record` and the arrays it points to from the tables.
void FillClassRecord(ClassRecord& record, const TypeWords& words, uint32_t dataSize,
                     HostFunction destructor, PropertyRecord* properties, size_t propertyCount,
                     MethodRecord* methods, size_t methodCount) noexcept;

template <typename Tables>
ClassRecord* StaticClassRecord<Tables>::Fill(uint32_t dataSize, HostFunction destructor) noexcept {
  size_t p = 0;
  ForEachRow(Tables::kProperties, std::size(Tables::kProperties), Tables::kFacts,
             [&](const Row& row) {
               PropertyRecord& r = properties_[p++];
               r = PropertyRecord{};
               r.name = row.text;
               r.type = row.type;
               r.getter = row.function();
               r.standardGetterOffset = row.offset;
             });
  size_t m = 0;
  char* text = text_;
  ForEachRow(Tables::kMethods, std::size(Tables::kMethods), Tables::kFacts, [&](const Row& row) {
    MethodRecord& r = methods_[m++];
    r = MethodRecord{};
    r.function = row.function();
    r.setter = row.setter != nullptr ? row.setter() : nullptr;
    r.declaration = text;
    text += ExpandDeclaration(row.text, Tables::kWords, text);
  });
  FillClassRecord(record_, Tables::kWords, dataSize, destructor, properties_, p, methods_, m);
  return &record_;
}

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
