// Handing class records to the host, and finding an instance's data.
#pragma once

#include <cstdint>

#include "plugin/host/HostTypes.h"

namespace kdt {

// Registers one class through "PluginRegisterClass" in the layout chosen by
// ClassRecordVersion.  The record must stay in place for the life of the
// process: the host keeps pointers into it and writes its instance-data
// offset into `dataOffset`.  The instance data size is first rounded up to a
// multiple of 16.  For hosts that read version 9, the first 100 bytes of the
// record are overwritten with the short layout before registration; a class
// whose short copy cannot be allocated is not registered.
void RegisterClassRecord(ClassRecord* record);

// The 25-word record of version 9 for `record`: word 0 is ClassRecordVersion,
// the property, method and entry arrays are new arrays of the shorter entries
// (null where the source has none), words 16 and 17 are 0.  Returns 100 bytes
// from PluginAlloc (free with PluginFree; the short arrays it points to are
// meant to live for the life of the process), or null when memory runs out,
// in which case nothing stays allocated.
uint32_t* MakeVersion9ClassRecord(const ClassRecord& record);

// Where the library's data start inside an instance of the class of
// `record`.  The offset is the one the host wrote into the record when the
// class was registered; it is read on every call, never remembered.
inline void* InstanceDataAddress(REALobject instance, const ClassRecord& record) {
  return reinterpret_cast<unsigned char*>(instance) + record.dataOffset;
}

template <typename Data>
Data* InstanceData(REALobject instance, const ClassRecord& record) {
  return static_cast<Data*>(InstanceDataAddress(instance, record));
}

}  // namespace kdt
