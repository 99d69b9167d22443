// Which classes the library registers, in which order, and where their
// records come from.
//
// The order of all 52 classes is the order of the member table
// (containers/members/Members.h), each container before its iterator class;
// a class with Text keys or values is registered only on hosts that know the
// Text type.  The records are built by ProvideContainerClassRecords, which
// offers them in that order.
#pragma once

#include <cstddef>

#include "plugin/host/HostTypes.h"

namespace kdt {

constexpr size_t kClassCount = 52;

class ClassRecordSink {
 public:
  void Add(ClassRecord* record) noexcept { records_[size_++] = record; }
  ClassRecord* at(size_t i) const { return records_[i]; }
  size_t size() const { return size_; }

 private:
  ClassRecord* records_[kClassCount] = {};
  size_t size_ = 0;
};

// Adds the records of every member of the member table.
void ProvideContainerClassRecords(ClassRecordSink& sink) noexcept;

// Adds the records of every container class and its iterator class.
void CollectFamilyClassRecords(ClassRecordSink& sink) noexcept;

// Registers the records of `available` in table order: the Text-gated classes
// first, and only when the host has the Text type (HostHasText), then
// the others.  Returns how many records were handed to RegisterClassRecord.
size_t RegisterClassesInOrder(const ClassRecordSink& available);

// Collects the families' records and registers them; what PluginEntry does.
void RegisterFamilyClasses();

}  // namespace kdt
