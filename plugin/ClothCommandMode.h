#pragma once
// The brush command mode: while it is active the host sends its viewports' mouse events to the
// one ClothMouseProc it holds.
#include "cloth/ClothMouseProc.h"
#include "sdk/Exceptions.h"
#include "sdk/PluginFrame.h"

constexpr int kClothCommandModeId = 202;

class ClothCommandMode : public CommandMode, public MaxSDK::Util::Noncopyable {
public:
    // Points the mouse procedure's display values at the brush display object.
    ClothCommandMode();
    ~ClothCommandMode() override;

    int Class() override;   // VIEWPORT_COMMAND
    int ID() override;      // 202
    // Stores 2 (press and release make one interaction) and returns the mouse procedure.
    MouseCallBack* MouseProc(int* numPoints) override;
    ChangeForegroundCallback* ChangeFGProc() override;  // none
    BOOL ChangeFG(CommandMode* oldMode) override;       // FALSE
    // Pushes the prompt; with a selection, makes the first selected node's object a triangle-mesh
    // object, builds the cloth state from its mesh and registers the brush display. When nothing
    // is selected or the object cannot become a triangle mesh, the node is left as it is, the
    // previous cloth arrays stay, and the mouse procedure is given no mesh or node: the brush does
    // nothing on this entry.
    void EnterMode() override;
    // Pops the prompt, unregisters the brush display, and closes a stroke left open (its undo
    // entry is kept). The cloth state stays until the next entry.
    void ExitMode() override;

    ClothMouseProc mouseProc;
};

// The one command mode, created with its ClothMouseProc on the first call and destroyed when the
// module is unloaded.
ClothCommandMode& getClothCommandMode();
