#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/Hold.h"

namespace {

struct Journal {
    std::vector<std::string> calls;
    int live = 0;
};

class JournalRecord : public RestoreObj {
public:
    JournalRecord(Journal* j, std::string name) : j_(j), name_(std::move(name)) { ++j_->live; }
    ~JournalRecord() override { --j_->live; }
    void Restore(int isUndo) override { j_->calls.push_back("restore " + name_ + (isUndo ? "" : " (cancel)")); }
    void Redo() override { j_->calls.push_back("redo " + name_); }
    MSTR Description() override { return L" Journal"; }

private:
    Journal* j_;
    std::string name_;
};

TEST(HoldTest, UndoRestoresInReverseAndRedoReplaysInOrder) {
    Journal j;
    Hold hold;
    EXPECT_FALSE(hold.Holding());
    hold.Begin();
    EXPECT_TRUE(hold.Holding());
    hold.Put(new JournalRecord(&j, "a"));
    hold.Put(new JournalRecord(&j, "b"));
    hold.Accept(L"first");
    EXPECT_FALSE(hold.Holding());
    hold.Begin();
    hold.Put(new JournalRecord(&j, "c"));
    hold.Accept(L"second");
    EXPECT_EQ(hold.UndoLabels(), (std::vector<std::wstring>{L"first", L"second"}));
    EXPECT_EQ(j.live, 3);

    EXPECT_TRUE(hold.Undo());
    EXPECT_TRUE(hold.Undo());
    EXPECT_FALSE(hold.Undo());
    EXPECT_EQ(hold.RedoLabels(), (std::vector<std::wstring>{L"second", L"first"}));
    EXPECT_TRUE(hold.Redo());
    EXPECT_EQ(hold.UndoLabels(), (std::vector<std::wstring>{L"first"}));
    EXPECT_EQ(hold.RedoLabels(), (std::vector<std::wstring>{L"second"}));
    const std::vector<std::string> want = {"restore c", "restore b", "restore a", "redo a", "redo b"};
    EXPECT_EQ(j.calls, want);
    EXPECT_EQ(j.live, 3) << "undone entries keep their records for redo";
}

TEST(HoldTest, NewEntryClearsRedoAndDeletesItsRecords) {
    Journal j;
    Hold hold;
    for (const char* name : {"a", "b"}) {
        hold.Begin();
        hold.Put(new JournalRecord(&j, name));
        hold.Accept(L"op");
    }
    ASSERT_TRUE(hold.Undo());
    ASSERT_TRUE(hold.Undo());
    EXPECT_EQ(hold.RedoCount(), 2);
    // An accept without records adds nothing and keeps the redo list.
    hold.Begin();
    hold.Accept(L"empty");
    EXPECT_EQ(hold.UndoCount(), 0);
    EXPECT_EQ(hold.RedoCount(), 2);

    hold.Begin();
    hold.Put(new JournalRecord(&j, "c"));
    hold.Accept(L"new");
    EXPECT_EQ(hold.RedoCount(), 0);
    EXPECT_EQ(hold.UndoCount(), 1);
    EXPECT_EQ(j.live, 1) << "the dropped redo entries' records are deleted";
    EXPECT_FALSE(hold.Redo());
    hold.ClearHistory();
    EXPECT_EQ(j.live, 0);
    EXPECT_EQ(hold.UndoCount(), 0);
}

TEST(HoldTest, NestedBeginMakesOneEntry) {
    Journal j;
    Hold hold;
    hold.Begin();
    hold.Put(new JournalRecord(&j, "outer"));
    hold.Begin();
    hold.Put(new JournalRecord(&j, "inner"));
    hold.Accept(L"inner label");
    EXPECT_TRUE(hold.Holding());
    EXPECT_EQ(hold.UndoCount(), 0);
    hold.Accept(L"outer label");
    EXPECT_FALSE(hold.Holding());
    EXPECT_EQ(hold.UndoLabels(), (std::vector<std::wstring>{L"outer label"}));
    ASSERT_TRUE(hold.Undo());
    EXPECT_EQ(j.calls, (std::vector<std::string>{"restore inner", "restore outer"}));
}

TEST(HoldTest, CancelRestoresAndDeletesItsOwnLevel) {
    Journal j;
    Hold hold;
    hold.Begin();
    hold.Put(new JournalRecord(&j, "kept"));
    hold.Begin();
    hold.Put(new JournalRecord(&j, "x"));
    hold.Put(new JournalRecord(&j, "y"));
    hold.Cancel();
    EXPECT_TRUE(hold.Holding());
    EXPECT_EQ(j.calls, (std::vector<std::string>{"restore y (cancel)", "restore x (cancel)"}));
    EXPECT_EQ(j.live, 1);
    hold.Accept(L"op");
    EXPECT_EQ(hold.UndoCount(), 1);

    j.calls.clear();
    hold.Begin();
    hold.Put(new JournalRecord(&j, "p"));
    hold.Put(new JournalRecord(&j, "q"));
    hold.Cancel();
    EXPECT_FALSE(hold.Holding());
    EXPECT_EQ(j.calls, (std::vector<std::string>{"restore q (cancel)", "restore p (cancel)"}));
    EXPECT_EQ(j.live, 1);
    EXPECT_EQ(hold.UndoCount(), 1);
    hold.Cancel();
    hold.Accept(L"nothing open");
    EXPECT_EQ(hold.UndoCount(), 1);
}

TEST(HoldTest, RecordsOutsideAHoldAndUndoDuringAHold) {
    Journal j;
    Hold hold;
    hold.Put(new JournalRecord(&j, "stray"));
    EXPECT_EQ(j.live, 0) << "a record put outside a hold is deleted at once";
    hold.Put(nullptr);

    hold.Begin();
    hold.Put(new JournalRecord(&j, "a"));
    hold.Accept(L"a");
    hold.Begin();
    EXPECT_FALSE(hold.Undo()) << "no undo while a hold is open";
    hold.Put(new JournalRecord(&j, "b"));
    hold.Accept(L"b");
    ASSERT_TRUE(hold.Undo());
    hold.Begin();
    EXPECT_FALSE(hold.Redo()) << "no redo while a hold is open";
    hold.Cancel();
    EXPECT_TRUE(hold.Redo());
    EXPECT_EQ(j.calls, (std::vector<std::string>{"restore b", "redo b"}));
}

TEST(HoldTest, DroppingTheHoldDeletesEveryRecord) {
    Journal j;
    {
        Hold hold;
        hold.Begin();
        hold.Put(new JournalRecord(&j, "a"));
        hold.Accept(L"a");
        hold.Begin();
        hold.Put(new JournalRecord(&j, "b"));
        hold.Accept(L"b");
        ASSERT_TRUE(hold.Undo());
        hold.Begin();
        hold.Put(new JournalRecord(&j, "open"));
        EXPECT_EQ(j.live, 3);
    }
    EXPECT_EQ(j.live, 0);
    EXPECT_TRUE(j.calls.size() == 1u) << "records are deleted, not restored";
}

}  // namespace
