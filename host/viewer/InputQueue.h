#pragma once
// The viewer's left-button and key input, queued between frames and handed out once per frame in
// the order it happened. It owns the rules that keep the brush responsive and its strokes whole:
// - a run of cursor moves becomes one event at its last position, so at most one drag event (and
//   one free move) reaches the brush per run, however fast the mouse reports;
// - a press happens where the last cursor-move event put the cursor (a window system may deliver
//   a quick scripted press with the position of a later moment);
// - actions (undo, redo, save, leaving the brush, ...) asked for while the button is held wait
//   until that stroke's release has been handed out.
#include <vector>

#include "sdk/Point3.h"

namespace velmora::viewer {

// What the viewer may be asked to do from the keyboard or the panel.
enum class Action { Undo, Redo, Save, StartBrush, LeaveBrush, FrameSelection, Screenshot, Quit };

struct InputEvent {
    enum class Kind { Press, Drag, Release, FreeMove, Action };
    Kind kind = Kind::FreeMove;
    IPoint2 point;   // viewport pixels (mouse kinds)
    int flags = 0;   // MOUSE_SHIFT / MOUSE_CTRL / MOUSE_ALT bits at the time of the event
    Action action = Action::Undo;  // Kind::Action
};

class InputQueue {
public:
    // The cursor moved to `p` (viewport pixels) with modifier bits `flags`.
    void cursorMoved(IPoint2 p, int flags);
    // Left button down / up. A press while held, or a release while not held, is ignored.
    void buttonPressed(int flags);
    void buttonReleased(int flags);
    void requestAction(Action a);

    bool buttonHeld() const { return held_; }
    IPoint2 lastCursor() const { return cursor_; }
    int lastFlags() const { return flags_; }

    // Everything since the last call, in order, with the rules above applied. Actions still
    // waiting for a release stay queued for a later frame.
    std::vector<InputEvent> takeFrame();

private:
    void pushMove(InputEvent::Kind kind, IPoint2 p, int flags);

    std::vector<InputEvent> queue_;
    std::vector<InputEvent> waiting_;  // actions asked for while the button was held
    IPoint2 cursor_;
    int flags_ = 0;
    bool held_ = false;
    bool strokeOpen_ = false;  // a press has been handed out and its release not yet
};

}  // namespace velmora::viewer
