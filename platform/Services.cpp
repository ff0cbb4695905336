#include "platform/Services.h"

#include <atomic>

#include "platform/ConsolePrompter.h"
#include "platform/MemorySettingsStore.h"

namespace corvid {

namespace {
CConsolePrompter g_consolePrompter;
CMemorySettingsStore g_memoryStore;
std::atomic<IPrompter*> g_prompter{&g_consolePrompter};
std::atomic<ISettingsStore*> g_store{&g_memoryStore};
}  // namespace

IPrompter& GetPrompter() { return *g_prompter.load(); }
void SetPrompter(IPrompter* prompter) { g_prompter.store(prompter ? prompter : &g_consolePrompter); }

ISettingsStore& GetSettingsStore() { return *g_store.load(); }
void SetSettingsStore(ISettingsStore* store) { g_store.store(store ? store : &g_memoryStore); }

}  // namespace corvid
