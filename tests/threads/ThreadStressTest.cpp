// Containers used on several threads at once, one set of containers per
// thread, as a host program with worker threads uses them: every thread must
// see its own containers behave as if it were alone, and an iterator kept past
// the death of its element must never pass as live while other threads reuse
// what it pointed at.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "containers/storage/PositionRegistry.h"
#include "soak/SoakDriver.h"
#include "standin/host/HostTesting.h"

namespace kdt_test {
namespace {

constexpr int kThreads = 4;
// Random host calls per container (misuse and checks included): 60,000 a
// thread.
constexpr uint64_t kCalls = 20000;

// Each thread drives its own hash map, ordered map and set with the random
// driver (iterators kept and misused, arrays, Dictionary round trips, Clone),
// every result against its own model, while the other threads do the same.
TEST(ThreadStress, ContainersOfDifferentThreadsDoNotMeet) {
  standin::TestHost host;
  const std::vector<Member> members = AllMembers();
  auto member = [&](const std::string& name) {
    for (const Member& m : members)
      if (m.spec.className == name) return &m;
    return &members[0];
  };
  const char* const kinds[] = {"Integer", "String", "Text", "Variant"};
  std::vector<std::unique_ptr<SoakDriver>> drivers;
  for (int t = 0; t < kThreads; ++t) {
    // Each thread uses other key kinds for its three containers.
    std::string hash = kinds[t], ordered = kinds[(t + 1) % 4], set = kinds[(t + 2) % 4];
    uint32_t seed = 1000u + static_cast<uint32_t>(t);
    for (const std::string& name :
         {hash + "To" + hash + "HashMapKDT", ordered + "To" + ordered + "OrderedMapKDT",
          set + (t % 2 == 0 ? "HashSetKDT" : "OrderedSetKDT")}) {
      drivers.push_back(std::make_unique<SoakDriver>(host, *member(name), seed));
      seed += 10;
    }
  }
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int j = 0; j < 3; ++j) drivers[3 * t + j]->Run(kCalls);
    });
  }
  for (auto& th : threads) th.join();
  for (int i = 0; i < 3 * kThreads; ++i) {
    for (const auto& f : drivers[i]->findings) ADD_FAILURE() << "thread " << i / 3 << ": " << f;
    EXPECT_GE(drivers[i]->calls, kCalls);
  }
  drivers.clear();
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
