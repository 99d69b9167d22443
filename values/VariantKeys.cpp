#include "values/VariantKeys.h"

#include <cmath>
#include <cstring>

#include "plugin/host/HostEntries.h"
#include "values/KeyViews.h"
#include "values/StringKeys.h"
#include "values/TextKeys.h"

namespace kdt {

namespace {

// Conversions hand back a lock of their own; these holders give it back.
using OwnedString = HostHandle<StringRefPolicy, CaseMode::S>;
using OwnedText = HostHandle<TextRefPolicy, CaseMode::S>;

template <typename T>
int32_t Order(T a, T b) {
  if (a == b) return 0;
  // A NaN on either side is "greater": such Variants never compare equal.
  return a < b ? -1 : 1;
}

int32_t OrderByReference(REALobject a, REALobject b) {
  return reinterpret_cast<uintptr_t>(a) < reinterpret_cast<uintptr_t>(b) ? -1 : 1;
}

// Hashes of a Variant's value converted to a String or Text.
template <CaseMode Mode>
uint32_t HashString(REALstring s) {
  // Through a String key's view: an ASCII String hashes without a host call.
  ProbeKey<StringKey<Mode>> key(s);
  return KeyHash(key.get());
}
template <CaseMode Mode>
uint32_t HashText(REALtext t) {
  return Mode == CaseMode::S ? TextHashS(t) : TextHashI(t);
}

// The hash of a non-nil Variant v of type code t.
template <CaseMode Mode>
uint32_t HashVariantOfCode(REALobject v, int32_t t) {
  if (t == kVarTypeString) {
    OwnedString s(VariantToString(v), AdoptLock{});
    return HashString<Mode>(s.get());
  }
  if (t == kVarTypeText) {
    OwnedText x(VariantToText(v), AdoptLock{});
    return HashText<Mode>(x.get());
  }
  return VariantHash(v);
}

// Two different keys of one code whose views keep nothing to compare by
// (Strings or Texts the host could not convert, codes without a value order):
// through their Variants.
template <CaseMode Mode>
int32_t CompareThroughVariants(REALobject a, REALobject b, ValueKind kind) {
  if (kind == ValueKind::kText) {
    OwnedText xa(VariantToText(a), AdoptLock{});
    OwnedText xb(VariantToText(b), AdoptLock{});
    return Mode == CaseMode::S ? TextCompareS(xa.get(), xb.get())
                               : TextCompareI(xa.get(), xb.get());
  }
  if (kind == ValueKind::kString) {
    OwnedString sa(VariantToString(a), AdoptLock{});
    OwnedString sb(VariantToString(b), AdoptLock{});
    return Mode == CaseMode::S ? StringCompareS(sa.get(), sb.get())
                               : StringCompareI(sa.get(), sb.get());
  }
  return OrderByReference(a, b);
}

// Numbers ascending, then every NaN, NaNs among themselves by reference.
template <typename T>
int32_t IndexOrderNumbers(T x, T y, REALobject a, REALobject b) {
  const bool nx = std::isnan(x), ny = std::isnan(y);
  if (nx && ny) return OrderByReference(a, b);
  if (nx != ny) return nx ? 1 : -1;
  return Order(x, y);
}

// Two different, non-nil keys of one type code, through their views.
template <CaseMode Mode>
int32_t CompareSameCodeKeys(const VariantKey<Mode>& a, const VariantKey<Mode>& b) {
  const VariantKeyView& va = *a.view();
  const VariantKeyView& vb = *b.view();
  const ValueKind kind = ValueKindOf(va.code);
  switch (kind) {
    case ValueKind::kNothing:
      return 0;
    case ValueKind::kInt32:
      return Order(va.int32, vb.int32);
    case ValueKind::kInt64:
      return Order(va.int64(), vb.int64());
    case ValueKind::kSingle:
      return Order(va.single, vb.single);
    case ValueKind::kDouble:
      return Order(va.real(), vb.real());
    default:
      break;
  }
  // Case-sensitive keys keep a String's bytes, the others the converted
  // value; a key that could keep neither is compared through its Variant.
  if (va.template HasBytes<Mode>() && vb.template HasBytes<Mode>())
    return CompareBytes(va.bytes, vb.bytes, false);
  if (va.template Holds<Mode>() && vb.template Holds<Mode>()) {
    if (kind == ValueKind::kText) {
      const auto xa = static_cast<REALtext>(va.held), xb = static_cast<REALtext>(vb.held);
      return Mode == CaseMode::S ? TextCompareS(xa, xb) : TextCompareI(xa, xb);
    }
    return StringCompareI(static_cast<REALstring>(va.held), static_cast<REALstring>(vb.held));
  }
  return CompareThroughVariants<Mode>(a.get(), b.get(), kind);
}

}  // namespace

template <CaseMode Mode>
uint32_t KeyHash(const VariantKey<Mode>& k) {
  if (k.hash != 0 || k.get() == nullptr) return k.hash;
  const VariantKeyView& v = *k.view();
  if (v.code == kVarTypeString && v.template HasBytes<Mode>())
    k.hash = HashBytes(v.bytes);
  else if (v.code == kVarTypeString && v.template Holds<Mode>())
    k.hash = HashString<Mode>(static_cast<REALstring>(v.held));
  else if (v.code == kVarTypeText && v.template Holds<Mode>())
    k.hash = HashText<Mode>(static_cast<REALtext>(v.held));
  else
    k.hash = HashVariantOfCode<Mode>(k.get(), v.code);
  return k.hash;
}

template <CaseMode Mode>
int32_t KeyCompare(const VariantKey<Mode>& a, const VariantKey<Mode>& b) {
  if (a.get() == b.get()) return 0;
  if (a.get() == nullptr) return -1;
  if (b.get() == nullptr) return 1;
  if (a.view()->code != b.view()->code) return OrderByReference(a.get(), b.get());
  return CompareSameCodeKeys(a, b);
}

template <CaseMode Mode>
int32_t KeyIndexOrder(const VariantKey<Mode>& a, const VariantKey<Mode>& b) {
  if (a.get() == b.get()) return 0;
  if (a.get() == nullptr) return -1;
  if (b.get() == nullptr) return 1;
  const VariantKeyView& va = *a.view();
  const VariantKeyView& vb = *b.view();
  if (va.code != vb.code) return va.code < vb.code ? -1 : 1;
  const ValueKind kind = ValueKindOf(va.code);
  if (kind == ValueKind::kSingle) return IndexOrderNumbers(va.single, vb.single, a.get(), b.get());
  if (kind == ValueKind::kDouble) return IndexOrderNumbers(va.real(), vb.real(), a.get(), b.get());
  return CompareSameCodeKeys(a, b);
}

#define KDT_VARIANT_KEY_FUNCTIONS(M)                                       \
  template uint32_t KeyHash(const VariantKey<M>&);                         \
  template int32_t KeyCompare(const VariantKey<M>&, const VariantKey<M>&); \
  template int32_t KeyIndexOrder(const VariantKey<M>&, const VariantKey<M>&);
KDT_VARIANT_KEY_FUNCTIONS(CaseMode::S)
KDT_VARIANT_KEY_FUNCTIONS(CaseMode::I)
#undef KDT_VARIANT_KEY_FUNCTIONS

int32_t VariantTypeCode(REALobject v) {
  return v == nullptr ? kVarTypeNil : VarType(v);
}

namespace {

// Takes (lock) or gives back the lock of the converted value a view holds.
void ChangeHeldLock(const VariantKeyView& v, bool lock) {
  if (v.code == kVarTypeText) {
    (lock ? TextRefPolicy::Lock : TextRefPolicy::Unlock)(static_cast<REALtext>(v.held));
  } else {
    (lock ? StringRefPolicy::Lock : StringRefPolicy::Unlock)(static_cast<REALstring>(v.held));
  }
}

}  // namespace

template <CaseMode Mode>
VariantKeyView VariantKeyView::Copy(const VariantKeyView& v) {
  VariantKeyView copy = v;
  if (v.HasBytes<Mode>()) copy.bytes = CopyBytes(v.bytes);
  if (v.Holds<Mode>()) ChangeHeldLock(v, true);
  return copy;
}

template <CaseMode Mode>
void VariantKeyView::Free(VariantKeyView* v) {
  if (v->HasBytes<Mode>()) FreeBytes(&v->bytes);
  if (v->Holds<Mode>()) ChangeHeldLock(*v, false);
  *v = Empty();
}

template VariantKeyView VariantKeyView::Copy<CaseMode::S>(const VariantKeyView&);
template VariantKeyView VariantKeyView::Copy<CaseMode::I>(const VariantKeyView&);
template void VariantKeyView::Free<CaseMode::S>(VariantKeyView*);
template void VariantKeyView::Free<CaseMode::I>(VariantKeyView*);

bool VariantKeyView::MakeView(REALobject v, CaseMode mode, VariantKeyView* out) {
  VariantKeyView view = Empty();
  view.code = VariantTypeCode(v);
  const ValueKind kind = ValueKindOf(view.code);
  if (kind == ValueKind::kInt32) view.int32 = VariantToInt32(v);
  if (kind == ValueKind::kSingle) view.single = VariantToSingle(v);
  if (kind == ValueKind::kInt64) view.SetWide(VariantToInt64(v));
  if (kind == ValueKind::kDouble) view.SetWide(VariantToDouble(v));
  // A Text, and the String of a case-insensitive key, are kept converted,
  // with the conversion's lock.
  if (kind == ValueKind::kText) view.held = VariantToText(v);
  if (kind == ValueKind::kString && mode == CaseMode::I) view.held = VariantToString(v);
  if (kind == ValueKind::kString && mode == CaseMode::S) {
    // The String is not kept: its bytes are.  Without them the key is
    // compared through its String each time.
    StringValue s(VariantToString(v), AdoptLock{});
    if (!ViewBytes(s.get(), true, &view.bytes)) view.bytes = {nullptr, 0};
  }
  *out = view;
  return true;
}

}  // namespace kdt
