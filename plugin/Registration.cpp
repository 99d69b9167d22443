#include "plugin/Registration.h"

#include <cstring>

#include "plugin/ClassRecords.h"
#include "plugin/PluginMain.h"

namespace kdt {

// Each container comes before its iterator class; the 16 classes with Text
// keys or values come first.
const ClassOrderRow kClassRegistrationOrder[kClassCount] = {
    {"IntegerToTextHashMapKDT", true},
    {"IntegerToTextHashMapIteratorKDT", true},
    {"IntegerToTextOrderedMapKDT", true},
    {"IntegerToTextOrderedMapIteratorKDT", true},
    {"TextHashSetKDT", true},
    {"TextHashSetIteratorKDT", true},
    {"TextOrderedSetKDT", true},
    {"TextOrderedSetIteratorKDT", true},
    {"TextToTextHashMapKDT", true},
    {"TextToTextHashMapIteratorKDT", true},
    {"TextToTextOrderedMapKDT", true},
    {"TextToTextOrderedMapIteratorKDT", true},
    {"TextToVariantHashMapKDT", true},
    {"TextToVariantHashMapIteratorKDT", true},
    {"TextToVariantOrderedMapKDT", true},
    {"TextToVariantOrderedMapIteratorKDT", true},
    {"IntegerHashSetKDT", false},
    {"IntegerHashSetIteratorKDT", false},
    {"IntegerOrderedSetKDT", false},
    {"IntegerOrderedSetIteratorKDT", false},
    {"IntegerToIntegerHashMapKDT", false},
    {"IntegerToIntegerHashMapIteratorKDT", false},
    {"IntegerToIntegerOrderedMapKDT", false},
    {"IntegerToIntegerOrderedMapIteratorKDT", false},
    {"IntegerToStringHashMapKDT", false},
    {"IntegerToStringHashMapIteratorKDT", false},
    {"IntegerToStringOrderedMapKDT", false},
    {"IntegerToStringOrderedMapIteratorKDT", false},
    {"IntegerToVariantHashMapKDT", false},
    {"IntegerToVariantHashMapIteratorKDT", false},
    {"IntegerToVariantOrderedMapKDT", false},
    {"IntegerToVariantOrderedMapIteratorKDT", false},
    {"StringHashSetKDT", false},
    {"StringHashSetIteratorKDT", false},
    {"StringOrderedSetKDT", false},
    {"StringOrderedSetIteratorKDT", false},
    {"StringToStringHashMapKDT", false},
    {"StringToStringHashMapIteratorKDT", false},
    {"StringToStringOrderedMapKDT", false},
    {"StringToStringOrderedMapIteratorKDT", false},
    {"StringToVariantHashMapKDT", false},
    {"StringToVariantHashMapIteratorKDT", false},
    {"StringToVariantOrderedMapKDT", false},
    {"StringToVariantOrderedMapIteratorKDT", false},
    {"VariantHashSetKDT", false},
    {"VariantHashSetIteratorKDT", false},
    {"VariantOrderedSetKDT", false},
    {"VariantOrderedSetIteratorKDT", false},
    {"VariantToVariantHashMapKDT", false},
    {"VariantToVariantHashMapIteratorKDT", false},
    {"VariantToVariantOrderedMapKDT", false},
    {"VariantToVariantMapIteratorKDT", false},
};

void ClassRecordSink::Add(ClassRecord* record) {
  if (record == nullptr || record->name == nullptr || Find(record->name) != nullptr) return;
  records_.push_back(record);
}

ClassRecord* ClassRecordSink::Find(const char* className) const {
  for (ClassRecord* record : records_) {
    if (std::strcmp(record->name, className) == 0) return record;
  }
  return nullptr;
}

void CollectFamilyClassRecords(ClassRecordSink& sink) {
#define KDT_COLLECT_FAMILY_RECORDS(Family) Provide##Family##ClassRecords(sink);
  KDT_CONTAINER_FAMILIES(KDT_COLLECT_FAMILY_RECORDS)
#undef KDT_COLLECT_FAMILY_RECORDS
  static_cast<void>(sink);
}

size_t RegisterClassesInOrder(const ClassRecordSink& available) {
  const bool withTextClasses = HostVersion >= kTextClassesHostVersion;
  size_t registered = 0;
  for (bool textPass : {true, false}) {
    if (textPass && !withTextClasses) continue;
    for (const ClassOrderRow& row : kClassRegistrationOrder) {
      if (row.textGated != textPass) continue;
      if (ClassRecord* record = available.Find(row.name)) {
        RegisterClassRecord(record);
        ++registered;
      }
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
