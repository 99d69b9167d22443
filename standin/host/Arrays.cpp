// Host arrays of Integer, String, Text and object elements: creation, upper
// bound, the accessor entries, and the element storage that hosts before
// 2017.0 expose in the array object.
#include "standin/host/Internal.h"

namespace standin {
namespace detail {
namespace {

constexpr Word kArrayTag = 0x41525259u;

// Element kinds in accessor order.
enum Element : int { kInteger, kString, kText, kObject };
const char* const kElementNames[] = {"Integer", "String", "Text", "object"};
const unsigned kElementMasks[] = {0, kMaskString, kMaskText, kMaskObject};

int ElementOf(int32_t typeCode) {
  switch (typeCode) {
    case kdt::kArrayTypeInteger:
      return kInteger;
    case kdt::kArrayTypeString:
      return kString;
    case kdt::kArrayTypeText:
      return kText;
    case kdt::kArrayTypeObject:
      return kObject;
    default:
      return -1;
  }
}

ArrayValue* UseArray(Host::State& s, int counter, REALarray a, int element) {
  auto* v = static_cast<ArrayValue*>(s.Use(counter, W(a), kMaskArray, false, "the array"));
  if (v && element >= 0 && ElementOf(v->elementType) != element) {
    s.Violate(counter, std::string(kElementNames[element]) + " accessor used on " + s.Describe(v));
    return nullptr;
  }
  return v;
}

// The element value the array is to hold: nil or a live value of its kind.
bool CheckElement(Host::State& s, int counter, int element, Word value, Value** out) {
  *out = nullptr;
  if (element == kInteger || value == 0) return true;
  *out = s.Use(counter, value, kElementMasks[element], true, "an element");
  return *out != nullptr;
}

bool InRange(Host::State& s, int counter, ArrayValue* a, int32_t index, size_t limit) {
  if (index >= 0 && static_cast<size_t>(index) < limit) return true;
  s.HostRaise(counter, "OutOfBoundsException",
              "array index " + std::to_string(index) + " is out of bounds (upper bound " +
                  std::to_string(static_cast<int64_t>(a->elements.size()) - 1) + ")");
  return false;
}

template <int kElement>
Word Get(REALarray array, int32_t index) {
  EntryState s;
  if (!s) return 0;
  constexpr int counter = kArrayGet + kElement;
  s->Count(counter);
  ArrayValue* a = UseArray(*s, counter, array, kElement);
  if (!a || !InRange(*s, counter, a, index, a->elements.size())) return 0;
  Word w = a->elements[index];
  if (kElement != kInteger && w) {
    Value* v = s->Use(counter, w, kElementMasks[kElement], true, "the stored element");
    if (!v) return 0;
    s->Retain(v);
  }
  return w;
}

template <int kElement>
void Set(REALarray array, Word value, int32_t index) {
  EntryState s;
  if (!s) return;
  constexpr int counter = kArraySet + kElement;
  s->Count(counter);
  ArrayValue* a = UseArray(*s, counter, array, kElement);
  Value* nv;
  if (!a || !CheckElement(*s, counter, kElement, value, &nv) ||
      !InRange(*s, counter, a, index, a->elements.size()))
    return;
  Word old = a->elements[index];
  s->Retain(nv);
  a->elements[index] = value;
  if (kElement != kInteger && old)
    if (Value* ov = s->Use(counter, old, kElementMasks[kElement], true, "the replaced element"))
      s->Drop(ov);
}

template <int kElement>
void Insert(REALarray array, int32_t index, Word value) {
  EntryState s;
  if (!s) return;
  constexpr int counter = kArrayInsert + kElement;
  s->Count(counter);
  ArrayValue* a = UseArray(*s, counter, array, kElement);
  Value* nv;
  if (!a || !CheckElement(*s, counter, kElement, value, &nv) ||
      !InRange(*s, counter, a, index, a->elements.size() + 1))
    return;
  s->Retain(nv);
  a->elements.insert(a->elements.begin() + index, value);
  s->SetStorageWords(a);
}

using Accessor = kdt::HostFunction;
const Accessor kAccessors[4][3] = {
    {Fn(&Get<kInteger>), Fn(&Set<kInteger>), Fn(&Insert<kInteger>)},
    {Fn(&Get<kString>), Fn(&Set<kString>), Fn(&Insert<kString>)},
    {Fn(&Get<kText>), Fn(&Set<kText>), Fn(&Insert<kText>)},
    {Fn(&Get<kObject>), Fn(&Set<kObject>), Fn(&Insert<kObject>)},
};

// An accessor lookup entry: for the array given, the accessor of operation
// kOp (0 get, 1 set, 2 insert); kElement -1 serves every element type.
template <int kEntry, int kElement, int kOp>
Accessor Lookup(REALarray array) {
  EntryState s;
  if (!s) return nullptr;
  s->Count(kEntry);
  ArrayValue* a = UseArray(*s, kEntry, array, kElement);
  if (!a) return nullptr;
  return kAccessors[ElementOf(a->elementType)][kOp];
}

REALarray CreateArray(int32_t typeCode, int32_t upperBound) {
  EntryState s;
  if (!s) return nullptr;
  constexpr int counter = k_RuntimeArrayCreateSingleDimBoundedArray;
  s->Count(counter);
  if (ElementOf(typeCode) < 0) {
    s->Violate(counter, "element type " + std::to_string(typeCode) + " is not one the host has");
    return nullptr;
  }
  if (upperBound < -1) {
    s->Violate(counter, "upper bound " + std::to_string(upperBound));
    return nullptr;
  }
  if (s->arraysBeforeFailure == 0) return nullptr;
  if (s->arraysBeforeFailure > 0) --s->arraysBeforeFailure;
  ArrayValue* a = s->MakeArray("RuntimeArrayCreateSingleDimBoundedArray", typeCode,
                               static_cast<uint32_t>(upperBound + 1));
  return reinterpret_cast<REALarray>(a->block);
}

int32_t UBound(REALarray array) {
  EntryState s;
  if (!s) return -1;
  s->Count(k_RuntimeUBound);
  if (!array) return -1;
  ArrayValue* a = UseArray(*s, k_RuntimeUBound, array, -1);
  return a ? static_cast<int32_t>(a->elements.size()) - 1 : -1;
}

}  // namespace

void InstallArrayEntries() {
  STANDIN_INSTALL(RuntimeArrayCreateSingleDimBoundedArray, &CreateArray);
  STANDIN_INSTALL(RuntimeUBound, &UBound);
  STANDIN_INSTALL(PluginIntegerArrayGetProc, &Lookup<k_PluginIntegerArrayGetProc, kInteger, 0>);
  STANDIN_INSTALL(PluginStringArrayGetProc, &Lookup<k_PluginStringArrayGetProc, kString, 0>);
  STANDIN_INSTALL(PluginTextArrayGetProc, &Lookup<k_PluginTextArrayGetProc, kText, 0>);
  STANDIN_INSTALL(PluginObjectArrayGetProc, &Lookup<k_PluginObjectArrayGetProc, kObject, 0>);
  STANDIN_INSTALL(PluginIntegerArraySetProc, &Lookup<k_PluginIntegerArraySetProc, kInteger, 1>);
  STANDIN_INSTALL(PluginStringArraySetProc, &Lookup<k_PluginStringArraySetProc, kString, 1>);
  STANDIN_INSTALL(PluginTextArraySetProc, &Lookup<k_PluginTextArraySetProc, kText, 1>);
  STANDIN_INSTALL(PluginObjectArraySetProc, &Lookup<k_PluginObjectArraySetProc, kObject, 1>);
  STANDIN_INSTALL(PluginIntegerArrayInsertProc,
                  &Lookup<k_PluginIntegerArrayInsertProc, kInteger, 2>);
  STANDIN_INSTALL(PluginStringArrayInsertProc, &Lookup<k_PluginStringArrayInsertProc, kString, 2>);
  STANDIN_INSTALL(PluginTextArrayInsertProc, &Lookup<k_PluginTextArrayInsertProc, kText, 2>);
  STANDIN_INSTALL(PluginObjectArrayInsertProc, &Lookup<k_PluginObjectArrayInsertProc, kObject, 2>);
  STANDIN_INSTALL(RuntimeArrayDirectGetGetProc, &Lookup<k_RuntimeArrayDirectGetGetProc, -1, 0>);
  STANDIN_INSTALL(RuntimeArrayDirectGetSetProc, &Lookup<k_RuntimeArrayDirectGetSetProc, -1, 1>);
  STANDIN_INSTALL(RuntimeArrayDirectGetInsertProc,
                  &Lookup<k_RuntimeArrayDirectGetInsertProc, -1, 2>);
}

}  // namespace detail

using namespace detail;

ArrayValue* Host::State::MakeArray(const char* origin, int32_t elementType, uint32_t count) {
  auto* a = Make<ArrayValue>(origin);
  a->elementType = elementType;
  a->elements.reserve(count > 4 ? count : 4);  // never a null storage address
  a->elements.assign(count, 0);
  a->words[0] = kArrayTag;
  a->words[1] = static_cast<Word>(elementType);
  SetStorageWords(a);
  return a;
}

void Host::State::SetStorageWords(ArrayValue* a) {
  Word storage = W(a->elements.data());
  Word poison = PoisonAddress();
  a->words[3] = static_cast<Word>(a->elements.size());
  // The word that does not hold the storage points at the poison page, so a
  // library reading the wrong word faults instead of reading stale data.
  if (effectiveVersion < 2008.0) {
    a->words[2] = storage;
    a->words[7] = poison;
  } else if (effectiveVersion < 2017.0) {
    a->words[2] = poison;
    a->words[7] = storage;
  } else {
    a->words[2] = a->words[7] = poison;
  }
}

REALarray Host::NewArray(int32_t typeCode, const std::vector<Word>& elements) {
  HostLock lock;
  State& s = *state_;
  int element = ElementOf(typeCode);
  if (element < 0) {
    s.Violate(kTestApi, "NewArray with element type " + std::to_string(typeCode));
    return nullptr;
  }
  std::vector<Value*> held;
  for (Word e : elements) {
    Value* v;
    if (!CheckElement(s, kTestApi, element, e, &v)) return nullptr;
    held.push_back(v);
  }
  ArrayValue* a = s.MakeArray("NewArray", typeCode, static_cast<uint32_t>(elements.size()));
  for (size_t i = 0; i < elements.size(); ++i) {
    s.Retain(held[i]);
    a->elements[i] = elements[i];
  }
  return reinterpret_cast<REALarray>(a->block);
}

void Host::FailArrayCreation(int64_t made) {
  HostLock lock;
  state_->arraysBeforeFailure = made;
}

void Host::ResizeArray(REALarray array, int32_t count) {
  HostLock lock;
  State& s = *state_;
  ArrayValue* a = UseArray(s, kTestApi, array, -1);
  if (!a || count < 0) return;
  const int element = ElementOf(a->elementType);
  for (size_t i = static_cast<size_t>(count); i < a->elements.size(); ++i)
    if (element != kInteger && a->elements[i] != 0)
      if (Value* v = s.Use(kTestApi, a->elements[i], kElementMasks[element], true, "an element"))
        s.Drop(v);
  a->elements.resize(static_cast<size_t>(count), 0);
  s.SetStorageWords(a);
}

std::vector<Word> Host::Elements(REALarray array) const {
  HostLock lock;
  auto* a = UseArray(*state_, kTestApi, array, -1);
  return a ? a->elements : std::vector<Word>();
}

int32_t Host::ArrayType(REALarray array) const {
  HostLock lock;
  auto* a = UseArray(*state_, kTestApi, array, -1);
  return a ? a->elementType : -1;
}

}  // namespace standin
