#include "sdk/Hold.h"

#include <utility>

Hold theHold;

Hold::~Hold() { ClearHistory(); }

void Hold::destroy(Entry& e) {
    for (RestoreObj* r : e.records) delete r;
    e.records.clear();
}

void Hold::Begin() {
    levelStart_.push_back(pending_.size());
    ++depth_;
}

void Hold::Put(RestoreObj* rec) {
    if (rec == nullptr) return;
    if (depth_ == 0) {
        // Nobody would ever restore or free it otherwise.
        delete rec;
        return;
    }
    pending_.push_back(rec);
}

void Hold::Accept(const MCHAR* name) {
    if (depth_ == 0) return;
    --depth_;
    levelStart_.pop_back();
    if (depth_ > 0 || pending_.empty()) return;
    for (Entry& e : redo_) destroy(e);
    redo_.clear();
    undo_.push_back(Entry{name != nullptr ? std::wstring(name) : std::wstring(), std::move(pending_)});
    pending_.clear();
}

void Hold::Cancel() {
    if (depth_ == 0) return;
    const std::size_t start = levelStart_.back();
    levelStart_.pop_back();
    --depth_;
    // Detach this level's records first, so a Restore that touches the hold sees a consistent one.
    std::vector<RestoreObj*> level(pending_.begin() + static_cast<std::ptrdiff_t>(start), pending_.end());
    pending_.resize(start);
    for (auto it = level.rbegin(); it != level.rend(); ++it) (*it)->Restore(0);
    for (RestoreObj* r : level) delete r;
}

bool Hold::Undo() {
    if (depth_ > 0 || undo_.empty()) return false;
    Entry e = std::move(undo_.back());
    undo_.pop_back();
    for (auto it = e.records.rbegin(); it != e.records.rend(); ++it) (*it)->Restore(1);
    redo_.push_back(std::move(e));
    return true;
}

bool Hold::Redo() {
    if (depth_ > 0 || redo_.empty()) return false;
    Entry e = std::move(redo_.back());
    redo_.pop_back();
    for (RestoreObj* r : e.records) r->Redo();
    undo_.push_back(std::move(e));
    return true;
}

std::vector<std::wstring> Hold::UndoLabels() const {
    std::vector<std::wstring> labels;
    labels.reserve(undo_.size());
    for (const Entry& e : undo_) labels.push_back(e.label);
    return labels;
}

std::vector<std::wstring> Hold::RedoLabels() const {
    std::vector<std::wstring> labels;
    labels.reserve(redo_.size());
    for (const Entry& e : redo_) labels.push_back(e.label);
    return labels;
}

void Hold::ClearHistory() {
    for (Entry& e : undo_) destroy(e);
    for (Entry& e : redo_) destroy(e);
    undo_.clear();
    redo_.clear();
    for (RestoreObj* r : pending_) delete r;
    pending_.clear();
    levelStart_.clear();
    depth_ = 0;
}
