#include "platform/settings_store.h"

namespace platform {
namespace {

NullSettingsStore nullStore;
SettingsStore* currentStore = &nullStore;

}  // namespace

SettingsStore* SetSettingsStore(SettingsStore* store)
{
    SettingsStore* previous = currentStore;
    currentStore = store ? store : &nullStore;
    return previous;
}

SettingsStore& CurrentSettingsStore()
{
    return *currentStore;
}

}  // namespace platform
