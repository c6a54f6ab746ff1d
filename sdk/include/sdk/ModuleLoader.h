#pragma once
// Loads plug-in modules (shared objects with the host's exports), checks them, and unloads them.
// A module exports: DllMain, LibDescription, LibNumberClasses, LibClassDesc, LibVersion,
// LibInitialize, LibShutdown, and the data symbol `ModuleStringTable` (a StringTable) for its
// string resources.
#include <memory>
#include <string>
#include <vector>

#include "sdk/PluginFrame.h"
#include "sdk/Resources.h"

class LoadedModule {
public:
    // Unloads: DllMain(detach), the string resources forgotten, then the module is closed (its
    // static objects are destroyed here). Everything the module handed out (class descriptors,
    // objects it created, command modes it pushed) must be gone or left before.
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    const std::string& Path() const { return path_; }
    // The module handle: valid while this object lives.
    HINSTANCE Handle() const { return module_.get(); }
    LibDescriptionFn LibDescription = nullptr;
    LibNumberClassesFn LibNumberClasses = nullptr;
    LibClassDescFn LibClassDesc = nullptr;
    LibVersionFn LibVersion = nullptr;
    LibInitializeFn LibInitialize = nullptr;  // optional export
    LibShutdownFn LibShutdown = nullptr;      // optional export

private:
    friend std::unique_ptr<LoadedModule> LoadPluginModule(const std::string&, std::string&);
    LoadedModule();
    std::string path_;
    void* dl_ = nullptr;
    std::unique_ptr<HostModule> module_;
    DllMainFn dllMain_ = nullptr;
};

// Loads the module at `path`: opens it (its static objects are constructed), registers its string
// table under a new module handle, calls DllMain(handle, attach), reads its exports and checks its
// LibVersion against this host's release and the interface names it published. A file that is
// already loaded, lacks LibDescription, LibNumberClasses, LibClassDesc or LibVersion, whose DllMain
// fails, that names another release or publishes an interface name already taken is refused:
// returns null with a message in `error` naming the file and what is wrong; nothing stays loaded.
std::unique_ptr<LoadedModule> LoadPluginModule(const std::string& path, std::string& error);
// The version word this host accepts: (release << 16) + (api << 8) + revision.
ULONG HostVersionWord();

// Lifetime notes of a module's long-lived static objects ("construct X", "destroy X"), so that a
// host or a test can check what a load built and an unload destroyed, and in which order.
void NoteModuleObjectEvent(const char* event);
// The notes since the last call, oldest first.
std::vector<std::string> TakeModuleObjectEvents();
