#include "values/KeyViews.h"

#include <new>

#include "plugin/PluginAlloc.h"
#include "plugin/PluginMain.h"
#include "plugin/host/HostEntries.h"
#include "values/HostStrings.h"
#include "values/StringConverter.h"

namespace kdt {

namespace {

const char kNoBytes[4] = {0, 0, 0, 0};

ByteView InPlace(const HostStringBytes& b, uint32_t flags) {
  if (b.data == nullptr || b.length <= 0) return {kNoBytes, flags};
  return {b.data, static_cast<uint32_t>(b.length) | flags};
}

bool Fits(int32_t length) {
  return length >= 0 && static_cast<uint32_t>(length) <= ByteView::kLengthMask;
}

// Out of memory is raised like any other allocation failure of the call.
ByteView Own(const char* data, int32_t length) {
  if (length == 0) return {kNoBytes, 0};
  auto* copy = static_cast<char*>(PluginAlloc(static_cast<uint64_t>(length) + 1));
  if (copy == nullptr) throw std::bad_alloc();
  std::memcpy(copy, data, static_cast<size_t>(length));
  return {copy, static_cast<uint32_t>(length) | ByteView::kOwned};
}

}  // namespace

// The encoding number is read from the string object (word 4), as the
// converter reads it for its in-place test: no host call.
bool ViewBytesInPlace(REALstring s, ByteView* out) {
  if (s == nullptr) {
    *out = {kNoBytes, ByteView::kASCII};
    return true;
  }
  const HostStringBytes b = ReadHostString(s);
  if (!Fits(b.length)) return false;
  const bool asciiCompatible =
      KnownASCIICompatible(b.encoding) || b.encoding == kEncodingUnspecified;
  if (asciiCompatible && AllBelow0x80(b.data, b.length)) {
    *out = InPlace(b, ByteView::kASCII);
    return true;
  }
  if (OwnBytesAreUTF8(b.encoding)) {
    *out = InPlace(b, 0);
    return true;
  }
  return false;
}

bool ViewBytes(REALstring s, bool copy, ByteView* out) {
  ByteView v;
  if (!ViewBytesInPlace(s, &v)) {
    RBStringConverter converter(s);
    const char* data = converter.UTF8Data();
    const int32_t length = converter.UTF8Length();
    const HostStringBytes own = ReadHostString(s);
    // An empty conversion of a non-empty string failed: no view to keep.
    if (length == 0 && own.length > 0) return false;
    if (!Fits(length)) return false;
    if (length == own.length && (length == 0 || std::memcmp(data, own.data, length) == 0)) {
      v = InPlace(own, 0);
    } else {
      *out = Own(data, length);
      return true;
    }
  }
  *out = copy ? Own(v.data, v.length()) : v;
  return true;
}

ByteView CopyBytes(const ByteView& v) {
  return (v.bits & ByteView::kOwned) == 0 ? v : Own(v.data, v.length());
}

void FreeBytes(ByteView* v) {
  if ((v->bits & ByteView::kOwned) != 0) PluginFree(const_cast<char*>(v->data));
  *v = {nullptr, 0};
}

uint32_t HashBytes(const ByteView& v) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(v.data);
  uint32_t h = 0;
  for (int32_t i = 0, n = v.length(); i < n; ++i) h = HashStep(h, bytes[i]);
  return h;
}

uint32_t HashFoldedASCII(const ByteView& v) {
  const uint16_t* fold = CaseFoldTable();
  const auto* bytes = reinterpret_cast<const unsigned char*>(v.data);
  uint32_t h = 0;
  for (int32_t i = 0, n = v.length(); i < n; ++i) h = HashStep(h, fold[bytes[i]]);
  return h;
}

int32_t CompareBytes(const ByteView& a, const ByteView& b, bool foldCase) {
  return CompareByteRanges(a.data, a.length(), b.data, b.length(), foldCase);
}

}  // namespace kdt
