// Value and key handles: a host reference pinned by one lock.  A key handle
// also caches the hash of its value under the functors of its case mode.
//
// The handle types share one template; they differ only in the host lock
// entries they call and in the functors the containers apply to them (S is
// case-sensitive, I case-insensitive).  A value handle is one word and a key
// handle two: containers store millions of them.
#pragma once

#include <cstdint>
#include <utility>

#include "plugin/host/HostEntries.h"

namespace kdt {

enum class CaseMode : uint8_t { S, I };

// Lock policies: how each kind of host reference is pinned and unpinned.
// Callers never pass nil to the host; the handle tests for it.
template <typename R>
struct RefPolicy;
#define KDT_REF_POLICY(R, lock, unlock)      \
  template <>                                \
  struct RefPolicy<R> {                      \
    using Ref = R;                           \
    static void Lock(Ref r) { lock(r); }     \
    static void Unlock(Ref r) { unlock(r); } \
  };
KDT_REF_POLICY(REALstring, REALLockString, REALUnlockString)
KDT_REF_POLICY(REALtext, PluginLockText, PluginUnlockText)
KDT_REF_POLICY(REALobject, REALLockObject, REALUnlockObject)
#undef KDT_REF_POLICY
using StringRefPolicy = RefPolicy<REALstring>;
using TextRefPolicy = RefPolicy<REALtext>;
using ObjectRefPolicy = RefPolicy<REALobject>;

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

  HostHandle(const HostHandle& other) : ref_(other.ref_) {
    if (ref_ != nullptr) Policy::Lock(ref_);
  }
  HostHandle(HostHandle&& other) noexcept : ref_(other.ref_) { other.ref_ = nullptr; }

  HostHandle& operator=(const HostHandle& other) { return Assign(other.ref_); }
  HostHandle& operator=(Ref r) { return Assign(r); }
  HostHandle& operator=(HostHandle&& other) noexcept {
    if (this != &other) {
      Ref old = ref_;
      ref_ = other.ref_;
      other.ref_ = nullptr;
      if (old != nullptr) Policy::Unlock(old);
    }
    return *this;
  }

  ~HostHandle() {
    if (ref_ != nullptr) Policy::Unlock(ref_);
    ref_ = nullptr;
  }

  Ref get() const { return ref_; }

  // Gives the reference up without unlocking it: the caller now owns the
  // lock (or, for a borrowing handle, nothing).
  Ref Release() {
    Ref r = ref_;
    ref_ = nullptr;
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
    return *this;
  }

  Ref ref_ = nullptr;
};

// A key handle: keys never change in place, and a copied key keeps its hash.
template <typename Policy, CaseMode Mode>
class HashedKey : public HostHandle<Policy, Mode> {
  using Base = HostHandle<Policy, Mode>;

 public:
  using Ref = typename Policy::Ref;

  HashedKey() = default;
  HashedKey(Ref r) : Base(r) {}  // NOLINT(google-explicit-constructor)
  HashedKey(Ref r, AdoptLock a) : Base(r, a) {}
  HashedKey(Ref r, BorrowRef b) : Base(r, b) {}
  HashedKey(const HashedKey& other) : Base(other), hash(other.hash) {}
  HashedKey(HashedKey&& other) noexcept : Base(std::move(other)), hash(other.hash) {
    other.hash = 0;
  }
  HashedKey& operator=(const HashedKey&) = delete;
  HashedKey& operator=(HashedKey&&) = delete;

  Ref Release() {
    hash = 0;
    return Base::Release();
  }

  // 0 means not computed yet.  Filled by the hash functors, which only see
  // const keys inside the tables.
  mutable uint32_t hash = 0;
};

// Values: the mode is the container's, the handle the same in both.
using StringValue = HostHandle<StringRefPolicy, CaseMode::S>;
using TextValue = HostHandle<TextRefPolicy, CaseMode::S>;
using VariantValue = HostHandle<ObjectRefPolicy, CaseMode::S>;
// An object reference a call owns: given back on every way out unless the
// call hands it on with Release().
using ObjectHandle = HostHandle<ObjectRefPolicy, CaseMode::S>;
template <CaseMode Mode>
using TextKey = HashedKey<TextRefPolicy, Mode>;

static_assert(sizeof(StringValue) == 4 && sizeof(VariantValue) == 4, "a value is its reference");
static_assert(sizeof(TextKey<CaseMode::I>) == 8, "a Text key is a reference and a hash word");

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
