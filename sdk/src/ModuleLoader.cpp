#include "sdk/ModuleLoader.h"

#include <dlfcn.h>

#include <cstdio>
#include <mutex>

#include "sdk/FunctionPublishing.h"
#include "sdk/HostRelease.h"

// The object behind a module handle: it lives exactly as long as the module is loaded, so a
// handle never outlives (or is confused with) the module it names.
struct HostModule {
    std::string path;
};

namespace {
template <class Fn>
Fn exportedFunction(void* dl, const char* name) {
    // POSIX guarantees that a function's address survives the trip through void*.
    return reinterpret_cast<Fn>(dlsym(dl, name));
}

std::string hexWord(ULONG word) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(word));
    return text;
}

std::string describeVersion(ULONG word) {
    return "release " + std::to_string(word >> 16) + " (API " + std::to_string((word >> 8) & 0xFFu) +
           ", version word " + hexWord(word) + ")";
}

// Interface names are plain identifiers; anything beyond ASCII is shown as '?'.
std::string narrow(const std::wstring& s) {
    std::string out;
    out.reserve(s.size());
    for (const wchar_t c : s) out.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
    return out;
}

struct EventLog {
    std::mutex mutex;
    std::vector<std::string> events;
};

// Never destroyed: modules left loaded until process exit note their destruction after this
// library's own statics would be gone.
EventLog& eventLog() {
    static EventLog* log = new EventLog;
    return *log;
}
}  // namespace

LoadedModule::LoadedModule() = default;

LoadedModule::~LoadedModule() {
    HINSTANCE handle = module_.get();
    if (dllMain_ != nullptr) dllMain_(handle, DLL_PROCESS_DETACH, nullptr);
    UnregisterModuleResources(handle);
    if (dl_ != nullptr) dlclose(dl_);
}

std::unique_ptr<LoadedModule> LoadPluginModule(const std::string& path, std::string& error) {
    error.clear();
    // A second open of a loaded file would hand back the same module without running its static
    // initialisers again, and two owners would both detach and close it.
    if (void* existing = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD)) {
        dlclose(existing);
        error = path + ": this module is already loaded";
        return nullptr;
    }
    dlerror();  // the miss above is not an error of this load

    // Refusals noted before this load belong to someone else.
    TakeRefusedInterfaceNames();
    void* dl = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (dl == nullptr) {
        const char* why = dlerror();
        error = path + ": cannot be loaded: " + (why != nullptr ? why : "unknown error");
        TakeRefusedInterfaceNames();
        return nullptr;
    }
    // The module's static initialisers have run: what they could not publish is noted now.
    std::vector<std::wstring> refused = TakeRefusedInterfaceNames();

    // From here on the module is owned: every refusal below returns null and the destructor
    // detaches, forgets the strings and closes the file.
    std::unique_ptr<LoadedModule> mod(new LoadedModule);
    mod->path_ = path;
    mod->dl_ = dl;
    mod->module_ = std::make_unique<HostModule>();
    mod->module_->path = path;
    HINSTANCE handle = mod->module_.get();

    // The strings must be readable before the entry point runs: it may already look them up.
    RegisterModuleResources(handle, static_cast<const StringTable*>(dlsym(dl, "ModuleStringTable")));

    mod->dllMain_ = exportedFunction<DllMainFn>(dl, "DllMain");
    if (mod->dllMain_ != nullptr && !mod->dllMain_(handle, DLL_PROCESS_ATTACH, nullptr)) {
        error = path + ": its DllMain refused the attach";
        return nullptr;
    }
    for (std::wstring& name : TakeRefusedInterfaceNames()) refused.push_back(std::move(name));

    mod->LibDescription = exportedFunction<LibDescriptionFn>(dl, "LibDescription");
    mod->LibNumberClasses = exportedFunction<LibNumberClassesFn>(dl, "LibNumberClasses");
    mod->LibClassDesc = exportedFunction<LibClassDescFn>(dl, "LibClassDesc");
    mod->LibVersion = exportedFunction<LibVersionFn>(dl, "LibVersion");
    mod->LibInitialize = exportedFunction<LibInitializeFn>(dl, "LibInitialize");
    mod->LibShutdown = exportedFunction<LibShutdownFn>(dl, "LibShutdown");
    const std::pair<const char*, bool> required[] = {
        {"LibDescription", mod->LibDescription != nullptr},
        {"LibNumberClasses", mod->LibNumberClasses != nullptr},
        {"LibClassDesc", mod->LibClassDesc != nullptr},
        {"LibVersion", mod->LibVersion != nullptr},
    };
    for (const auto& [name, present] : required) {
        if (!present) {
            error = path + ": does not export " + name;
            return nullptr;
        }
    }

    const ULONG theirs = mod->LibVersion();
    const ULONG ours = HostVersionWord();
    if (theirs != ours) {
        error = path + ": built for host " + describeVersion(theirs) + ", but this host is " +
                describeVersion(ours);
        return nullptr;
    }

    if (!refused.empty()) {
        error = path + ": publishes the interface name \"" + narrow(refused.front()) +
                "\", which another module has already published";
        for (size_t i = 1; i < refused.size(); ++i) error += ", and \"" + narrow(refused[i]) + "\"";
        return nullptr;
    }
    return mod;
}

ULONG HostVersionWord() { return static_cast<ULONG>(VERSION_3DSMAX); }

void NoteModuleObjectEvent(const char* event) {
    EventLog& log = eventLog();
    std::lock_guard<std::mutex> lock(log.mutex);
    log.events.emplace_back(event != nullptr ? event : "");
}

std::vector<std::string> TakeModuleObjectEvents() {
    EventLog& log = eventLog();
    std::lock_guard<std::mutex> lock(log.mutex);
    std::vector<std::string> events;
    events.swap(log.events);
    return events;
}
