#pragma once
// Loads plug-in modules (shared objects with the host's exports), checks them, and unloads them.
// A module exports: DllMain, LibDescription, LibNumberClasses, LibClassDesc, LibVersion,
// LibInitialize, LibShutdown, and the data symbol `ModuleStringTable` (a StringTable) for its
// string resources.
#include <memory>
#include <string>

#include "sdk/PluginFrame.h"
#include "sdk/Resources.h"

class LoadedModule {
public:
    ~LoadedModule();  // unloads: DllMain(detach), then the module is closed
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    const std::string& Path() const { return path_; }
    HINSTANCE Handle() const { return handle_; }
    LibDescriptionFn LibDescription = nullptr;
    LibNumberClassesFn LibNumberClasses = nullptr;
    LibClassDescFn LibClassDesc = nullptr;
    LibVersionFn LibVersion = nullptr;
    LibInitializeFn LibInitialize = nullptr;
    LibShutdownFn LibShutdown = nullptr;

private:
    friend std::unique_ptr<LoadedModule> LoadPluginModule(const std::string&, std::string&);
    LoadedModule() = default;
    std::string path_;
    void* dl_ = nullptr;
    HINSTANCE handle_ = nullptr;
    DllMainFn dllMain_ = nullptr;
};

// Loads the module at `path`, calls DllMain(handle, attach) and checks its exports, its LibVersion
// against this host's release and the interface names it published. On failure returns null with
// a message in `error` naming the file and what is wrong; nothing stays loaded.
std::unique_ptr<LoadedModule> LoadPluginModule(const std::string& path, std::string& error);
// The version word this host accepts: (release << 16) + (api << 8) + revision.
ULONG HostVersionWord();
