#include "values/Handles.h"

#include "plugin/host/HostEntries.h"

namespace kdt {

void StringRefPolicy::Lock(Ref r) {
  REALLockString(r);
}
void StringRefPolicy::Unlock(Ref r) {
  REALUnlockString(r);
}
void TextRefPolicy::Lock(Ref r) {
  PluginLockText(r);
}
void TextRefPolicy::Unlock(Ref r) {
  PluginUnlockText(r);
}
void ObjectRefPolicy::Lock(Ref r) {
  REALLockObject(r);
}
void ObjectRefPolicy::Unlock(Ref r) {
  REALUnlockObject(r);
}

}  // namespace kdt
