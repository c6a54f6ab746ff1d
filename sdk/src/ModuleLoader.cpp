#include "sdk/ModuleLoader.h"
// Placeholder until the module loader lands.
LoadedModule::~LoadedModule() = default;
std::unique_ptr<LoadedModule> LoadPluginModule(const std::string& path, std::string& error) {
    error = path + ": module loading is not available yet";
    return nullptr;
}
ULONG HostVersionWord() { return 0; }
