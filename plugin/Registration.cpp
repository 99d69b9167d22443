#include "plugin/Registration.h"

#include <cstring>
#include <type_traits>

#include "containers/members/Members.h"
#include "plugin/ClassRecords.h"
#include "plugin/PluginMain.h"
#include "values/ValueTraits.h"

namespace kdt {

#define KDT_ORDER_ROWS(Class, Iterator, Shape, Storage, Key, Value, ...)      \
  {#Class, std::is_same_v<Key, TextKind> || std::is_same_v<Value, TextKind>}, \
      {#Iterator, std::is_same_v<Key, TextKind> || std::is_same_v<Value, TextKind>},
const ClassOrderRow kClassRegistrationOrder[kClassCount] = {KDT_CONTAINER_MEMBERS(KDT_ORDER_ROWS)};
#undef KDT_ORDER_ROWS

void ClassRecordSink::Add(ClassRecord* record) {
  records_.push_back(record);
}

ClassRecord* ClassRecordSink::Find(const char* className) const {
  for (ClassRecord* record : records_) {
    if (std::strcmp(record->name, className) == 0) return record;
  }
  return nullptr;
}

void CollectFamilyClassRecords(ClassRecordSink& sink) {
  ProvideContainerClassRecords(sink);
}

size_t RegisterClassesInOrder(const ClassRecordSink& available) {
  const bool withTextClasses = HostVersion >= kTextClassesHostVersion;
  size_t registered = 0;
  for (bool textPass : {true, false}) {
    if (textPass && !withTextClasses) continue;
    for (const ClassOrderRow& row : kClassRegistrationOrder) {
      if (row.textGated != textPass) continue;
      RegisterClassRecord(available.Find(row.name));
      ++registered;
    }
  }
  return registered;
}

void RegisterFamilyClasses() {
  // Runs inside the host's loading call, where nothing may be thrown back:
  // if the families cannot even build their records, no class is registered.
  try {
    ClassRecordSink available;
    CollectFamilyClassRecords(available);
    RegisterClassesInOrder(available);
  } catch (...) {
  }
}

}  // namespace kdt
