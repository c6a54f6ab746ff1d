#pragma once
// The host's plug-in session: loads every plug-in module of a folder, creates and starts their
// global utility plug-ins through the class descriptors, owns them, and at the end puts the host
// back to an empty state and unloads everything in the reverse order.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sdk/ModuleLoader.h"
#include "sdk/PluginFrame.h"

namespace velmora::host {

class HostSession {
public:
    HostSession() = default;
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Loads every `*.gup` file of `dir` in name order: module loaded and checked, LibInitialize,
    // then every global utility class of the module created and started; an object whose Start
    // does not answer "keep" is deleted at once. Stops at the first failure with `error` naming the
    // file; modules loaded before it stay loaded. A folder without modules is a failure.
    bool loadPlugins(const std::filesystem::path& dir, std::string& error);

    // Leaves every command mode, clears the scene and the undo history (their records may belong
    // to plug-ins), stops and deletes the plug-in objects, shuts the modules down and unloads
    // them, newest first. Called by the destructor; safe to call twice.
    void shutdown();

    // Paths of the loaded modules, in load order.
    std::vector<std::string> modulePaths() const;
    // Number of plug-in objects kept after Start.
    int pluginObjectCount() const;

private:
    struct Module {
        std::unique_ptr<LoadedModule> module;
        std::vector<GUP*> objects;
    };
    std::vector<Module> modules_;
};

// The plug-in folders to try when none is given: `../plugins` next to the executable, then the
// folder compiled into the build.
std::vector<std::filesystem::path> defaultPluginDirs(const std::filesystem::path& executable);
// The first of defaultPluginDirs that holds a `*.gup` module; the build's folder when none does
// (loading then reports that it has no modules).
std::filesystem::path choosePluginDir(const std::filesystem::path& executable);
// True when `dir` holds at least one `*.gup` file.
bool hasPluginModules(const std::filesystem::path& dir);

}  // namespace velmora::host
