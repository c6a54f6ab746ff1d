#include "host/HostSession.h"

#include <algorithm>
#include <system_error>

#include "host/TextCodec.h"
#include "sdk/Interface.h"
#include "sdk/Scene.h"

namespace velmora::host {

namespace {

// The `*.gup` files of a folder, in name order.
std::vector<std::filesystem::path> moduleFiles(const std::filesystem::path& dir, std::error_code& ec) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code fileEc;
        if (it->path().extension() == ".gup" && it->is_regular_file(fileEc)) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

HostSession::~HostSession() { shutdown(); }

bool HostSession::loadPlugins(const std::filesystem::path& dir, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        error = dir.string() + ": no such plug-in folder";
        return false;
    }
    const std::vector<fs::path> files = moduleFiles(dir, ec);
    if (ec) {
        error = dir.string() + ": cannot list the plug-in folder: " + ec.message();
        return false;
    }
    if (files.empty()) {
        error = dir.string() + ": no plug-in modules (*.gup) in this folder";
        return false;
    }
    for (const fs::path& file : files) {
        std::string loadError;
        std::unique_ptr<LoadedModule> lm = LoadPluginModule(file.string(), loadError);
        if (!lm) {
            error = loadError.empty() ? file.string() + ": cannot load the module" : loadError;
            return false;
        }
        if (lm->LibInitialize && lm->LibInitialize() == 0) {
            error = file.string() + ": LibInitialize reported a failure";
            return false;
        }
        Module m;
        m.module = std::move(lm);
        const int classes = m.module->LibNumberClasses ? m.module->LibNumberClasses() : 0;
        for (int i = 0; i < classes; ++i) {
            ClassDesc* cd = m.module->LibClassDesc ? m.module->LibClassDesc(i) : nullptr;
            if (!cd || cd->SuperClassID() != GUP_CLASS_ID) continue;
            auto* gup = static_cast<GUP*>(cd->Create(FALSE));
            if (!gup) {
                const MCHAR* name = cd->ClassName();
                error = file.string() + ": the class descriptor " + (name ? narrow(name) : std::to_string(i)) +
                        " created no object";
                modules_.push_back(std::move(m));
                return false;
            }
            if (gup->Start() == GUPRESULT_KEEP) {
                m.objects.push_back(gup);
            } else {
                gup->DeleteThis();
            }
        }
        modules_.push_back(std::move(m));
    }
    return true;
}

void HostSession::shutdown() {
    if (modules_.empty()) return;
    // Modes, redraw callbacks and undo records are plug-in objects: let go of them while their code
    // is still loaded.
    GetCOREInterface()->Reset();
    for (auto m = modules_.rbegin(); m != modules_.rend(); ++m) {
        for (auto o = m->objects.rbegin(); o != m->objects.rend(); ++o) {
            (*o)->Stop();
            (*o)->DeleteThis();
        }
        m->objects.clear();
        if (m->module->LibShutdown) m->module->LibShutdown();
        m->module.reset();
    }
    modules_.clear();
}

std::vector<std::string> HostSession::modulePaths() const {
    std::vector<std::string> out;
    for (const Module& m : modules_) out.push_back(m.module->Path());
    return out;
}

int HostSession::pluginObjectCount() const {
    int n = 0;
    for (const Module& m : modules_) n += static_cast<int>(m.objects.size());
    return n;
}

std::vector<std::filesystem::path> defaultPluginDirs(const std::filesystem::path& executable) {
    std::vector<std::filesystem::path> dirs;
    if (!executable.empty()) dirs.push_back(executable.parent_path().parent_path() / "plugins");
#ifdef VELMORA_DEFAULT_PLUGIN_DIR
    dirs.emplace_back(VELMORA_DEFAULT_PLUGIN_DIR);
#endif
    return dirs;
}

bool hasPluginModules(const std::filesystem::path& dir) {
    std::error_code ec;
    return !moduleFiles(dir, ec).empty();
}

std::filesystem::path choosePluginDir(const std::filesystem::path& executable) {
    const std::vector<std::filesystem::path> dirs = defaultPluginDirs(executable);
    for (const std::filesystem::path& d : dirs) {
        if (hasPluginModules(d)) return d;
    }
    return dirs.empty() ? std::filesystem::path() : dirs.back();
}

}  // namespace velmora::host
