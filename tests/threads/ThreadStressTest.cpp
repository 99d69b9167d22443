// Containers used on several threads at once, one set of containers per
// thread, as a host program with worker threads uses them: every thread must
// see its own containers behave as if it were alone, and an iterator kept past
// the death of its element must never pass as live while other threads reuse
// what it pointed at.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "soak/SoakDriver.h"
#include "support/HostTesting.h"

namespace kdt_test {
namespace {

constexpr int kThreads = 4;
// The race detector's run (scripts/race.sh) makes these tests this many
// times shorter.
uint64_t Scaled(uint64_t full) {
  const char* divisor = std::getenv("KDT_THREAD_SCALE");
  const uint64_t d = divisor != nullptr ? std::strtoull(divisor, nullptr, 10) : 1;
  return std::max<uint64_t>(1, full / std::max<uint64_t>(1, d));
}

// Each thread drives its own hash map, ordered map and set with the random
// driver (iterators kept and misused, arrays, Dictionary round trips, Clone),
// every result against its own model, while the other threads do the same.
TEST(ThreadStress, ContainersOfDifferentThreadsDoNotMeet) {
  standin::TestHost host;
  // Random host calls per container (misuse and checks included): 60,000 a
  // thread.
  const uint64_t calls = Scaled(20000);
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
      for (int j = 0; j < 3; ++j) drivers[3 * t + j]->Run(calls);
    });
  }
  for (auto& th : threads) th.join();
  for (int i = 0; i < 3 * kThreads; ++i) {
    for (const auto& f : drivers[i]->findings) ADD_FAILURE() << "thread " << i / 3 << ": " << f;
    EXPECT_GE(drivers[i]->calls, calls);
  }
  drivers.clear();
}

// Each thread turns its own map into a Dictionary and back again and again
// while the others do the same: every copy must hold what its own thread
// put in, and no Dictionary method the host gave out for one Dictionary may
// be called with another (the host records that as a violation).
TEST(ThreadStress, DictionariesOfDifferentThreadsDoNotMeet) {
  standin::TestHost host;
  const uint64_t rounds = Scaled(300);
  constexpr int kEntries = 16;
  const char* const kMap = "IntegerToIntegerHashMapKDT";
  const std::string kValue = "value(key as integer) as integer";
  std::vector<int> wrong(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      Word map = standin::W(host.New(kMap, "Constructor"));
      for (int k = 0; k < kEntries; ++k) host.Assign(map, kValue, {k}, 100 * t + k);
      for (uint64_t r = 0; r < rounds; ++r) {
        Word dict = host.Call(map, "CloneDictionary as Dictionary");
        host.Release(map);
        map = standin::W(host.New(kMap, "Constructor(dic as dictionary)", {dict}));
        host.Release(dict);
        const int k = static_cast<int>(r % kEntries);
        if (host.Get(map, "Count").i() != kEntries ||
            host.Call(map, kValue, {k}).i() != 100 * t + k)
          ++wrong[t];
      }
      host.Release(map);
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
}

}  // namespace
}  // namespace kdt_test
