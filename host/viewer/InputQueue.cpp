#include "viewer/InputQueue.h"

namespace velmora::viewer {

void InputQueue::pushMove(InputEvent::Kind kind, IPoint2 p, int flags) {
    // Only moves that follow each other directly merge: a press, release or action between them
    // keeps its place in the order.
    if (!queue_.empty() && queue_.back().kind == kind) {
        queue_.back().point = p;
        queue_.back().flags = flags;
        return;
    }
    InputEvent e;
    e.kind = kind;
    e.point = p;
    e.flags = flags;
    queue_.push_back(e);
}

void InputQueue::cursorMoved(IPoint2 p, int flags) {
    cursor_ = p;
    flags_ = flags;
    pushMove(held_ ? InputEvent::Kind::Drag : InputEvent::Kind::FreeMove, p, flags);
}

void InputQueue::buttonPressed(int flags) {
    if (held_) return;
    held_ = true;
    flags_ = flags;
    InputEvent e;
    e.kind = InputEvent::Kind::Press;
    e.point = cursor_;
    e.flags = flags;
    queue_.push_back(e);
}

void InputQueue::buttonReleased(int flags) {
    if (!held_) return;
    held_ = false;
    flags_ = flags;
    InputEvent e;
    e.kind = InputEvent::Kind::Release;
    e.point = cursor_;
    e.flags = flags;
    queue_.push_back(e);
}

void InputQueue::requestAction(Action a) {
    InputEvent e;
    e.kind = InputEvent::Kind::Action;
    e.action = a;
    e.point = cursor_;
    queue_.push_back(e);
}

std::vector<InputEvent> InputQueue::takeFrame() {
    std::vector<InputEvent> out;
    out.reserve(queue_.size() + waiting_.size());
    for (const InputEvent& e : queue_) {
        switch (e.kind) {
        case InputEvent::Kind::Press:
            strokeOpen_ = true;
            out.push_back(e);
            break;
        case InputEvent::Kind::Release:
            strokeOpen_ = false;
            out.push_back(e);
            out.insert(out.end(), waiting_.begin(), waiting_.end());
            waiting_.clear();
            break;
        case InputEvent::Kind::Action:
            if (strokeOpen_) waiting_.push_back(e);
            else out.push_back(e);
            break;
        default:
            out.push_back(e);
            break;
        }
    }
    queue_.clear();
    return out;
}

}  // namespace velmora::viewer
