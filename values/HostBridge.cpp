#include "values/HostBridge.h"

#include <mutex>
#include <type_traits>

#include "errors/Exceptions.h"
#include "plugin/PluginMain.h"
#include "plugin/host/HostEntries.h"
#include "values/Handles.h"

namespace kdt {

namespace {

// The three Dictionary methods of the Dictionary they were last loaded for.
struct DictionaryMethodCache {
  REALobject instance;
  entry::DictionarySetValue setValue;
  entry::DictionaryGetValue getValue;
  entry::DictionaryKeyAt keyAt;
};

DictionaryMethodCache gDictionaryCache = {nullptr, nullptr, nullptr, nullptr};
// Containers on different threads may read or write Dictionaries at once;
// each lookup in the cache and the call of the method it gives hold this
// lock, so no thread calls a method loaded for another thread's Dictionary.
std::mutex gDictionaryMutex;

// Points the cache at d, loading its methods when d is not the one cached.
// The caller holds gDictionaryMutex.
const DictionaryMethodCache& DictionaryMethods(REALobject d) {
  DictionaryMethodCache& c = gDictionaryCache;
  if (d != c.instance) {
    c.instance = d;
    c.setValue = reinterpret_cast<entry::DictionarySetValue>(
        REALLoadObjectMethod(d, "Value(key As Variant, Assigns _value As Variant)"));
    c.getValue = reinterpret_cast<entry::DictionaryGetValue>(
        REALLoadObjectMethod(d, "Value(key As Variant) As Variant"));
    c.keyAt = reinterpret_cast<entry::DictionaryKeyAt>(
        REALLoadObjectMethod(d, "Key(index As Integer) As Variant"));
  }
  return c;
}

// Older hosts keep an array's elements in a plain block whose address sits
// in the array object; later ones are reached through accessors only.

template <typename T>
T* DirectStorage(REALarray a) {
  if (HostHidesStorage()) return nullptr;
  const int word =
      HostArraysKeepStorageInWord7() ? kArrayWordStorageBefore2017 : kArrayWordStorageBefore2008;
  const uint32_t address = reinterpret_cast<const uint32_t*>(a)[word];
  return reinterpret_cast<T*>(static_cast<uintptr_t>(address));
}

// How elements of each type are reached through the host: its entries
// "Plugin<Kind>ArrayGetProc", "Plugin<Kind>OwnArrayGet",
// "Plugin<Kind>OwnArraySet" and "Plugin<Kind>ArrayInsertProc".
template <typename T>
struct Element;
#define KDT_ARRAY_ELEMENT(T, Kind)                                                               \
  template <>                                                                                    \
  struct Element<T> {                                                                            \
    static void Get(REALarray a, int32_t i, T* out) { Plugin##Kind##ArrayGetProc(a, i, out); }   \
    static void GetOwn(REALarray a, int32_t i, T* out) { Plugin##Kind##OwnArrayGet(a, i, out); } \
    static void SetOwn(REALarray a, int32_t i, T v) { Plugin##Kind##OwnArraySet(a, i, v); }      \
    static void Insert(REALarray a, int32_t i, T v) { Plugin##Kind##ArrayInsertProc(a, i, v); }  \
  };
KDT_ARRAY_ELEMENT(int32_t, Integer)
KDT_ARRAY_ELEMENT(REALstring, String)
KDT_ARRAY_ELEMENT(REALtext, Text)
KDT_ARRAY_ELEMENT(REALobject, Object)
#undef KDT_ARRAY_ELEMENT

// The lock an element value carries (none for numbers).
template <typename T>
void LockValue(T v) {
  if constexpr (!std::is_same_v<T, int32_t>) {
    if (v != nullptr) RefPolicy<T>::Lock(v);
  }
}
template <typename T>
void UnlockValue(T v) {
  if constexpr (!std::is_same_v<T, int32_t>) {
    if (v != nullptr) RefPolicy<T>::Unlock(v);
  }
}

bool IndexInRange(REALarray a, int32_t index) {
  const int64_t count = static_cast<int64_t>(HostArrayUBound(a)) + 1;
  if (index >= 0 && index < count) return true;
  RaiseRangeException(index, 0, count, "index", "");
  return false;
}

// own: a is an array the library created (HostArrayCreate).
template <typename T>
void GetElement(REALarray a, int32_t index, T* out, bool own = false) {
  if (a == nullptr || !IndexInRange(a, index)) return;
  if (T* storage = DirectStorage<T>(a)) {
    const T value = storage[index];
    LockValue(value);
    *out = value;
    return;
  }
  if (own) {
    Element<T>::GetOwn(a, index, out);
  } else {
    Element<T>::Get(a, index, out);
  }
}

}  // namespace

REALobject DictionaryNew() {
  return PluginNewInstance("Dictionary");
}

int32_t DictionaryCount(REALobject d) {
  int32_t count = 0;
  return d != nullptr && REALGetPropValueInteger(d, "Count", &count) != 0 ? count : 0;
}

void DictionarySetValue(REALobject d, REALobject key, REALobject value) {
  if (d == nullptr) return;
  std::lock_guard<std::mutex> lock(gDictionaryMutex);
  const DictionaryMethodCache& c = DictionaryMethods(d);
  if (c.setValue != nullptr) c.setValue(d, key, value);
}

REALobject DictionaryGetValue(REALobject d, REALobject key) {
  if (d == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(gDictionaryMutex);
  const DictionaryMethodCache& c = DictionaryMethods(d);
  return c.getValue != nullptr ? c.getValue(d, key) : nullptr;
}

REALobject DictionaryKeyAt(REALobject d, int32_t index) {
  if (d == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(gDictionaryMutex);
  const DictionaryMethodCache& c = DictionaryMethods(d);
  return c.keyAt != nullptr ? c.keyAt(d, index) : nullptr;
}

void DictionaryCacheReset() {
  std::lock_guard<std::mutex> lock(gDictionaryMutex);
  gDictionaryCache.instance = nullptr;
}

REALarray HostArrayCreate(int32_t typeCode, int32_t upperBound) {
  return RuntimeArrayCreateSingleDimBoundedArray(typeCode, upperBound);
}

int32_t HostArrayUBound(REALarray a) {
  return a == nullptr ? -1 : RuntimeUBound(a);
}

template <typename T>
void HostArrayGet(REALarray a, int32_t index, T* out) {
  GetElement(a, index, out);
}
template <typename T>
void HostOwnArrayGet(REALarray a, int32_t index, T* out) {
  GetElement(a, index, out, true);
}
template <typename T>
void HostFreshArraySet(REALarray a, int32_t index, T value) {
  if (a == nullptr) return;
  if (T* storage = DirectStorage<T>(a)) {
    // Lock first: the new value may be alive only through the old element.
    LockValue(value);
    const T old = storage[index];
    storage[index] = T();
    UnlockValue(old);
    storage[index] = value;
    return;
  }
  Element<T>::SetOwn(a, index, value);
}

template <typename T>
void HostArrayInsert(REALarray a, int32_t index, T value) {
  Element<T>::Insert(a, index, value);
}

#define KDT_ARRAY_ACCESS(T)                                        \
  template void HostArrayGet<T>(REALarray, int32_t, T*);           \
  template void HostOwnArrayGet<T>(REALarray, int32_t, T*);        \
  template void HostFreshArraySet<T>(REALarray, int32_t, T value); \
  template void HostArrayInsert<T>(REALarray, int32_t, T value);
KDT_ARRAY_ACCESS(int32_t)
KDT_ARRAY_ACCESS(REALstring)
KDT_ARRAY_ACCESS(REALtext)
KDT_ARRAY_ACCESS(REALobject)
#undef KDT_ARRAY_ACCESS

}  // namespace kdt
