#pragma once
// The undo system: the hold that collects records of one operation, and the undo history.
#include <string>
#include <vector>

#include "sdk/HostTypes.h"
#include "sdk/InterfaceServer.h"

class RestoreObj : public InterfaceServer {
public:
    ~RestoreObj() override = default;
    virtual void Restore(int isUndo) = 0;
    virtual void Redo() = 0;
    virtual int Size() { return 1; }
    virtual MSTR Description() { return _M("---"); }
};

class Hold {
public:
    Hold() = default;
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

    // Begin nests; the outermost Accept or Cancel ends the hold.
    void Begin();
    // The hold owns the record from here on. Outside a hold the record is deleted at once.
    void Put(RestoreObj* rec);
    // Ends one level; at the outermost level the collected records become one history entry named
    // `name` (nothing is added when no record was put). A new entry clears the redo list.
    // Outside a hold it does nothing.
    void Accept(const MCHAR* name);
    // Ends the hold; at the outermost level its records are restored (newest first) and deleted.
    // A nested Cancel ends its own level only, restoring (Restore(0), newest first) and deleting
    // just the records put since the matching Begin; outside a hold it does nothing.
    void Cancel();
    int Holding() const { return depth_ > 0; }

    // Undo the newest entry (records' Restore in reverse order) / redo the newest undone entry
    // (records' Redo in order). Return false when there is nothing to do or a hold is open.
    // Undo calls Restore(1); the entry moves to the redo list, and back again on Redo.
    bool Undo();
    bool Redo();
    int UndoCount() const { return static_cast<int>(undo_.size()); }
    int RedoCount() const { return static_cast<int>(redo_.size()); }
    std::vector<std::wstring> UndoLabels() const;  // oldest first
    std::vector<std::wstring> RedoLabels() const;  // next to redo last
    // Drops every entry and any open hold, deleting their records.
    void ClearHistory();

private:
    struct Entry { std::wstring label; std::vector<RestoreObj*> records; };
    static void destroy(Entry& e);
    int depth_ = 0;
    std::vector<RestoreObj*> pending_;
    std::vector<std::size_t> levelStart_;  // pending_ size at each open Begin
    std::vector<Entry> undo_;
    std::vector<Entry> redo_;
};

extern Hold theHold;
