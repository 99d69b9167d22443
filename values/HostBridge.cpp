#include "values/HostBridge.h"

#include <mutex>

#include "errors/Exceptions.h"
#include "plugin/PluginMain.h"
#include "plugin/host/HostEntries.h"

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

// How elements of each type are pinned and reached through the host.
template <typename T>
struct Element;

template <>
struct Element<int32_t> {
  static void Lock(int32_t) {}
  static void Unlock(int32_t) {}
  static void Get(REALarray a, int32_t i, int32_t* out) { PluginIntegerArrayGetProc(a, i, out); }
  static void GetOwn(REALarray a, int32_t i, int32_t* out) { PluginIntegerOwnArrayGet(a, i, out); }
  static void SetOwn(REALarray a, int32_t i, int32_t v) { PluginIntegerOwnArraySet(a, i, v); }
  static void Set(REALarray a, int32_t i, int32_t v) { PluginIntegerArraySetProc(a, i, v); }
  static void Insert(REALarray a, int32_t i, int32_t v) { PluginIntegerArrayInsertProc(a, i, v); }
};

template <>
struct Element<REALstring> {
  static void Lock(REALstring v) {
    if (v != nullptr) REALLockString(v);
  }
  static void Unlock(REALstring v) {
    if (v != nullptr) REALUnlockString(v);
  }
  static void Get(REALarray a, int32_t i, REALstring* out) { PluginStringArrayGetProc(a, i, out); }
  static void GetOwn(REALarray a, int32_t i, REALstring* out) {
    PluginStringOwnArrayGet(a, i, out);
  }
  static void SetOwn(REALarray a, int32_t i, REALstring v) { PluginStringOwnArraySet(a, i, v); }
  static void Set(REALarray a, int32_t i, REALstring v) { PluginStringArraySetProc(a, i, v); }
  static void Insert(REALarray a, int32_t i, REALstring v) { PluginStringArrayInsertProc(a, i, v); }
};

template <>
struct Element<REALtext> {
  static void Lock(REALtext v) {
    if (v != nullptr) PluginLockText(v);
  }
  static void Unlock(REALtext v) {
    if (v != nullptr) PluginUnlockText(v);
  }
  static void Get(REALarray a, int32_t i, REALtext* out) { PluginTextArrayGetProc(a, i, out); }
  static void GetOwn(REALarray a, int32_t i, REALtext* out) { PluginTextOwnArrayGet(a, i, out); }
  static void SetOwn(REALarray a, int32_t i, REALtext v) { PluginTextOwnArraySet(a, i, v); }
  static void Set(REALarray a, int32_t i, REALtext v) { PluginTextArraySetProc(a, i, v); }
  static void Insert(REALarray a, int32_t i, REALtext v) { PluginTextArrayInsertProc(a, i, v); }
};

template <>
struct Element<REALobject> {
  static void Lock(REALobject v) {
    if (v != nullptr) REALLockObject(v);
  }
  static void Unlock(REALobject v) {
    if (v != nullptr) REALUnlockObject(v);
  }
  static void Get(REALarray a, int32_t i, REALobject* out) { PluginObjectArrayGetProc(a, i, out); }
  static void GetOwn(REALarray a, int32_t i, REALobject* out) {
    PluginObjectOwnArrayGet(a, i, out);
  }
  static void SetOwn(REALarray a, int32_t i, REALobject v) { PluginObjectOwnArraySet(a, i, v); }
  static void Set(REALarray a, int32_t i, REALobject v) { PluginObjectArraySetProc(a, i, v); }
  static void Insert(REALarray a, int32_t i, REALobject v) { PluginObjectArrayInsertProc(a, i, v); }
};

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
    Element<T>::Lock(value);
    *out = value;
    return;
  }
  if (own) {
    Element<T>::GetOwn(a, index, out);
  } else {
    Element<T>::Get(a, index, out);
  }
}

// fresh: a was just made by HostArrayCreate and index is within it.
template <typename T>
void SetElement(REALarray a, int32_t index, T value, bool fresh = false) {
  if (a == nullptr || (!fresh && !IndexInRange(a, index))) return;
  if (T* storage = DirectStorage<T>(a)) {
    // Lock first: the new value may be alive only through the old element.
    Element<T>::Lock(value);
    const T old = storage[index];
    storage[index] = T();
    Element<T>::Unlock(old);
    storage[index] = value;
    return;
  }
  if (fresh) {
    Element<T>::SetOwn(a, index, value);
  } else {
    Element<T>::Set(a, index, value);
  }
}

}  // namespace

REALobject DictionaryNew() {
  return PluginNewInstance("Dictionary");
}

int32_t DictionaryCount(REALobject d) {
  if (d == nullptr) return 0;
  int32_t count = 0;
  if (REALGetPropValueInteger(d, "Count", &count) == 0) return 0;
  return count;
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

void HostArrayGet(REALarray a, int32_t index, int32_t* out) {
  GetElement(a, index, out);
}
void HostArrayGet(REALarray a, int32_t index, REALstring* out) {
  GetElement(a, index, out);
}
void HostArrayGet(REALarray a, int32_t index, REALtext* out) {
  GetElement(a, index, out);
}
void HostArrayGet(REALarray a, int32_t index, REALobject* out) {
  GetElement(a, index, out);
}
void HostOwnArrayGet(REALarray a, int32_t index, int32_t* out) {
  GetElement(a, index, out, true);
}
void HostOwnArrayGet(REALarray a, int32_t index, REALstring* out) {
  GetElement(a, index, out, true);
}
void HostOwnArrayGet(REALarray a, int32_t index, REALtext* out) {
  GetElement(a, index, out, true);
}
void HostOwnArrayGet(REALarray a, int32_t index, REALobject* out) {
  GetElement(a, index, out, true);
}
void HostFreshArraySet(REALarray a, int32_t index, int32_t value) {
  SetElement(a, index, value, true);
}
void HostFreshArraySet(REALarray a, int32_t index, REALstring value) {
  SetElement(a, index, value, true);
}
void HostFreshArraySet(REALarray a, int32_t index, REALtext value) {
  SetElement(a, index, value, true);
}
void HostFreshArraySet(REALarray a, int32_t index, REALobject value) {
  SetElement(a, index, value, true);
}
void HostArraySet(REALarray a, int32_t index, int32_t value) {
  SetElement(a, index, value);
}
void HostArraySet(REALarray a, int32_t index, REALstring value) {
  SetElement(a, index, value);
}
void HostArraySet(REALarray a, int32_t index, REALtext value) {
  SetElement(a, index, value);
}
void HostArraySet(REALarray a, int32_t index, REALobject value) {
  SetElement(a, index, value);
}
void HostArrayInsert(REALarray a, int32_t index, int32_t value) {
  Element<int32_t>::Insert(a, index, value);
}
void HostArrayInsert(REALarray a, int32_t index, REALstring value) {
  Element<REALstring>::Insert(a, index, value);
}
void HostArrayInsert(REALarray a, int32_t index, REALtext value) {
  Element<REALtext>::Insert(a, index, value);
}
void HostArrayInsert(REALarray a, int32_t index, REALobject value) {
  Element<REALobject>::Insert(a, index, value);
}

}  // namespace kdt
