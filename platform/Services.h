#pragma once

#include "platform/Prompter.h"
#include "platform/SettingsStore.h"

namespace corvid {

// The process-wide prompter and settings store. The program installs the real
// ones at start-up; until then (and in the headless tools) prompts go to
// standard error and settings live in memory. Pointers are not owned.
IPrompter& GetPrompter();
void SetPrompter(IPrompter* prompter);

ISettingsStore& GetSettingsStore();
void SetSettingsStore(ISettingsStore* store);

}  // namespace corvid
