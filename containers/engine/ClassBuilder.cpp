#include "containers/engine/ClassBuilder.h"

namespace kdt {

namespace {

constexpr uint32_t kClassFlags = 4;
constexpr uint32_t kPropertyFlags = 6;
constexpr uint32_t kMethodFlags = 4;
constexpr uint32_t kStoredRecordVersion = 13;

}  // namespace

void FillClassRecord(ClassRecord& record, const TypeWords& words, uint32_t dataSize,
                     HostFunction destructor, PropertyRecord* properties, size_t propertyCount,
                     MethodRecord* methods, size_t methodCount) noexcept {
  record = ClassRecord{};
  record.version = kStoredRecordVersion;
  record.name = words.className;
  record.dataSize = dataSize;
  record.destructor = destructor;
  record.flags = kClassFlags;
  for (size_t i = 0; i < propertyCount; ++i) properties[i].flags = kPropertyFlags;
  if (propertyCount > 0) {
    record.properties = properties;
    record.propertyCount = static_cast<uint32_t>(propertyCount);
  }
  for (size_t i = 0; i < methodCount; ++i) methods[i].flags = kMethodFlags;
  record.methods = methods;
  record.methodCount = static_cast<uint32_t>(methodCount);
}

}  // namespace kdt
