#include "plugin/host/HostEntries.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <tuple>

#include "plugin/PluginMain.h"

namespace kdt {

HostFunction ResolveHostEntry(const char* name) {
  HostResolverFunction resolver = HostResolver;
  return resolver == nullptr ? nullptr : resolver(name);
}

namespace {

template <typename Fn>
struct EntrySignature;

template <typename R, typename... A>
struct EntrySignature<R (*)(A...)> {
  using Result = R;
  template <size_t I>
  using Arg = std::tuple_element_t<I, std::tuple<A...>>;
};

// Under the retry discipline two threads may look an entry up at once; both
// find the same address, so relaxed order is enough.
HostFunction ResolveRetrying(std::atomic<HostFunction>& slot, const char* name,
                             const char* fallback) {
  HostFunction function = slot.load(std::memory_order_relaxed);
  if (function == nullptr) {
    function = ResolveHostEntry(name);
    if (function == nullptr && fallback != nullptr) function = ResolveHostEntry(fallback);
    slot.store(function, std::memory_order_relaxed);
  }
  return function;
}

template <typename R>
R Neutral() {
  return R();
}

template <typename R>
R AsFlag(R result) {
  return result != 0 ? 1 : 0;
}

// Array accessors move one 32-bit word: an element of any of the four types
// is that word as it stands.
template <typename To, typename From>
To WordCast(From value) {
  static_assert(sizeof(To) == 4 && sizeof(From) == 4, "array elements are one word");
  To word;
  std::memcpy(&word, &value, sizeof word);
  return word;
}

template <typename Accessor>
Accessor ArrayAccessor(std::atomic<HostFunction>& slot, const char* name, const char* fallback,
                       REALarray array) {
  // Every *Proc entry has the type of this one.
  auto lookup =
      reinterpret_cast<entry::RuntimeArrayDirectGetGetProc>(ResolveRetrying(slot, name, fallback));
  if (lookup == nullptr) return nullptr;
  return reinterpret_cast<Accessor>(lookup(array));
}

// The accessor for the library's own arrays of one element type, looked up
// for the first of them and kept (retried while the host gives none).
template <typename Accessor>
Accessor OwnArrayAccessor(std::atomic<Accessor>& accessor, std::atomic<HostFunction>& slot,
                          const char* name, const char* fallback, REALarray array) {
  Accessor found = accessor.load(std::memory_order_relaxed);
  if (found != nullptr) return found;
  found = ArrayAccessor<Accessor>(slot, name, fallback, array);
  if (found != nullptr) accessor.store(found, std::memory_order_relaxed);
  return found;
}

}  // namespace

#define KDT_RESULT(name) EntrySignature<entry::name>::Result
#define KDT_ARG(name, i) EntrySignature<entry::name>::Arg<i>
#define KDT_PARAMS_1(name) KDT_ARG(name, 0) a0
#define KDT_PARAMS_2(name) KDT_PARAMS_1(name), KDT_ARG(name, 1) a1
#define KDT_PARAMS_3(name) KDT_PARAMS_2(name), KDT_ARG(name, 2) a2
#define KDT_ARGS_1 a0
#define KDT_ARGS_2 a0, a1
#define KDT_ARGS_3 a0, a1, a2

#define KDT_ONCE_SLOT(name) \
  static const auto slot = reinterpret_cast<entry::name>(ResolveHostEntry(#name))

#define KDT_RETRY_SLOT(name, fallback)             \
  static std::atomic<HostFunction> cache{nullptr}; \
  const auto slot = reinterpret_cast<entry::name>(ResolveRetrying(cache, #name, fallback))

// One definer for the four bindings: which slot, and whether the result is
// narrowed to a flag.
#define KDT_DEFINE_BOUND(name, arity, slotDefinition, narrow) \
  KDT_RESULT(name) name(KDT_PARAMS_##arity(name)) {           \
    slotDefinition;                                           \
    if (slot == nullptr) return Neutral<KDT_RESULT(name)>();  \
    return narrow(slot(KDT_ARGS_##arity));                    \
  }
#define KDT_DEFINE_ONCE(name, fallback, arity) KDT_DEFINE_BOUND(name, arity, KDT_ONCE_SLOT(name), )
#define KDT_DEFINE_ONCE_FLAG(name, fallback, arity) \
  KDT_DEFINE_BOUND(name, arity, KDT_ONCE_SLOT(name), AsFlag)
#define KDT_DEFINE_RETRY(name, fallback, arity) \
  KDT_DEFINE_BOUND(name, arity, KDT_RETRY_SLOT(name, fallback), )
#define KDT_DEFINE_RETRY_FLAG(name, fallback, arity) \
  KDT_DEFINE_BOUND(name, arity, KDT_RETRY_SLOT(name, fallback), AsFlag)
#define KDT_DEFINE_OWN(name, fallback, arity)
#define KDT_DEFINE_WRAPPER(name, bind, fallback, arity, ...) \
  KDT_DEFINE_##bind(name, fallback, arity)
KDT_HOST_ENTRY_LIST(KDT_DEFINE_WRAPPER)

#define KDT_DEFINE_ARRAY_PROCS(Kind, Element)                                                 \
  bool Plugin##Kind##ArrayGetProc(REALarray array, int32_t index, Element* out) {             \
    static std::atomic<HostFunction> cache{nullptr};                                          \
    auto get = ArrayAccessor<entry::ArrayGetAccessor>(cache, "Plugin" #Kind "ArrayGetProc",   \
                                                      "RuntimeArrayDirectGetGetProc", array); \
    if (get == nullptr || out == nullptr) return false;                                       \
    *out = WordCast<Element>(get(array, index));                                              \
    return true;                                                                              \
  }                                                                                           \
  bool Plugin##Kind##OwnArrayGet(REALarray array, int32_t index, Element* out) {              \
    static std::atomic<HostFunction> cache{nullptr};                                          \
    static std::atomic<entry::ArrayGetAccessor> accessor{nullptr};                            \
    auto get = OwnArrayAccessor(accessor, cache, "Plugin" #Kind "ArrayGetProc",               \
                                "RuntimeArrayDirectGetGetProc", array);                       \
    if (get == nullptr || out == nullptr) return false;                                       \
    *out = WordCast<Element>(get(array, index));                                              \
    return true;                                                                              \
  }                                                                                           \
  bool Plugin##Kind##OwnArraySet(REALarray array, int32_t index, Element value) {             \
    static std::atomic<HostFunction> cache{nullptr};                                          \
    static std::atomic<entry::ArraySetAccessor> accessor{nullptr};                            \
    auto set = OwnArrayAccessor(accessor, cache, "Plugin" #Kind "ArraySetProc",               \
                                "RuntimeArrayDirectGetSetProc", array);                       \
    if (set == nullptr) return false;                                                         \
    set(array, WordCast<uint32_t>(value), index);                                             \
    return true;                                                                              \
  }                                                                                           \
  bool Plugin##Kind##ArrayInsertProc(REALarray array, int32_t index, Element value) {         \
    static std::atomic<HostFunction> cache{nullptr};                                          \
    auto insert = ArrayAccessor<entry::ArrayInsertAccessor>(                                  \
        cache, "Plugin" #Kind "ArrayInsertProc", "RuntimeArrayDirectGetInsertProc", array);   \
    if (insert == nullptr) return false;                                                      \
    insert(array, index, WordCast<uint32_t>(value));                                          \
    return true;                                                                              \
  }

KDT_ARRAY_ELEMENT_TYPES(KDT_DEFINE_ARRAY_PROCS)

#define KDT_DEFINE_VARIANT_CONVERSION(name, Result, property, getter) \
  Result name(REALobject variant) {                                   \
    KDT_RETRY_SLOT(name, nullptr);                                    \
    if (slot != nullptr) return slot(variant);                        \
    Result value{};                                                   \
    return getter(variant, property, &value) != 0 ? value : Result{}; \
  }

KDT_VARIANT_CONVERSIONS(KDT_DEFINE_VARIANT_CONVERSION)

int32_t VarType(REALobject variant) {
  static std::atomic<HostFunction> cache{nullptr};
  HostFunction function = cache.load(std::memory_order_relaxed);
  if (function == nullptr) {
    function = REALLoadGlobalMethod(nullptr, "VarType(value As Variant) As Integer");
    cache.store(function, std::memory_order_relaxed);
  }
  if (function != nullptr) return reinterpret_cast<entry::VarTypeMethod>(function)(variant);
  int32_t type = 0;
  return REALGetPropValueInteger(variant, "Type", &type) != 0 ? type : 0;
}

}  // namespace kdt
