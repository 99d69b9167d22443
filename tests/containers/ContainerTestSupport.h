// Helpers for container tests that run across the members of a family: a
// member is described by its class names and kinds, and keys and values are
// made in the stand-in host from small integers, so one test body serves
// every member.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "standin/host/Host.h"

namespace kdt_test {

using kdt::REALarray;
using kdt::REALobject;
using kdt::REALstring;
using kdt::REALtext;
using standin::Host;
using standin::Word;

enum class Kind { Integer, String, Text, Variant };

struct MemberSpec {
  std::string className;
  std::string iteratorName;
  Kind key;
  Kind value;
  std::string keyWord;
  std::string valueWord;
  bool caseSensitive = true;  // the mode the test constructs

  bool HasCaseModes() const { return key != Kind::Integer; }
  // The declaration with {C}, {I}, {K} and {V} put in.
  std::string Decl(const std::string& pattern) const {
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
      if (pattern[i] == '{' && i + 2 < pattern.size() && pattern[i + 2] == '}') {
        char c = pattern[i + 1];
        out += c == 'C' ? className : c == 'I' ? iteratorName : c == 'K' ? keyWord : valueWord;
        i += 2;
      } else {
        out += pattern[i];
      }
    }
    return out;
  }
  std::string Name() const {
    return className.substr(0, className.size() - 3) + (caseSensitive ? "S" : "I");
  }
};

// The text of key or value number n: "k7" or, upper-cased, "K7".
inline std::string TextOf(const char* prefix, int n, bool upper) {
  std::string s = prefix + std::to_string(n);
  if (upper) s[0] = static_cast<char>(s[0] - 'a' + 'A');
  return s;
}

// A host value of kind k for number n, released by the host at the end of the
// test.  Integers are the number itself.  Variants hold a String.
inline Word Make(Host& host, Kind k, const char* prefix, int n, bool upper = false) {
  std::string text = TextOf(prefix, n, upper);
  switch (k) {
    case Kind::Integer:
      return static_cast<Word>(n);
    case Kind::String: {
      Word s = standin::W(host.NewString(text));
      host.ReleaseAtEnd(s);
      return s;
    }
    case Kind::Text: {
      Word t = standin::W(host.NewText(text));
      host.ReleaseAtEnd(t);
      return t;
    }
    case Kind::Variant: {
      REALstring s = host.NewString(text);
      Word v = standin::W(host.NewVariantString(s));
      host.Release(s);
      host.ReleaseAtEnd(v);
      return v;
    }
  }
  return 0;
}

inline int32_t ArrayType(Kind k) {
  switch (k) {
    case Kind::Integer:
      return kdt::kArrayTypeInteger;
    case Kind::String:
      return kdt::kArrayTypeString;
    case Kind::Text:
      return kdt::kArrayTypeText;
    case Kind::Variant:
      return kdt::kArrayTypeObject;
  }
  return 0;
}

// The hash step of the key functors, written out again for the models.
inline uint32_t ElfStep(uint32_t h, uint32_t c) {
  uint32_t x = c + (h << 4);
  uint32_t g = x & 0xF0000000u;
  return (x ^ (g >> 24)) & 0x0FFFFFFFu;
}

// The hash a table uses for an ASCII key made by Make (Integer: n itself).
inline uint32_t ModelHash(Kind k, const std::string& text, int n, bool caseSensitive) {
  if (k == Kind::Integer) return static_cast<uint32_t>(n);
  uint32_t h = k == Kind::Text ? 1 : 0;
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (!caseSensitive && u >= 'A' && u <= 'Z') u = static_cast<unsigned char>(u - 'A' + 'a');
    h = ElfStep(h, u);
  }
  return h;
}

}  // namespace kdt_test

namespace kdt_test {
inline void PrintTo(const MemberSpec& s, std::ostream* os) {
  *os << s.Name();
}
}  // namespace kdt_test
