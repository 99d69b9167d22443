// The set shape: a key (the element) alone.  What sets do beyond the engine
// (insert, the array constructors) and the declarations of every set class,
// from which each member's record is made.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

#include "containers/engine/ClassBuilder.h"
#include "containers/engine/Container.h"

namespace kdt {

template <typename Member>
class SetClass : public Container<Member> {
  using Base = Container<Member>;
  using Base::DataOf;
  using typename Base::Data;
  using typename Base::KeyArg;
  using typename Base::KeyKind;
  using typename Base::TableS;

 public:
  // The array constructors build a case-sensitive set: their declarations
  // give the host no way to pass a mode, and case-sensitive is the other
  // constructor's default.
  static void ConstructFromArray(REALobject self, REALarray elements) {
    FillFromArray<KeyKind>(self, elements);
  }
  // A Variant set from a String array: each String becomes a new Variant.
  static void ConstructFromStringArray(REALobject self, REALarray elements) {
    FillFromArray<StringKind>(self, elements);
  }
  // The element goes in unless an equal one is there, which the set keeps.
  static void Insert(REALobject self, KeyArg key) {
    Data* d = DataOf(self);
    if (!Base::Require(d)) return;
    Base::DropCache(d);
    Base::Dispatch(d, [&](auto& t) {
      typename std::decay_t<decltype(t)>::KT::Probe probe(key);
      t.Insert(probe.get());
    });
  }

  // ---- Declarations.
  // Only Variant sets are made from String arrays.
  static constexpr FunctionMaker kStringArrayConstructor = [] {
    if constexpr (Base::kVariantElements) {
      return FunctionMaker(Guarded<&SetClass::ConstructFromStringArray>);
    } else {
      return FunctionMaker(nullptr);
    }
  }();
  static constexpr Row kMethods[] = {
      Base::template ByCase<&SetClass::ConstructWithCase, &SetClass::Construct>(
          "Constructor(CaseSensitive as Boolean = true)", "Constructor"),
      {"Constructor(Keys() as string)", kStringArrayConstructor, nullptr, When::kVariantElements},
      {"Constructor(Keys() as {K})", Guarded<&SetClass::ConstructFromArray>},
      {"Clear", Guarded<&SetClass::Clear>},
      {"Key(index as integer) as {K}", Guarded<&SetClass::KeyAtIndex>},
      {"Keys as {K}()", Guarded<&SetClass::Keys>},
      Row(Base::kPositionRows),
      {"lookup(key as {K}) as boolean", Guarded<&SetClass::Contains>},
      {"insert(key as {K})", Guarded<&SetClass::Insert>},
      Base::kStorageMethods,
  };
  static constexpr Row kIteratorMethods[] = {
      Row(Base::kIteratorMoveAndKey),
      Row(Base::kIteratorCompare),
  };

 private:
  // An element read from a host array of kind Source, as a stored key that
  // owns the lock the read handed out.
  template <typename Source, typename T>
  static typename T::KT::Stored ElementFrom(typename ValueTraits<Source>::Arg read) {
    using Stored = typename T::KT::Stored;
    if constexpr (std::is_same_v<Source, KeyKind> && std::is_same_v<Stored, int32_t>) {
      return read;
    } else if constexpr (std::is_same_v<Source, KeyKind>) {
      return Stored(read, AdoptLock{});
    } else {
      // A String array for Variant elements: the String is let go once its
      // Variant exists.
      typename ValueTraits<Source>::Stored owned(read, AdoptLock{});
      return Stored(StringToVariant(owned.get()), AdoptLock{});
    }
  }

  // Builds a case-sensitive set from a host array whose elements are of
  // kind Source, then puts it in place of what the set held.
  template <typename Source>
  static void FillFromArray(REALobject self, REALarray elements) {
    if (elements == nullptr) {
      RaiseNilObject(kValuesArrayIsNil);
      return;
    }
    Base::template BuildTable<TableS>(DataOf(self), [&](auto& t) {
      using T = std::decay_t<decltype(t)>;
      int32_t upper = HostArrayUBound(elements);
      for (int32_t i = 0; i <= upper; ++i) {
        typename ValueTraits<Source>::Arg read{};
        ValueTraits<Source>::ArrayGet(elements, i, &read);
        t.InsertStored(ElementFrom<Source, T>(read));
      }
    });
  }
};

}  // namespace kdt
