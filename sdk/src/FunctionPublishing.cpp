#include "sdk/FunctionPublishing.h"

#include <algorithm>
#include <mutex>

namespace {
struct Registry {
    std::mutex mutex;
    std::vector<FPInterfaceDesc*> interfaces;
    std::vector<std::wstring> refused;
};

// Never destroyed: interface descriptors are static objects of modules that may be unloaded
// during process exit, after this library's own statics would be gone.
Registry& registry() {
    static Registry* r = new Registry;
    return *r;
}
}  // namespace

FPInterfaceDesc::FPInterfaceDesc(Interface_ID id, const MCHAR* internalName, StringResID /*description*/,
                                 ClassDesc* /*cd*/, ULONG flags)
    : id_(id), name_(internalName != nullptr ? internalName : L""), flags_(flags) {
    if ((flags & FP_CORE) == 0) return;
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    const bool taken = std::any_of(r.interfaces.begin(), r.interfaces.end(), [&](const FPInterfaceDesc* d) {
        return d->id_ == id_ || d->name_ == name_;
    });
    if (taken) {
        r.refused.push_back(name_);
        return;
    }
    r.interfaces.push_back(this);
    registered_ = true;
}

FPInterfaceDesc::~FPInterfaceDesc() {
    if (!registered_) return;
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.interfaces.erase(std::remove(r.interfaces.begin(), r.interfaces.end(), this), r.interfaces.end());
}

void FPInterfaceDesc::AppendFunction(FunctionID id, const MCHAR* internalName, StringResID description,
                                     ParamType2 resultType, USHORT flags, std::vector<FPParamDef> params) {
    FPFunctionDef def;
    def.id = id;
    def.internalName = internalName != nullptr ? internalName : L"";
    def.description = description;
    def.resultType = resultType;
    def.flags = flags;
    def.params = std::move(params);
    functions_.push_back(std::move(def));
}

const FPFunctionDef* FPInterfaceDesc::FindFunction(const std::wstring& name) const {
    for (const FPFunctionDef& f : functions_) {
        if (f.internalName == name) return &f;
    }
    return nullptr;
}

FPInterfaceDesc* GetCOREInterface(Interface_ID id) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (FPInterfaceDesc* d : r.interfaces) {
        if (d->GetID() == id) return d;
    }
    return nullptr;
}

FPInterfaceDesc* GetCOREInterfaceByName(const std::wstring& name) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (FPInterfaceDesc* d : r.interfaces) {
        if (d->GetName() == name) return d;
    }
    return nullptr;
}

std::vector<FPInterfaceDesc*> GetCOREInterfaces() {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.interfaces;
}

std::vector<std::wstring> TakeRefusedInterfaceNames() {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    std::vector<std::wstring> names;
    names.swap(r.refused);
    return names;
}
