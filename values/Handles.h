// Key and value handles: a host reference pinned by one lock, plus the cached
// hash of the value under the functors of the handle's case mode.
//
// The six handle types share one template; they differ only in the host lock
// entries they call and in the functors the containers apply to them (S is
// case-sensitive, I case-insensitive).  A handle is two words: containers
// store millions of them.
#pragma once

#include <cstdint>

#include "plugin/host/HostTypes.h"

namespace kdt {

enum class CaseMode : uint8_t { S, I };

// Lock policies: how each kind of host reference is pinned and unpinned.
// Callers never pass nil to the host; the handle tests for it.
struct StringRefPolicy {
  using Ref = REALstring;
  static void Lock(Ref r);
  static void Unlock(Ref r);
};
struct TextRefPolicy {
  using Ref = REALtext;
  static void Lock(Ref r);
  static void Unlock(Ref r);
};
struct ObjectRefPolicy {
  using Ref = REALobject;
  static void Lock(Ref r);
  static void Unlock(Ref r);
};

// Tag for building a handle that takes over a lock the caller already owns
// (a reference returned by a host conversion) instead of adding one.
struct AdoptLock {};
// Tag for building a handle that holds a borrowed reference without a lock;
// such a handle must give its reference up with Release() before it dies.
struct BorrowRef {};

template <typename Policy, CaseMode Mode>
class HostHandle {
 public:
  using Ref = typename Policy::Ref;
  using RefPolicy = Policy;
  static constexpr CaseMode kMode = Mode;

  HostHandle() = default;
  // Implicit on purpose: containers build keys straight from host arguments.
  HostHandle(Ref r) : ref_(r) {  // NOLINT(google-explicit-constructor)
    if (ref_ != nullptr) Policy::Lock(ref_);
  }
  HostHandle(Ref r, AdoptLock) : ref_(r) {}
  HostHandle(Ref r, BorrowRef) : ref_(r) {}

  // A copied key keeps its cached hash.
  HostHandle(const HostHandle& other) : ref_(other.ref_), hash(other.hash) {
    if (ref_ != nullptr) Policy::Lock(ref_);
  }
  HostHandle(HostHandle&& other) noexcept : ref_(other.ref_), hash(other.hash) {
    other.ref_ = nullptr;
    other.hash = 0;
  }

  HostHandle& operator=(const HostHandle& other) { return Assign(other.ref_); }
  HostHandle& operator=(Ref r) { return Assign(r); }
  HostHandle& operator=(HostHandle&& other) noexcept {
    if (this != &other) {
      Ref old = ref_;
      ref_ = other.ref_;
      hash = other.hash;
      other.ref_ = nullptr;
      other.hash = 0;
      if (old != nullptr) Policy::Unlock(old);
    }
    return *this;
  }

  ~HostHandle() {
    hash = 0;
    if (ref_ != nullptr) Policy::Unlock(ref_);
    ref_ = nullptr;
  }

  Ref get() const { return ref_; }

  // Gives the reference up without unlocking it: the caller now owns the
  // lock (or, for a borrowing handle, nothing).
  Ref Release() {
    Ref r = ref_;
    ref_ = nullptr;
    hash = 0;
    return r;
  }

 private:
  HostHandle& Assign(Ref r) {
    if (r == ref_) return *this;
    // Lock the newcomer first: it may only be alive through the old one.
    if (r != nullptr) Policy::Lock(r);
    Ref old = ref_;
    ref_ = nullptr;
    if (old != nullptr) Policy::Unlock(old);
    ref_ = r;
    hash = 0;
    return *this;
  }

  Ref ref_ = nullptr;

 public:
  // 0 means not computed yet.  Filled by the hash functors, which only see
  // const keys inside the tables.
  mutable uint32_t hash = 0;
};

using RBStringS = HostHandle<StringRefPolicy, CaseMode::S>;
using RBStringI = HostHandle<StringRefPolicy, CaseMode::I>;
using RBTextS = HostHandle<TextRefPolicy, CaseMode::S>;
using RBTextI = HostHandle<TextRefPolicy, CaseMode::I>;
using RBVariantS = HostHandle<ObjectRefPolicy, CaseMode::S>;
// An object reference a call owns: given back on every way out unless the
// call hands it on with Release().
using ObjectHandle = HostHandle<ObjectRefPolicy, CaseMode::S>;
using RBVariantI = HostHandle<ObjectRefPolicy, CaseMode::I>;

static_assert(sizeof(RBStringS) == 8 && sizeof(RBTextI) == 8 && sizeof(RBVariantS) == 8,
              "a handle is a reference and a hash word");

// A lookup key made from a borrowed host argument: no lock is taken or
// dropped, so probing a table costs no host calls beyond hashing.
template <typename Handle>
class ProbeKey {
 public:
  explicit ProbeKey(typename Handle::Ref r) : key_(r, BorrowRef{}) {}
  ~ProbeKey() { key_.Release(); }
  ProbeKey(const ProbeKey&) = delete;
  ProbeKey& operator=(const ProbeKey&) = delete;
  const Handle& get() const { return key_; }

 private:
  Handle key_;
};

}  // namespace kdt
