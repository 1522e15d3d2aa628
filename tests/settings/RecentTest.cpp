// The recent-files list over the per-user values.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "settings/KeyStore.h"
#include "settings/Recent.h"
#include "settings/Settings.h"

namespace {
class RecordingMenu : public RecentMenu {
public:
    void SetEnabled(bool e) override { enabled = e; }
    void ClearItems() override {
        items.clear();
        ++rebuilds;
    }
    void AddItem(const std::string& f) override { items.push_back(f); }
    bool enabled = true;
    int rebuilds = 0;
    std::vector<std::string> items;
};

class Recent : public ::testing::Test {
protected:
    void SetUp() override { SetKeyStore(&store); }
    void TearDown() override { SetKeyStore(nullptr); }
    std::string Value(int i) { return ReadPersonalString(kRecentSubKey, "File" + std::to_string(i), "-"); }
    MemoryKeyStore store;
};
}  // namespace

TEST_F(Recent, KeepsTheLastFiveMostRecentFirst) {
    {
        TRecentFileList list;
        for (const char* f : {"A", "B", "C", "D", "E", "F"}) list.Add(f);
        EXPECT_EQ(list.Entries(), (std::vector<std::string>{"F", "E", "D", "C", "B"}));
        list.Add("C");
        EXPECT_EQ(list.Entries(), (std::vector<std::string>{"C", "F", "E", "D", "B"}));
    }
    EXPECT_EQ(Value(1), "C");
    EXPECT_EQ(Value(5), "B");
    TRecentFileList again;
    EXPECT_EQ(again.Entries(), (std::vector<std::string>{"C", "F", "E", "D", "B"}));
}

TEST_F(Recent, SameNameInAnotherCase) {
    TRecentFileList list;
    list.Add("c:\\nc\\a.nc");
    list.Add("C:\\NC\\B.NC");
    list.Add("C:\\NC\\A.NC");  // moves to the top in its newer form
    EXPECT_EQ(list.Entries(), (std::vector<std::string>{"C:\\NC\\A.NC", "C:\\NC\\B.NC"}));
    RecordingMenu menu;
    list.UpdateMenu(menu);
    list.Add("c:\\NC\\a.NC");  // already first: the older form stays, nothing to rebuild
    EXPECT_EQ(list.Entry(0), "C:\\NC\\A.NC");
    EXPECT_FALSE(list.Changed());
    list.UpdateMenu(menu);
    EXPECT_EQ(menu.rebuilds, 1);
    // Norwegian letters compare without case as well.
    list.Add("C:\\NC\\\xC6RE.NC");
    list.Add("C:\\NC\\\xE6re.nc");
    EXPECT_EQ(list.Count(), 3);
}

TEST_F(Recent, GapsInTheStoredValues) {
    WritePersonalString(kRecentSubKey, "File1", "X.NC");
    WritePersonalString(kRecentSubKey, "File3", "Z.NC");
    {
        TRecentFileList list;
        EXPECT_EQ(list.Entries(), (std::vector<std::string>{"X.NC", "Z.NC"}));
    }
    EXPECT_EQ(Value(1), "X.NC");
    EXPECT_EQ(Value(2), "Z.NC");
    EXPECT_EQ(Value(3), "Z.NC");  // the old third value stays
}

TEST_F(Recent, MenuRebuiltOnlyAfterChanges) {
    TRecentFileList list;
    RecordingMenu menu;
    list.UpdateMenu(menu);
    EXPECT_FALSE(menu.enabled);  // an empty list
    EXPECT_EQ(menu.rebuilds, 0);
    list.Add("A");
    list.Add("B");
    list.UpdateMenu(menu);
    EXPECT_TRUE(menu.enabled);
    EXPECT_EQ(menu.items, (std::vector<std::string>{"B", "A"}));
    list.UpdateMenu(menu);
    EXPECT_EQ(menu.rebuilds, 1);
}

TEST_F(Recent, UnavailableStoreGivesAnEmptyListAndNoMessage) {
    MessageRecorder rec;
    store.SetUnavailable(KeyRoot::CurrentUser, true);
    {
        TRecentFileList list;
        EXPECT_EQ(list.Count(), 0);
        list.Add("A");
    }
    EXPECT_TRUE(rec.messages.empty());
}
