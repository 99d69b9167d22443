#include "ProbeClass.h"

namespace probe {

kdt::ClassRecord* MakeRecord(const char* name, uint32_t dataSize) {
  auto* properties = new kdt::PropertyRecord[2]();
  properties[0].name = "Doubled";
  properties[0].type = "Integer";
  properties[0].flags = 6;
  properties[0].getter = Fn(&Doubled);
  properties[1].name = "CaseSensitive";
  properties[1].type = "Boolean";
  properties[1].flags = 6;
  properties[1].getter = kdt::StandardGetter();
  properties[1].standardGetterOffset = kCaseSensitiveOffset;

  auto* methods = new kdt::MethodRecord[3]();
  methods[0] = {Fn(&Construct), nullptr, kConstructor, 4, {0, 0}};
  methods[1] = {Fn(&Value), nullptr, kValue, 4, {0, 0}};
  methods[2] = {Fn(&GetSlot), Fn(&SetSlot), kSlot, 4, {0, 0}};

  auto* record = new kdt::ClassRecord();
  record->version = 13;
  record->name = name;
  record->dataSize = dataSize;
  record->properties = properties;
  record->propertyCount = 2;
  record->methods = methods;
  record->methodCount = 3;
  record->flags = 4;
  activeRecord = record;
  return record;
}

}  // namespace probe
