#pragma once
// Plug-in frame: class descriptors, global utility plug-ins, command modes, mouse callbacks,
// redraw-views callbacks.
#include "sdk/HostHeap.h"
#include "sdk/HostTypes.h"
#include "sdk/InterfaceServer.h"
#include "sdk/Point3.h"

class Interface;
class ISave;
class ILoad;
using IOResult = int;
constexpr IOResult IO_OK = 0;

// Mouse messages and modifier bits.
constexpr int MOUSE_ABORT = 0;
constexpr int MOUSE_POINT = 1;
constexpr int MOUSE_MOVE = 2;
constexpr int MOUSE_FREEMOVE = 6;
constexpr int MOUSE_SHIFT = 1 << 0;
constexpr int MOUSE_CTRL = 1 << 1;
constexpr int MOUSE_ALT = 1 << 2;

constexpr int VIEWPORT_COMMAND = 1;

class MouseCallBack : public BaseInterfaceServer {
public:
    ~MouseCallBack() override = default;
    // Returns non-zero to keep the interaction going.
    virtual int proc(HWND hwnd, int msg, int point, int flags, IPoint2 m) {
        (void)hwnd; (void)msg; (void)point; (void)flags; (void)m;
        return 1;
    }
};

class CommandMode;
class ChangeForegroundCallback {
public:
    virtual ~ChangeForegroundCallback() = default;
};

class CommandMode : public InterfaceServer {
public:
    ~CommandMode() override = default;
    virtual int Class() = 0;
    virtual int SuperClass() { return 0; }
    virtual int ID() = 0;
    virtual MouseCallBack* MouseProc(int* numPoints) = 0;
    virtual ChangeForegroundCallback* ChangeFGProc() = 0;
    virtual BOOL ChangeFG(CommandMode* oldMode) = 0;
    virtual void EnterMode() = 0;
    virtual void ExitMode() = 0;
};

class RedrawViewsCallback {
public:
    virtual ~RedrawViewsCallback() = default;
    virtual void proc(Interface* ip) = 0;
};

class ClassDesc : public MaxHeapOperators {
public:
    virtual ~ClassDesc() = default;
    virtual int IsPublic() = 0;
    virtual void* Create(BOOL loading = FALSE) = 0;
    virtual const MCHAR* ClassName() = 0;
    virtual const MCHAR* NonLocalizedClassName() { return ClassName(); }
    virtual SClass_ID SuperClassID() = 0;
    virtual Class_ID ClassID() = 0;
    virtual const MCHAR* Category() = 0;
};

class ClassDesc2 : public ClassDesc {
public:
    virtual const MCHAR* InternalName() { return nullptr; }
    virtual HINSTANCE HInstance() { return nullptr; }
};

// A global utility plug-in: created at start-up, kept while Start answers 0 (GUPRESULT_KEEP).
constexpr DWORD GUPRESULT_KEEP = 0;
constexpr DWORD GUPRESULT_NOKEEP = 1;
class GUP : public InterfaceServer {
public:
    ~GUP() override = default;
    virtual DWORD Start() = 0;
    virtual void Stop() = 0;
    virtual DWORD_PTR Control(DWORD parameter) { (void)parameter; return 0; }
    virtual IOResult Save(ISave*) { return IO_OK; }
    virtual IOResult Load(ILoad*) { return IO_OK; }
    virtual void DeleteThis() = 0;
};

// Exported signatures of a plug-in module.
using LibDescriptionFn = const MCHAR* (*)();
using LibNumberClassesFn = int (*)();
using LibClassDescFn = ClassDesc* (*)(int);
using LibVersionFn = ULONG (*)();
using LibInitializeFn = int (*)();
using LibShutdownFn = int (*)();
using DllMainFn = BOOL (*)(HINSTANCE, ULONG, void*);
constexpr ULONG DLL_PROCESS_DETACH = 0;
constexpr ULONG DLL_PROCESS_ATTACH = 1;
