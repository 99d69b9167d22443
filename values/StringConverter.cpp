#include "values/StringConverter.h"

#include <cstring>

#include "errors/Exceptions.h"
#include "plugin/PluginAlloc.h"
#include "plugin/PluginMain.h"
#include "plugin/host/HostEntries.h"
#include "values/HostStrings.h"

namespace kdt {

namespace {

const char kEmpty8[4] = {0, 0, 0, 0};
const uint16_t kEmpty16[2] = {0, 0};

// A zero-filled copy of `length` units with room for a terminator, or null.
uint16_t* CopyUnits(const uint16_t* data, int32_t length, bool swapBytes) {
  auto* copy = static_cast<uint16_t*>(PluginAlloc(2 * static_cast<uint64_t>(length) + 4));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, data, 2 * static_cast<size_t>(length));
  if (swapBytes) {
    for (int32_t i = 0; i < length; ++i)
      copy[i] = static_cast<uint16_t>((copy[i] << 8) | (copy[i] >> 8));
  }
  return copy;
}

int32_t ClampLength(uint32_t size) {
  return size > 0x7FFFFFFFu ? 0 : static_cast<int32_t>(size);
}

}  // namespace

bool AllBelow0x80(const char* bytes, int32_t length) {
  for (int32_t i = 0; i < length; ++i) {
    if (static_cast<unsigned char>(bytes[i]) >= 0x80) return false;
  }
  return true;
}

bool KnownASCIICompatible(uint32_t encoding) {
  return encoding == kEncodingWindowsLatin1 || encoding == kEncodingMacRoman ||
         encoding == kEncodingISOLatin1 || encoding == kEncodingUTF8 || encoding == kEncodingASCII;
}

RBStringConverter::RBStringConverter(REALstring s) {
  utf8_.data = kEmpty8;
  utf16_.data = kEmpty16;
  if (s == nullptr) return;
  REALLockString(s);
  source_ = s;
  utf8_.length = -1;
  utf16_.length = -1;

  const uint32_t encoding = REALGetStringEncoding(s);
  if (!KnownASCIICompatible(encoding) && encoding != kEncodingUnspecified) return;
  const HostStringBytes bytes = ReadHostString(s);
  if (AllBelow0x80(bytes.data, bytes.length)) {
    plainASCII_ = true;
    utf8_.length = bytes.length;
    utf8_.data = bytes.length > 0 ? bytes.data : kEmpty8;
    return;
  }
  if (encoding != kEncodingUnspecified) return;
  // Bytes of unknown meaning: read them as Windows Latin 1 from now on.
  REALstring relabelled = BuildHostString(bytes.data, bytes.length, kEncodingWindowsLatin1);
  // Its reference is ours already; when it could not be made, both views
  // come out empty.
  source_ = relabelled;
  REALUnlockString(s);
}

RBStringConverter::~RBStringConverter() {
  Clear(utf8_);
  Clear(utf16_);
  if (source_ != nullptr) REALUnlockString(source_);
  source_ = nullptr;
  plainASCII_ = false;
}

template <typename Unit>
void RBStringConverter::Clear(View<Unit>& view) {
  if (view.converted != nullptr) REALUnlockString(view.converted);
  view.converted = nullptr;
  if (view.recordHeld) PluginDisposeStringData(&view.record);
  view.recordHeld = false;
  PluginFree(view.owned);
  view.owned = nullptr;
  view.length = 0;
}

void RBStringConverter::ComputeUTF8() {
  if (utf8_.length >= 0) return;
  utf8_.length = 0;
  utf8_.data = kEmpty8;
  if (source_ == nullptr) return;

  const char* data = nullptr;
  int32_t length = 0;
  const HostStringBytes own = ReadHostString(source_);
  if (OwnBytesAreUTF8(own.encoding)) {
    data = own.data;
    length = own.length;
  } else if (HostHasStringData()) {
    if (PluginGetStringData(source_, kEncodingUTF8, &utf8_.record) == 0) return;
    utf8_.recordHeld = true;
    data = static_cast<const char*>(utf8_.record.data);
    length = ClampLength(utf8_.record.size);
  } else {
    utf8_.converted = REALConvertString(source_, kEncodingUTF8);
    if (utf8_.converted == nullptr) return;
    const HostStringBytes converted = ReadHostString(utf8_.converted);
    data = converted.data;
    length = converted.length;
  }
  if (data == nullptr || length <= 0) return;

  if (data[length] != 0) {
    // Readers rely on a terminator after the last byte.
    char* copy = static_cast<char*>(PluginAlloc(static_cast<uint64_t>(length) + 4));
    if (copy == nullptr) return;
    std::memcpy(copy, data, static_cast<size_t>(length));
    utf8_.owned = copy;
    data = copy;
  }
  utf8_.data = data;
  utf8_.length = length;
}

void RBStringConverter::ComputeUTF16() {
  if (utf16_.length >= 0) return;
  utf16_.length = 0;
  utf16_.data = kEmpty16;
  if (source_ == nullptr) return;

  if (plainASCII_) {
    // One widening copy; no host call.
    const int32_t n = utf8_.length;
    if (n < 1) return;
    auto* wide = static_cast<uint16_t*>(PluginAlloc(2 * static_cast<uint64_t>(n) + 4));
    if (wide == nullptr) return;
    for (int32_t i = 0; i < n; ++i) wide[i] = static_cast<unsigned char>(utf8_.data[i]);
    utf16_.owned = wide;
    utf16_.data = wide;
    utf16_.length = n;
    return;
  }

  const uint16_t* data = nullptr;
  int32_t length = 0;
  if (HostHasStringData()) {
    if (PluginGetStringData(source_, kEncodingUTF16, &utf16_.record) == 0) return;
    utf16_.recordHeld = true;
    data = static_cast<const uint16_t*>(utf16_.record.data);
    length = ClampLength(utf16_.record.size) / 2;
  } else {
    utf16_.converted = REALConvertString(source_, kEncodingUTF16);
    if (utf16_.converted == nullptr) return;
    const HostStringBytes converted = ReadHostString(utf16_.converted);
    data = reinterpret_cast<const uint16_t*>(converted.data);
    length = converted.length / 2;
  }
  if (data == nullptr || length <= 0) return;

  // Units are read in place only when aligned and terminated, and in the
  // host's byte order.
  auto replaceWithCopy = [&](bool swapBytes) {
    uint16_t* copy = CopyUnits(data, length, swapBytes);
    if (copy == nullptr) return false;
    PluginFree(utf16_.owned);
    utf16_.owned = copy;
    data = copy;
    return true;
  };
  const bool aligned = (reinterpret_cast<uintptr_t>(data) & 1u) == 0;
  if ((!aligned || UnitAt(data, static_cast<size_t>(length)) != 0) && !replaceWithCopy(false))
    return;
  if (data[0] == 0xFFFE && !replaceWithCopy(true)) return;
  if (data[0] == 0xFEFF) {
    ++data;
    --length;
    if (length >= 1 && data[0] == 0xFFFE) {
      ++data;
      --length;
    }
  }
  utf16_.data = data;
  utf16_.length = length;
}

}  // namespace kdt
