// Which classes the library registers, in which order, and where their
// records come from.
//
// The order and the Text gate of all 52 classes live in one table
// (kClassRegistrationOrder).  The records themselves belong to the container
// families.  A family plugs in with one function in its own directory,
//
//     void kdt::ProvideHashMapClassRecords(kdt::ClassRecordSink& sink) {
//       sink.Add(record);  // once per class record of the family
//     }
//
// and one line X(HashMap) in KDT_CONTAINER_FAMILIES below.  Registration looks
// each name of the order table up among the records the families added and
// registers the ones it finds, so a family adds its records in any order, and
// a class whose family is not built yet is simply not registered.
#pragma once

#include <cstddef>
#include <vector>

#include "plugin/host/HostTypes.h"

namespace kdt {

class ClassRecordSink {
 public:
  // Null records are ignored; for a name added twice the first record wins.
  void Add(ClassRecord* record);
  ClassRecord* Find(const char* className) const;
  size_t size() const { return records_.size(); }

 private:
  std::vector<ClassRecord*> records_;
};

// The container families built into the library, one X(Family) per family.
// clang-format off
#define KDT_CONTAINER_FAMILIES(X) X(HashMap) X(HashSet) X(OrderedMap) X(OrderedSet)
// clang-format on

#define KDT_DECLARE_FAMILY_RECORDS(Family) \
  void Provide##Family##ClassRecords(ClassRecordSink& sink);
KDT_CONTAINER_FAMILIES(KDT_DECLARE_FAMILY_RECORDS)
#undef KDT_DECLARE_FAMILY_RECORDS

struct ClassOrderRow {
  const char* name;
  bool textGated;  // registered only on hosts that know the Text type
};

constexpr size_t kClassCount = 52;
extern const ClassOrderRow kClassRegistrationOrder[kClassCount];

// Adds the records of every family listed above.
void CollectFamilyClassRecords(ClassRecordSink& sink);

// Registers the records of `available` in table order: the Text-gated classes
// first, and only when HostVersion is at least kTextClassesHostVersion, then
// the others.  Returns how many records were handed to RegisterClassRecord.
size_t RegisterClassesInOrder(const ClassRecordSink& available);

// Collects the families' records and registers them; what PluginEntry does.
void RegisterFamilyClasses();

}  // namespace kdt
