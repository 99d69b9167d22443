#include "standin/host/Encoding.h"

#include <algorithm>
#include <unordered_map>

#include "plugin/host/HostTypes.h"

namespace standin::detail {
namespace {

#include "standin/host/EncodingTables.inc"

constexpr char32_t kReplacement = 0xFFFD;

const std::unordered_map<char32_t, unsigned char>& ReverseTable(const char32_t (&high)[128]) {
  // One reverse map per table, built on first use.
  static std::unordered_map<const void*, std::unordered_map<char32_t, unsigned char>> maps;
  auto& m = maps[&high];
  if (m.empty())
    for (int i = 0; i < 128; ++i) m.emplace(high[i], static_cast<unsigned char>(0x80 + i));
  return m;
}

void DecodeUTF8(const unsigned char* p, size_t n, std::u32string* out) {
  static const char32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
  size_t i = 0;
  while (i < n) {
    unsigned char b = p[i];
    int extra = b < 0x80             ? 0
                : (b & 0xE0) == 0xC0 ? 1
                : (b & 0xF0) == 0xE0 ? 2
                : (b & 0xF8) == 0xF0 ? 3
                                     : -1;
    bool ok = extra >= 0;
    char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    for (int k = 1; ok && k <= extra; ++k) {
      if (i + k >= n || (p[i + k] & 0xC0) != 0x80)
        ok = false;
      else
        c = (c << 6) | (p[i + k] & 0x3F);
    }
    if (!ok || c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out->push_back(kReplacement);
      ++i;
      continue;
    }
    out->push_back(c);
    i += extra + 1;
  }
}

void DecodeUTF16(const unsigned char* p, size_t n, std::u32string* out) {
  size_t units = n / 2;
  bool swapped = false;
  size_t i = 0;
  auto unit = [&](size_t k) -> char16_t {
    unsigned lo = p[2 * k], hi = p[2 * k + 1];
    return static_cast<char16_t>(swapped ? (lo << 8) | hi : (hi << 8) | lo);
  };
  if (units > 0) {
    char16_t first = unit(0);
    if (first == 0xFEFF) {
      i = 1;
    } else if (first == 0xFFFE) {
      swapped = true;
      i = 1;
    }
  }
  for (; i < units; ++i) {
    char16_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      char16_t v = unit(i + 1);
      if (v >= 0xDC00 && v <= 0xDFFF) {
        out->push_back(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (v - 0xDC00));
        ++i;
        continue;
      }
    }
    out->push_back(u >= 0xD800 && u <= 0xDFFF ? kReplacement : u);
  }
  if (n % 2) out->push_back(kReplacement);
}

}  // namespace

bool KnownEncoding(uint32_t e) {
  switch (e) {
    case kdt::kEncodingMacRoman:
    case kdt::kEncodingUTF16:
    case kdt::kEncodingISOLatin1:
    case kdt::kEncodingWindowsLatin1:
    case kdt::kEncodingASCII:
    case kdt::kEncodingUTF8:
    case kdt::kEncodingUnspecified:
      return true;
    default:
      return false;
  }
}

bool Decode(const unsigned char* p, size_t n, uint32_t encoding, std::u32string* out) {
  out->clear();
  switch (encoding) {
    case kdt::kEncodingUTF8:
      DecodeUTF8(p, n, out);
      return true;
    case kdt::kEncodingUTF16:
      DecodeUTF16(p, n, out);
      return true;
    case kdt::kEncodingASCII:
      for (size_t i = 0; i < n; ++i) out->push_back(p[i] < 0x80 ? p[i] : kReplacement);
      return true;
    case kdt::kEncodingISOLatin1:
      for (size_t i = 0; i < n; ++i) out->push_back(p[i]);
      return true;
    case kdt::kEncodingMacRoman:
      for (size_t i = 0; i < n; ++i)
        out->push_back(p[i] < 0x80 ? p[i] : kMacRomanHigh[p[i] - 0x80]);
      return true;
    case kdt::kEncodingWindowsLatin1:
    case kdt::kEncodingUnspecified:
      for (size_t i = 0; i < n; ++i)
        out->push_back(p[i] < 0x80 ? p[i] : kWindowsLatin1High[p[i] - 0x80]);
      return true;
    default:
      return false;
  }
}

std::string ToUTF8(const std::u32string& text) {
  std::string s;
  for (char32_t c : text) {
    if (c < 0x80) {
      s += static_cast<char>(c);
    } else if (c < 0x800) {
      s += static_cast<char>(0xC0 | (c >> 6));
      s += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      s += static_cast<char>(0xE0 | (c >> 12));
      s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      s += static_cast<char>(0xF0 | (c >> 18));
      s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      s += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return s;
}

std::u32string FromUTF8(const std::string& utf8) {
  std::u32string out;
  DecodeUTF8(reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size(), &out);
  return out;
}

std::u16string ToUTF16(const std::u32string& text) {
  std::u16string s;
  for (char32_t c : text) {
    if (c >= 0x10000) {
      c -= 0x10000;
      s += static_cast<char16_t>(0xD800 + (c >> 10));
      s += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      s += static_cast<char16_t>(c);
    }
  }
  return s;
}

bool Encode(const std::u32string& text, uint32_t encoding, std::string* out) {
  out->clear();
  switch (encoding) {
    case kdt::kEncodingUTF8:
      *out = ToUTF8(text);
      return true;
    case kdt::kEncodingUTF16:
      for (char16_t u : ToUTF16(text)) {
        out->push_back(static_cast<char>(u & 0xFF));
        out->push_back(static_cast<char>(u >> 8));
      }
      return true;
    case kdt::kEncodingASCII:
    case kdt::kEncodingISOLatin1:
      for (char32_t c : text) {
        char32_t limit = encoding == kdt::kEncodingASCII ? 0x80 : 0x100;
        out->push_back(static_cast<char>(c < limit ? c : '?'));
      }
      return true;
    case kdt::kEncodingMacRoman:
    case kdt::kEncodingWindowsLatin1: {
      const auto& reverse =
          ReverseTable(encoding == kdt::kEncodingMacRoman ? kMacRomanHigh : kWindowsLatin1High);
      for (char32_t c : text) {
        if (c < 0x80) {
          out->push_back(static_cast<char>(c));
          continue;
        }
        auto it = reverse.find(c);
        out->push_back(it == reverse.end() ? '?' : static_cast<char>(it->second));
      }
      return true;
    }
    default:
      return false;
  }
}

char32_t Fold(char32_t c) {
  static const std::unordered_map<char32_t, char32_t> table = [] {
    std::unordered_map<char32_t, char32_t> m;
    for (const auto& pair : kCaseFolding) m.emplace(pair[0], pair[1]);
    return m;
  }();
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 0x20 : c;
  auto it = table.find(c);
  return it == table.end() ? c : it->second;
}

int CompareCodePoints(const std::u32string& a, const std::u32string& b, bool caseSensitive) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    char32_t x = caseSensitive ? a[i] : Fold(a[i]);
    char32_t y = caseSensitive ? b[i] : Fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

uint32_t FoldedHash(const std::u32string& text) {
  uint32_t h = 2166136261u;
  for (char32_t c : text) {
    if (c == 0) break;
    c = Fold(c);
    for (int k = 0; k < 4; ++k) {
      h ^= (c >> (8 * k)) & 0xFF;
      h *= 16777619u;
    }
  }
  return h;
}

}  // namespace standin::detail
