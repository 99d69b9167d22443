#include "values/StringKeys.h"

#include <cstring>

#include "plugin/PluginMain.h"
#include "plugin/host/HostEntries.h"
#include "values/StringConverter.h"

namespace kdt {

namespace {

int FoldASCII(int c) {
  return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

int32_t CompareStringBytes(REALstring a, REALstring b, bool foldCase) {
  if (a == b) return 0;
  RBStringConverter ca(a);
  RBStringConverter cb(b);
  const int32_t la = ca.UTF8Length();
  const int32_t lb = cb.UTF8Length();
  return CompareByteRanges(ca.UTF8Data(), la, cb.UTF8Data(), lb, foldCase);
}

}  // namespace

// A view used in place may lack its terminator, so bytes past a view's length
// read as the terminator instead of being read.
int32_t CompareByteRanges(const char* a, int32_t la, const char* b, int32_t lb, bool foldCase) {
  // At the shorter length one side reads as the terminator, so the loop ends
  // there at the latest.
  for (int32_t i = 0;; ++i) {
    int ca = i < la ? static_cast<unsigned char>(a[i]) : 0;
    int cb = i < lb ? static_cast<unsigned char>(b[i]) : 0;
    if (foldCase) {
      ca = FoldASCII(ca);
      cb = FoldASCII(cb);
    }
    if (ca != cb) return ca - cb;
    if (ca == 0) return 0;
  }
}

uint32_t StringHashS(REALstring s) {
  RBStringConverter view(s);
  const auto* bytes = reinterpret_cast<const unsigned char*>(view.UTF8Data());
  const int32_t n = view.UTF8Length();
  uint32_t h = 0;
  for (int32_t i = 0; i < n; ++i) h = HashStep(h, bytes[i]);
  return h;
}

uint32_t StringHashI(REALstring s) {
  const uint16_t* fold = CaseFoldTable();
  RBStringConverter view(s);
  const uint16_t* units = view.UTF16Data();
  const int32_t n = view.UTF16Length();
  uint32_t h = 0;
  for (int32_t i = 0; i < n; ++i) h = HashStep(h, fold[units[i]]);
  return h;
}

int32_t StringCompareS(REALstring a, REALstring b) {
  return CompareStringBytes(a, b, false);
}

int32_t StringCompareI(REALstring a, REALstring b) {
  if (a == b) return 0;
  if (HostStringCompareOrdersWithoutCase()) return RuntimeStringCompare(a, b);
  return CompareStringBytes(a, b, true);
}

bool HostStringCompareOrdersWithoutCase() {
  return HostHasStringData();
}

uint32_t KeyHash(const StringKey<CaseMode::S>& k) {
  if (k.hash == 0) {
    const StringKeyView* v = k.view();
    k.hash = v != nullptr ? HashBytes(*v) : StringHashS(k.get());
  }
  return k.hash;
}

uint32_t KeyHash(const StringKey<CaseMode::I>& k) {
  if (k.hash == 0) {
    // Only an ASCII string folds byte by byte; any other is read as UTF-16.
    const StringKeyView* v = k.view(false);
    k.hash = v != nullptr && v->ascii() ? HashFoldedASCII(*v) : StringHashI(k.get());
  }
  return k.hash;
}

int32_t KeyCompare(const StringKey<CaseMode::S>& a, const StringKey<CaseMode::S>& b) {
  if (a.get() == b.get()) return 0;
  const StringKeyView* va = a.view();
  const StringKeyView* vb = b.view();
  if (va != nullptr && vb != nullptr) return CompareBytes(*va, *vb, false);
  return StringCompareS(a.get(), b.get());
}

int32_t KeyCompare(const StringKey<CaseMode::I>& a, const StringKey<CaseMode::I>& b) {
  if (a.get() == b.get()) return 0;
  if (HostStringCompareOrdersWithoutCase()) return RuntimeStringCompare(a.get(), b.get());
  const StringKeyView* va = a.view();
  const StringKeyView* vb = b.view();
  if (va != nullptr && vb != nullptr) return CompareBytes(*va, *vb, true);
  return StringCompareI(a.get(), b.get());
}

}  // namespace kdt
