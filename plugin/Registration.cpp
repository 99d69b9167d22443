#include "plugin/Registration.h"

#include <type_traits>

#include "containers/members/Members.h"
#include "plugin/ClassRecords.h"
#include "plugin/PluginMain.h"
#include "values/ValueTraits.h"

namespace kdt {

// Whether each class holds Text, in the order the records are offered.
#define KDT_TEXT_GATED(Class, Iterator, Shape, Storage, Key, Value, ...) \
  std::is_same_v<Key, TextKind> || std::is_same_v<Value, TextKind>,      \
      std::is_same_v<Key, TextKind> || std::is_same_v<Value, TextKind>,
constexpr bool kTextGated[kClassCount] = {KDT_CONTAINER_MEMBERS(KDT_TEXT_GATED)};
#undef KDT_TEXT_GATED

void CollectFamilyClassRecords(ClassRecordSink& sink) noexcept {
  ProvideContainerClassRecords(sink);
}

size_t RegisterClassesInOrder(const ClassRecordSink& available) {
  const bool withTextClasses = HostHasText();
  size_t registered = 0;
  for (bool textPass : {true, false}) {
    if (textPass && !withTextClasses) continue;
    for (size_t i = 0; i < kClassCount; ++i) {
      if (kTextGated[i] != textPass) continue;
      RegisterClassRecord(available.at(i));
      ++registered;
    }
  }
  return registered;
}

void RegisterFamilyClasses() {
  // The records have their places in static storage: collecting them
  // allocates nothing and cannot fail.
  ClassRecordSink available;
  CollectFamilyClassRecords(available);
  RegisterClassesInOrder(available);
}

}  // namespace kdt
