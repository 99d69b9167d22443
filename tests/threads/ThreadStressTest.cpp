// Containers used on several threads at once, one set of containers per
// thread, as a host program with worker threads uses them: every thread must
// see its own containers behave as if it were alone, and an iterator kept past
// the death of its element must never pass as live while other threads reuse
// what it pointed at.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "containers/storage/PositionRegistry.h"
#include "standin/host/HostTesting.h"
#include "tests/containers/ContainerTestSupport.h"

namespace kdt_test {
namespace {

constexpr int kThreads = 4;
constexpr int kOperations = 20000;
constexpr int kKeys = 40;
constexpr int kKeptIterators = 6;
constexpr int kBurst = 8;
constexpr int kFullEvery = 32;

// One container of a thread, driven against a model of its keys.  A map's
// value for key n is always value number n, so the model is the key set.
class Driven {
 public:
  Driven(Host& host, const Member& m, uint32_t seed)
      : host_(host), s_(m.spec), class_(s_.className), kind_(s_.key), isMap_(!m.set), rng_(seed) {
    for (int n = 0; n < kKeys; ++n) {
      keys_.push_back(Make(host, kind_, "k", n));
      values_.push_back(Make(host, s_.value, "v", n));
    }
    self_ = host.New(
        class_, s_.HasCaseModes() ? "Constructor(CaseSensitive as Boolean = true)" : "Constructor");
    insert_ = isMap_ ? Function("value(key as {K}) as {V}", true) : Function("insert(key as {K})");
    removeKey_ = Function("Remove(key as {K}) as integer");
    has_ = Function(isMap_ ? "hasKey(key as {K}) as boolean" : "lookup(key as {K}) as boolean");
  }
  ~Driven() {
    for (auto& kept : kept_) host_.Release(kept.iterator);
    host_.Release(self_);
  }

  // A walk, the keys array and, for maps, a Dictionary round trip.
  bool Full(std::string* why) {
    return Walk(why) && KeysMatch(why) && (!isMap_ || DictionaryRoundTrip(why));
  }

  // One random operation; false with *why set on the first mismatch.
  bool Step(std::string* why) {
    int n = static_cast<int>(rng_() % kKeys);
    // Weights in 16: 3 insert bursts, 2 remove bursts, 2 lookups, 2 finds, 3
    // full comparisons (or counts).
    static const int kOp[16] = {0, 0, 0, 3, 3, 5, 5, 7, 7, 9, 10, 11, 11, 11, 14, 15};
    switch (kOp[rng_() % 16]) {
      case 0:
        for (int i = 0; i < kBurst; ++i) Insert(static_cast<int>(rng_() % kKeys));
        return Check(why, "insert");
      case 3:
        for (int i = 0; i < kBurst; ++i) {
          n = static_cast<int>(rng_() % kKeys);
          int removed = static_cast<int>(Direct(removeKey_, keys_[n]));
          if (removed != static_cast<int>(model_.erase(n))) return Fail(why, "Remove(key)", n);
          if (removed) ++epoch_[n];
        }
        return Check(why, "Remove(key)");
      case 5: {
        bool found = (Direct(has_, keys_[n]) & 0xFF) != 0;
        if (found != (model_.count(n) == 1)) return Fail(why, "lookup", n);
        if (isMap_ && found && IdOf(Call("value(key as {K}) as {V}", {keys_[n]}).word) != n)
          return Fail(why, "value", n);
        return Check(why, "lookup");
      }
      case 7:
        return Find(n, why);
      case 9:
        return UseKept(why);
      case 10:
        return RemoveKept(why);
      case 11:
        // The full comparisons are dear under emulation: one in kFullEvery.
        return ++skipped_ % kFullEvery == 0 ? Full(why) : CountMatches(why);
      case 14:
        if (rng_() % 8 == 0) {
          // Everything, through a range from first to the end.
          REALobject first = Call("first as {I}").obj(), last = Call("last as {I}").obj();
          Call("Remove(first as {I}, last as {I})", {first, last});
          host_.Release(first);
          host_.Release(last);
          for (int k : model_) ++epoch_[k];
          model_.clear();
        }
        return Check(why, "Remove(first, last)");
      default:
        return CountMatches(why);
    }
  }

 private:
  struct Kept {
    REALobject iterator;
    int key;
    int epoch;
  };

  // Declarations are made once per pattern: allocations are dear in the
  // sanitizer build, and the threads are meant to meet in the library.
  const std::string& Decl(const char* pattern) {
    auto at = decls_.find(pattern);
    return at != decls_.end() ? at->second
                              : decls_.emplace(pattern, s_.Decl(pattern)).first->second;
  }
  standin::Result Call(const char* pattern, std::initializer_list<standin::Arg> args = {}) {
    return host_.Call(self_, Decl(pattern), args);
  }
  standin::Result CallOn(REALobject it, const char* pattern,
                         std::initializer_list<standin::Arg> args = {}) {
    return host_.Call(it, Decl(pattern), args);
  }

  void Insert(int n) {
    Direct(insert_, keys_[n], values_[n]);
    model_.insert(n);
  }
  // Calls a method function directly, as compiled host code does; the
  // plug-in runs without the stand-in's lock the whole time.
  Word Direct(kdt::HostFunction f, Word a, Word b = 0) {
    return reinterpret_cast<Word (*)(Word, Word, Word)>(f)(standin::W(self_), a, b);
  }
  kdt::HostFunction Function(const std::string& pattern, bool setter = false) {
    const standin::MethodInfo* m = host_.FindClass(class_)->FindMethod(s_.Decl(pattern));
    return setter ? m->setter : m->function;
  }

  // The number a key or value made by Make stands for; gives back the
  // reference unless it is borrowed.
  int IdOf(Word w, bool owned = true) {
    if (kind_ == Kind::Integer) return static_cast<int>(w);
    std::string text;
    if (kind_ == Kind::String) text = host_.StringUTF8(reinterpret_cast<REALstring>(w));
    if (kind_ == Kind::Text) text = host_.TextUTF8(reinterpret_cast<REALtext>(w));
    if (kind_ == Kind::Variant) {
      standin::Result s = host_.Get(w, "StringValue");
      text = host_.StringUTF8(s.str());
      host_.Release(s);
    }
    if (owned) host_.Release(w);
    return text.size() > 1 ? std::stoi(text.substr(1)) : -1;
  }

  bool Fail(std::string* why, const char* what, int n = -1) {
    *why = class_ + ": " + what + (n >= 0 ? " of key " + std::to_string(n) : "");
    return false;
  }
  bool Check(std::string* why, const char* what) {
    if (auto e = host_.TakeException()) {
      *why = class_ + ": " + what + " raised " + e->className + " " + e->message;
      return false;
    }
    return true;
  }
  bool CountMatches(std::string* why) {
    if (host_.Get(self_, "Count").i() != static_cast<int>(model_.size())) return Fail(why, "Count");
    return Check(why, "Count");
  }

  // find: a present key's iterator gives the key back; an absent one's equals
  // last.  Some are kept for later, to be used after their element may be gone.
  bool Find(int n, std::string* why) {
    REALobject it = Call("find(key as {K}) as {I}", {keys_[n]}).obj();
    REALobject last = Call("last as {I}").obj();
    bool atEnd = CallOn(it, "isEqual(other as {I}) as boolean", {last}).b();
    host_.Release(last);
    if (atEnd == (model_.count(n) == 1)) return Fail(why, "find", n);
    if (!atEnd && IdOf(CallOn(it, "Key as {K}").word) != n) return Fail(why, "iterator Key", n);
    if (!atEnd && kept_.size() < kKeptIterators) {
      kept_.push_back(Kept{it, n, epoch_[n]});
      return Check(why, "find");
    }
    host_.Release(it);
    return Check(why, "find");
  }

  // A kept iterator whose key was removed since must raise, never give a key.
  bool UseKept(std::string* why) {
    if (kept_.empty()) return true;
    Kept& k = kept_[rng_() % kept_.size()];
    Word key = CallOn(k.iterator, "Key as {K}").word;
    if (k.epoch == epoch_[k.key]) {
      if (IdOf(key) != k.key) return Fail(why, "kept iterator Key", k.key);
      return Check(why, "kept iterator");
    }
    auto e = host_.TakeException();
    if (!e || e->message != "Iterator not initialized") {
      if (!e && kind_ != Kind::Integer) host_.Release(key);
      return Fail(why, "stale iterator passed as live", k.key);
    }
    DropKept(&k);
    return true;
  }

  // Remove(pos) with a kept iterator: removes its element while it lives,
  // raises once it is gone.
  bool RemoveKept(std::string* why) {
    if (kept_.empty()) return true;
    Kept& k = kept_[rng_() % kept_.size()];
    Call("Remove(pos as {I})", {k.iterator});
    bool live = k.epoch == epoch_[k.key];
    if (live) {
      model_.erase(k.key);
      ++epoch_[k.key];
    }
    auto e = host_.TakeException();
    if (live == static_cast<bool>(e)) return Fail(why, "Remove(pos)", k.key);
    DropKept(&k);
    return true;
  }
  void DropKept(Kept* k) {
    host_.Release(k->iterator);
    *k = kept_.back();
    kept_.pop_back();
  }

  // first to last with MoveNext meets every key once.
  bool Walk(std::string* why) {
    REALobject it = Call("first as {I}").obj();
    REALobject last = Call("last as {I}").obj();
    std::set<int> seen;
    bool ok = true;
    for (size_t steps = 0; ok && !CallOn(it, "isEqual(other as {I}) as boolean", {last}).b();
         ++steps) {
      ok = steps < model_.size() && seen.insert(IdOf(CallOn(it, "Key as {K}").word)).second;
      CallOn(it, "MoveNext");
    }
    host_.Release(it);
    host_.Release(last);
    if (!ok || seen != model_) return Fail(why, "walk");
    return Check(why, "walk");
  }

  bool KeysMatch(std::string* why) {
    REALarray keys = Call("Keys as {K}()").obj();
    std::set<int> seen;
    std::vector<Word> elements = host_.Elements(keys);
    for (Word w : elements) seen.insert(IdOf(w, false));
    host_.Release(keys);
    if (seen != model_ || elements.size() != model_.size()) return Fail(why, "Keys");
    return Check(why, "Keys");
  }

  // The map into a Dictionary and back into a new map of the same class.
  bool DictionaryRoundTrip(std::string* why) {
    REALobject dic = Call("Operator_Convert as Dictionary").obj();
    bool same = host_.DictionaryCount(dic) == static_cast<int>(model_.size());
    REALobject copy =
        host_.New(class_,
                  s_.Decl(s_.HasCaseModes()
                              ? "Constructor(dic as dictionary, CaseSensitive as Boolean = true)"
                              : "Constructor(dic as dictionary)"),
                  {dic});
    same = same && host_.Get(copy, "Count").i() == static_cast<int>(model_.size());
    host_.Release(copy);
    host_.Release(dic);
    if (!same) return Fail(why, "Dictionary round trip");
    return Check(why, "Dictionary round trip");
  }

  Host& host_;
  const MemberSpec& s_;
  std::string class_;
  Kind kind_;
  bool isMap_;
  std::mt19937 rng_;
  std::vector<Word> keys_, values_;
  REALobject self_ = nullptr;
  kdt::HostFunction insert_, removeKey_, has_;
  std::set<int> model_;
  std::map<int, int> epoch_;
  std::vector<Kept> kept_;
  int skipped_ = 0;
  std::map<const char*, std::string> decls_;
};

TEST(ThreadStress, ContainersOfDifferentThreadsDoNotMeet) {
  standin::TestHost host;
  const std::vector<Member> members = AllMembers();
  auto member = [&](const std::string& name) {
    for (const Member& m : members)
      if (m.spec.className == name) return &m;
    return &members[0];
  };
  const char* const kinds[] = {"Integer", "String", "Text", "Variant"};
  std::vector<std::unique_ptr<Driven>> driven;
  for (int t = 0; t < kThreads; ++t) {
    // Each thread uses other key kinds for its three containers.
    std::string hash = kinds[t], ordered = kinds[(t + 1) % 4], set = kinds[(t + 2) % 4];
    uint32_t seed = 1000u + static_cast<uint32_t>(t);
    for (const std::string& name :
         {hash + "To" + hash + "HashMapKDT", ordered + "To" + ordered + "OrderedMapKDT",
          set + (t % 2 == 0 ? "HashSetKDT" : "OrderedSetKDT")}) {
      driven.push_back(std::make_unique<Driven>(host, *member(name), seed));
      seed += 10;
    }
  }
  std::vector<std::string> failures(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kOperations && failures[t].empty(); ++i) {
        if (!driven[3 * t + i % 3]->Step(&failures[t]))
          failures[t] += " at operation " + std::to_string(i);
      }
      for (int j = 0; j < 3 && failures[t].empty(); ++j)
        if (!driven[3 * t + j]->Full(&failures[t])) failures[t] += " at the end";
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], "") << "thread " << t;
  driven.clear();
}

// The two kinds of slots a position is made of, driven the same way.
struct Tables {
  static uint32_t Acquire() {
    static int table;
    return kdt::TableRegistry::Acquire(reinterpret_cast<kdt::PositionTable*>(&table),
                                       &kdt::kTableTag<int>);
  }
  static void Release(uint32_t s) { kdt::TableRegistry::Release(s); }
  static bool Live(uint32_t s, uint32_t g) {
    return kdt::TableRegistry::Resolve(s, g, &kdt::kTableTag<int>) != nullptr;
  }
  static uint32_t Generation(uint32_t s) { return kdt::TableRegistry::Generation(s); }
  static void Force(uint32_t s, uint32_t g) { kdt::TableRegistry::SetGenerationForTesting(s, g); }
};
struct Elements {
  static kdt::ElementSlots& Slots() {
    static kdt::ElementSlots slots;
    return slots;
  }
  static uint32_t Acquire() {
    Slots().Reserve();
    return Slots().Acquire(&Slots());
  }
  static void Release(uint32_t s) { Slots().Release(s); }
  static bool Live(uint32_t s, uint32_t g) { return Slots().Resolve(s, g) != nullptr; }
  static uint32_t Generation(uint32_t s) { return Slots().Generation(s); }
  static void Force(uint32_t s, uint32_t g) { Slots().SetGenerationForTesting(s, g); }
};

template <typename T>
class SlotGenerations : public ::testing::Test {};
using SlotKinds = ::testing::Types<Tables, Elements>;
TYPED_TEST_SUITE(SlotGenerations, SlotKinds);

// A slot at its last generation is retired when released, so no position
// handed out for it can ever match again, however often slots are reused.
TYPED_TEST(SlotGenerations, ASlotWhoseGenerationWouldWrapIsRetired) {
  using S = TypeParam;
  uint32_t slot = S::Acquire();
  S::Force(slot, kdt::kLastGeneration - 1);
  ASSERT_TRUE(S::Live(slot, kdt::kLastGeneration - 1));
  S::Release(slot);
  EXPECT_FALSE(S::Live(slot, kdt::kLastGeneration - 1));
  ASSERT_EQ(S::Acquire(), slot) << "a released slot is reused first";
  ASSERT_EQ(S::Generation(slot), kdt::kLastGeneration);
  EXPECT_TRUE(S::Live(slot, kdt::kLastGeneration));
  S::Release(slot);
  std::vector<uint32_t> others;
  for (int i = 0; i < 3; ++i) others.push_back(S::Acquire());
  for (uint32_t g : {kdt::kLastGeneration - 1, kdt::kLastGeneration, 0u, kdt::kFirstGeneration}) {
    EXPECT_FALSE(S::Live(slot, g)) << "generation " << g;
  }
  for (uint32_t o : others) {
    EXPECT_NE(o, slot);
    S::Release(o);
  }
}

}  // namespace
}  // namespace kdt_test
