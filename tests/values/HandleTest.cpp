// Handles pin their host values with exactly one lock each, whatever is done
// to them; nil is never handed to the host.
#include <gtest/gtest.h>

#include <utility>

#include "tests/values/ValuesTestSupport.h"
#include "values/Handles.h"
#include "values/ValueTraits.h"

namespace {

using namespace kdt;
using kdt_values_test::HostAt;

template <typename H>
void CheckLocks(standin::TestHost& host, typename H::Ref a, typename H::Ref b, const char* lock,
                const char* unlock) {
  auto refs = [&](typename H::Ref r) { return host.RefCount(r); };
  {
    H h(a);
    EXPECT_EQ(refs(a), 2);
    h.hash = 77;
    H copy(h);
    EXPECT_EQ(refs(a), 3);
    EXPECT_EQ(copy.hash, 77u) << "a copied key keeps its hash";

    host.ResetCounters();
    copy = a;
    copy = h;
    EXPECT_EQ(host.Calls(lock) + host.Calls(unlock), 0u) << "same reference: nothing happens";
    EXPECT_EQ(copy.hash, 77u);

    copy = b;
    EXPECT_EQ(refs(a), 2);
    EXPECT_EQ(refs(b), 2);
    EXPECT_EQ(copy.hash, 0u) << "another reference clears the hash";

    H moved(std::move(copy));
    EXPECT_EQ(copy.get(), nullptr);
    EXPECT_EQ(refs(b), 2);
    moved = std::move(h);
    EXPECT_EQ(refs(a), 2);
    EXPECT_EQ(refs(b), 1);

    moved = nullptr;
    EXPECT_EQ(refs(a), 1);

    // Conversions hand over their own lock; probes take none.
    H adopted(a, AdoptLock{});
    ProbeKey<H> probe(b);
    EXPECT_EQ(probe.get().get(), b);
    EXPECT_EQ(refs(b), 1);
    host.ResetCounters();
    adopted.Release();  // gives the reference up without unlocking
    EXPECT_EQ(host.Calls(unlock), 0u);
    EXPECT_EQ(refs(a), 1);
    H fresh(a);
    H owned = H(H(fresh).Release(), AdoptLock{});
    EXPECT_EQ(refs(a), 3);
  }
  EXPECT_EQ(refs(a), 1);
  EXPECT_EQ(refs(b), 1);

  host.ResetCounters();
  {
    H n;
    H n2(nullptr);
    H n3(n2);
    n3 = n;
    n3 = std::move(n2);
    H n4(std::move(n3));
  }
  EXPECT_EQ(host.Calls(lock) + host.Calls(unlock), 0u) << "nil is never locked or unlocked";
}

TEST(Handles, LockCountsOfAllSix) {
  standin::TestHost host(HostAt(2019.0));
  REALstring s1 = host.NewString("one"), s2 = host.NewString("two");
  REALtext t1 = host.NewText("one"), t2 = host.NewText("two");
  REALobject v1 = host.NewVariantInt32(1), v2 = host.NewVariantInt32(2);
  CheckLocks<RBStringS>(host, s1, s2, "REALLockString", "REALUnlockString");
  CheckLocks<RBStringI>(host, s1, s2, "REALLockString", "REALUnlockString");
  CheckLocks<RBTextS>(host, t1, t2, "PluginLockText", "PluginUnlockText");
  CheckLocks<RBTextI>(host, t1, t2, "PluginLockText", "PluginUnlockText");
  CheckLocks<RBVariantS>(host, v1, v2, "REALLockObject", "REALUnlockObject");
  CheckLocks<RBVariantI>(host, v1, v2, "REALLockObject", "REALUnlockObject");
  for (auto r : {standin::W(s1), standin::W(s2), standin::W(t1), standin::W(t2), standin::W(v1),
                 standin::W(v2)})
    host.Release(r);
}

// The traits a container uses to move values between the host and its
// nodes, and between its nodes and a Dictionary.
TEST(Handles, TraitsMoveValuesWithOneLockEach) {
  standin::TestHost host(HostAt(2019.0));
  using StringI = ValueTraits<StringKind, CaseMode::I>;
  using Variant = ValueTraits<VariantKind>;
  using Integer = ValueTraits<IntegerKind>;
  using TextS = ValueTraits<TextKind>;

  REALstring s = host.NewString("Key");
  REALtext t = host.NewText("text");
  REALobject v = host.NewVariantInt32(42);
  {
    StringI::Stored stored = StringI::FromHost(s);
    EXPECT_EQ(host.RefCount(s), 2);
    REALstring out = StringI::ToHost(stored);
    EXPECT_EQ(out, s);
    EXPECT_EQ(host.RefCount(s), 3) << "the returned reference belongs to the caller";
    host.Release(out);
    EXPECT_EQ(StringI::Hash()(stored), StringHashI(s));

    // Into a Dictionary and back.
    REALobject asVariant = StringI::ToVariant(stored);
    EXPECT_EQ(host.VarType(standin::W(asVariant)), standin::kVarString);
    StringI::Stored back = StringI::FromVariant(asVariant);
    EXPECT_TRUE(StringI::Equal()(back, stored));
    host.Release(asVariant);

    REALobject sameVariant = Variant::ToVariant(Variant::FromHost(v));
    EXPECT_EQ(sameVariant, v);
    EXPECT_EQ(host.RefCount(v), 2);
    host.Release(sameVariant);

    REALobject i = Integer::ToVariant(-7);
    EXPECT_EQ(Integer::FromVariant(i), -7);
    EXPECT_EQ(Integer::FromVariant(nullptr), 0);
    host.Release(i);

    REALobject tv = TextS::ToVariant(TextS::FromHost(t));
    TextS::Stored tBack = TextS::FromVariant(tv);
    EXPECT_EQ(tBack.get(), t);
    host.Release(tv);
    EXPECT_EQ(host.RefCount(t), 2);
    EXPECT_EQ(TextS::FromVariant(nullptr).get(), nullptr);
  }
  EXPECT_EQ(host.RefCount(s), 1);
  EXPECT_EQ(host.RefCount(t), 1);
  EXPECT_EQ(host.RefCount(v), 1);
  host.Release(s);
  host.Release(t);
  host.Release(v);
}

}  // namespace
