#include "values/ValueTraits.h"

#include "plugin/host/HostEntries.h"

namespace kdt {

int32_t IntegerFromVariant(REALobject v) {
  return v == nullptr ? 0 : VariantToInt32(v);
}
REALstring StringFromVariant(REALobject v) {
  return v == nullptr ? nullptr : VariantToString(v);
}
REALtext TextFromVariant(REALobject v) {
  return v == nullptr ? nullptr : VariantToText(v);
}
REALobject ObjectFromVariant(REALobject v) {
  return v == nullptr ? nullptr : VariantToObject(v);
}

REALobject VariantFromInteger(int32_t i) {
  return IntegerToVariant(i);
}
REALobject VariantFromString(REALstring s) {
  return StringToVariant(s);
}
REALobject VariantFromText(REALtext t) {
  return PluginNewVariantText(t);
}

REALobject VariantFromObject(REALobject o) {
  if (o != nullptr) REALLockObject(o);
  return o;
}

}  // namespace kdt
