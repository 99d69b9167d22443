// Character data of host strings and texts: decoding the bytes of a string
// by its encoding number, encoding code points back, and the case folding
// the host applies when it compares without regard to case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace standin::detail {

// Encodings the host can convert from and to.
bool KnownEncoding(uint32_t encoding);

// Code points of n bytes in the given encoding.  UTF-16 data are taken in
// host (little-endian) order unless they start with a byte-order mark, which
// is dropped; malformed UTF-8 and UTF-16 give U+FFFD.  Bytes of an
// unspecified encoding read as Windows Latin 1.  False for an unknown encoding.
bool Decode(const unsigned char* bytes, size_t n, uint32_t encoding, std::u32string* out);

// Bytes of the code points in the given encoding; what the target cannot hold
// becomes '?'.  UTF-16 is written in host order without a byte-order mark.
// False for an unknown encoding or for "unspecified".
bool Encode(const std::u32string& text, uint32_t encoding, std::string* out);

std::string ToUTF8(const std::u32string& text);
std::u32string FromUTF8(const std::string& utf8);  // malformed input gives U+FFFD
std::u16string ToUTF16(const std::u32string& text);

// Unicode 3.2.0 simple case folding (statuses C and S), per code point.
char32_t Fold(char32_t c);

// Lexicographic order of code point sequences, optionally after folding;
// -1, 0 or 1.
int CompareCodePoints(const std::u32string& a, const std::u32string& b, bool caseSensitive);

// 32-bit FNV-1a over the code points up to the first zero, folded.
uint32_t FoldedHash(const std::u32string& text);

}  // namespace standin::detail
