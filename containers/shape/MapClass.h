// The map shape: a value with every key.  What maps do beyond the engine
// (Dictionary conversion, the keyed value, the iterator's value) and the
// declarations of every map class, from which each member's record is made.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

#include "containers/engine/ClassBuilder.h"
#include "containers/engine/Container.h"

namespace kdt {

template <typename Member>
class MapClass : public Container<Member> {
  using Base = Container<Member>;
  using Base::DataOf;
  using Base::Dispatch;
  using Base::FindKey;
  using typename Base::Data;
  using typename Base::KeyArg;
  using typename Base::ValueArg;
  template <CaseMode M>
  using ValueTraitsOf = typename Base::template ValueTraitsOf<M>;

 public:
  static void ConstructFromDictionaryWithCase(REALobject self, REALobject dic,
                                              uint32_t caseSensitive) {
    Base::Build(DataOf(self), BooleanArgument(caseSensitive),
                [&](auto& t) { FillFromDictionary(t, dic); });
  }
  static void ConstructFromDictionary(REALobject self, REALobject dic) {
    ConstructFromDictionaryWithCase(self, dic, 1);
  }
  static REALobject CloneDictionary(REALobject self) {
    Data* d = DataOf(self);
    if (!Base::HasTable(d)) {
      RaiseNilObject(kOtherMapNotInitialized);
      return nullptr;
    }
    // Every reference the call makes is given back if a conversion fails.
    ObjectHandle dict(DictionaryNew(), AdoptLock{});
    if (dict.get() == nullptr) return nullptr;
    Dispatch(d, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      using V = ValueTraitsOf<T::kMode>;
      Base::ForEach(t, [&](auto at) {
        ObjectHandle k(T::KT::ToVariant(T::KeyOf(at)), AdoptLock{});
        ObjectHandle v(V::ToVariant(T::PayloadOf(at).value), AdoptLock{});
        DictionarySetValue(dict.get(), k.get(), v.get());
      });
    });
    DictionaryCacheReset();
    return dict.Release();
  }

  static ValueArg GetValue(REALobject self, KeyArg key) {
    return Base::template With<ValueArg>(self, ValueArg(), [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      using V = ValueTraitsOf<T::kMode>;
      auto at = FindKey(t, key);
      if (t.IsEnd(at)) {
        RaiseHostException(kKeyNotFoundException, kKeyNotFound);
        return ValueArg();
      }
      return V::ToHost(T::PayloadOf(at).value);
    });
  }
  // The value of an equal key is replaced (the stored key handle stays), or
  // the key goes in with it.
  static void SetValue(REALobject self, KeyArg key, ValueArg value) {
    Data* d = DataOf(self);
    if (!Base::Require(d)) return;
    Base::DropCache(d);
    Dispatch(d, [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      typename T::KT::Probe probe(key);
      T::PayloadOf(t.Insert(probe.get()).first).value = value;
    });
  }
  static ValueArg Lookup(REALobject self, KeyArg key, ValueArg fallback) {
    return Base::template With<ValueArg>(self, ValueArg(), [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      using V = ValueTraitsOf<T::kMode>;
      auto at = FindKey(t, key);
      if (!t.IsEnd(at)) return V::ToHost(T::PayloadOf(at).value);
      return V::Pass(fallback);
    });
  }

  static ValueArg IteratorGetValue(REALobject self) {
    return Base::AtElement(self, ValueArg(), [](auto& t, auto at) {
      using T = std::decay_t<decltype(t)>;
      using V = ValueTraitsOf<T::kMode>;
      return V::ToHost(T::PayloadOf(at).value);
    });
  }
  // Replaces the value in place; the map's array cache is left as it is.
  static void IteratorSetValue(REALobject self, ValueArg value) {
    Base::AtElement(self, 0, [&](auto& t, auto at) {
      std::decay_t<decltype(t)>::PayloadOf(at).value = value;
      return 0;
    });
  }

  // ---- Declarations.
  static constexpr Row kMethods[] = {
      Base::template ByCase<&MapClass::ConstructWithCase, &MapClass::Construct>(
          "Constructor(CaseSensitive as Boolean = true)", "Constructor"),
      Base::template ByCase<&MapClass::ConstructFromDictionaryWithCase,
                            &MapClass::ConstructFromDictionary>(
          "Constructor(dic as dictionary, CaseSensitive as Boolean = true)",
          "Constructor(dic as dictionary)"),
      {"Constructor(other as {C})", Guarded<&MapClass::ConstructFromOther>},
      {"CloneDictionary as Dictionary", Guarded<&MapClass::CloneDictionary>},
      {"Operator_Convert as Dictionary", Guarded<&MapClass::CloneDictionary>},
      {"Clone as {C}", Guarded<&MapClass::Clone>},
      {"Clear", Guarded<&MapClass::Clear>},
      {"ValueAtIndex(index as integer) as {V}", Guarded<&MapClass::ValueAtIndex>},
      {"Key(index as integer) as {K}", Guarded<&MapClass::KeyAtIndex>},
      {"Keys as {K}()", Guarded<&MapClass::Keys>},
      {"Values as {V}()", Guarded<&MapClass::Values>},
      {"AddKeys(targetArray() as {K})", Guarded<&MapClass::AddKeys>},
      {"AddValues(targetArray() as {V})", Guarded<&MapClass::AddValues>},
      Row(Base::kPositionRows),
      {"value(key as {K}) as {V}", Guarded<&MapClass::GetValue>, Guarded<&MapClass::SetValue>},
      {"hasKey(key as {K}) as boolean", Guarded<&MapClass::Contains>},
      {"lookup(key as {K}, defaultvalue as {V}) as {V}", Guarded<&MapClass::Lookup>},
      Base::kStorageMethods,
  };
  static constexpr Row kIteratorMethods[] = {
      Row(Base::kIteratorMoveAndKey),
      {"Value as {V}", Guarded<&MapClass::IteratorGetValue>, Guarded<&MapClass::IteratorSetValue>},
      Row(Base::kIteratorCompare),
  };

 private:
  // Later entries whose keys equal an earlier one replace its value; the
  // map keeps the key handle of the first.
  template <typename T>
  static void FillFromDictionary(T& t, REALobject dic) {
    if (dic == nullptr) return;
    struct CacheReset {
      ~CacheReset() { DictionaryCacheReset(); }
    } reset;
    using V = ValueTraitsOf<T::kMode>;
    int32_t count = DictionaryCount(dic);
    for (int32_t i = 0; i < count; ++i) {
      ObjectHandle k(DictionaryKeyAt(dic, i), AdoptLock{});
      ObjectHandle v(DictionaryGetValue(dic, k.get()), AdoptLock{});
      typename T::KT::Stored key = T::KT::FromVariant(k.get());
      typename V::Stored value = V::FromVariant(v.get());
      T::PayloadOf(t.InsertStored(std::move(key)).first).value = std::move(value);
    }
  }
};

}  // namespace kdt
