#pragma once
// Function publishing: interface descriptors with their functions and parameter types, tagged
// parameter values, the registry of core interfaces, and the dispatch entry point.
#include <string>
#include <vector>

#include "sdk/Exceptions.h"
#include "sdk/HostTypes.h"
#include "sdk/InterfaceServer.h"

class INode;
class ClassDesc;

using FunctionID = short;
using FPStatus = int;
constexpr FPStatus FPS_OK = 1;
constexpr FPStatus FPS_NO_SUCH_FUNCTION = -1;
constexpr FPStatus FPS_FAIL = 0;
constexpr ULONG FP_CORE = 4;

enum ParamType2 : int {
    TYPE_FLOAT = 0,
    TYPE_INT = 1,
    TYPE_BOOL = 4,
    TYPE_INODE = 17,
    TYPE_VOID = 25,
    TYPE_bool = 46,
    TYPE_UNSPECIFIED = -1,
};

// A tagged value of the parameter array.
struct FPValue {
    ParamType2 type = TYPE_VOID;
    union {
        float f;
        int i;
        INode* n;
    };
    FPValue() : i(0) {}
    static FPValue Float(float v) { FPValue r; r.type = TYPE_FLOAT; r.f = v; return r; }
    static FPValue Int(int v) { FPValue r; r.type = TYPE_INT; r.i = v; return r; }
    static FPValue Bool(int v) { FPValue r; r.type = TYPE_BOOL; r.i = v; return r; }
    static FPValue Node(INode* v) { FPValue r; r.type = TYPE_INODE; r.n = v; return r; }
};

class FPParams {
public:
    MaxSDK::Array<FPValue> params;  // bounds-checked: a bad index throws OutOfRangeException
};

struct FPParamDef {
    std::wstring internalName;
    StringResID description = 0;
    ParamType2 type = TYPE_UNSPECIFIED;
};

struct FPFunctionDef {
    FunctionID id = 0;
    std::wstring internalName;
    StringResID description = 0;
    ParamType2 resultType = TYPE_VOID;
    USHORT flags = 0;
    std::vector<FPParamDef> params;
};

class FPInterface : public InterfaceServer {
public:
    ~FPInterface() override = default;
    // Calls the function `fid` with `params`; returns the dispatch status.
    FPStatus Invoke(FunctionID fid, TimeValue t, FPValue& result, FPParams* params) {
        return _dispatch_fn(fid, t, result, params);
    }
protected:
    virtual FPStatus _dispatch_fn(FunctionID fid, TimeValue t, FPValue& result, FPParams* p) = 0;
};

// The descriptor of a published interface. Constructed with the FP_CORE flag it registers itself
// as a core interface (by name and by id) and unregisters in its destructor. A name or id that is
// already taken is not registered: the existing interface stays, and the refusal is recorded.
class FPInterfaceDesc : public FPInterface {
public:
    FPInterfaceDesc(Interface_ID id, const MCHAR* internalName, StringResID description,
                    ClassDesc* cd, ULONG flags);
    ~FPInterfaceDesc() override;
    FPInterfaceDesc(const FPInterfaceDesc&) = delete;
    FPInterfaceDesc& operator=(const FPInterfaceDesc&) = delete;

    void AppendFunction(FunctionID id, const MCHAR* internalName, StringResID description,
                        ParamType2 resultType, USHORT flags, std::vector<FPParamDef> params);

    Interface_ID GetID() const { return id_; }
    const std::wstring& GetName() const { return name_; }
    ULONG GetFlags() const { return flags_; }
    const std::vector<FPFunctionDef>& Functions() const { return functions_; }
    const FPFunctionDef* FindFunction(const std::wstring& name) const;
    bool IsRegistered() const { return registered_; }

private:
    Interface_ID id_;
    std::wstring name_;
    ULONG flags_;
    std::vector<FPFunctionDef> functions_;
    bool registered_ = false;
};

// Core interface registry.
FPInterfaceDesc* GetCOREInterface(Interface_ID id);
FPInterfaceDesc* GetCOREInterfaceByName(const std::wstring& name);
std::vector<FPInterfaceDesc*> GetCOREInterfaces();
// Names refused since the last call (a duplicate name or id); the module loader reads this.
std::vector<std::wstring> TakeRefusedInterfaceNames();
