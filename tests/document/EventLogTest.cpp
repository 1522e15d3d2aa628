#include <gtest/gtest.h>

#include "TestSupport.h"
#include <set>

#include "document/EventLog.h"

TEST(EventLog, FirstChoiceInTheFolderThenTheServersTemp) {
    TempDir dir;
    const std::string folder = dir.Dnc("") ;  // ends with "\"
    std::set<std::string> present;
    auto exists = [&](const std::string& f) { return present.count(f) > 0; };

    EventLogChoice c = ChooseEventLog(folder, 2, exists);
    EXPECT_FALSE(c.found);
    EXPECT_EQ(c.message, "Logg eksisterer ikke:\r" + folder + "Maskin2.TXT");
    EXPECT_EQ(std::string(kEventLogCaption), "Åpne hendelseslogg");

    present.insert("C:\\Vako\\Temp\\Maskin2H.TXT");
    c = ChooseEventLog(folder, 2, exists);
    EXPECT_TRUE(c.found);
    EXPECT_EQ(c.file, "C:\\Vako\\Temp\\Maskin2H.TXT");

    present.insert(folder + "Maskin2.TXT");
    c = ChooseEventLog(folder, 2, exists);
    EXPECT_EQ(c.file, folder + "Maskin2.TXT");
    EXPECT_TRUE(c.message.empty());
}

TEST(EventLog, RealFilesFoundWithoutRegardToCase) {
    TempDir dir;
    WriteFileBytes(dir.File("maskin3.txt"), "12:00 Start\r\n");
    EventLogChoice c = ChooseEventLog(dir.Dnc("") , 3);
    ASSERT_TRUE(c.found);
    EXPECT_EQ(c.file, dir.Dnc("") + "Maskin3.TXT");
    EXPECT_FALSE(ChooseEventLog(dir.Dnc(""), 4).found);
}

TEST(EventLog, DocumentNamedAsOpenNamesIt) {
    DocumentName n = NameDocument("C:\\VAKO\\MASKIN2\\Maskin2.TXT", "C:\\Vako\\Maskin2\\");
    EXPECT_EQ(n.fileName, "Maskin2.TXT");
    EXPECT_EQ(n.folder, "C:\\Vako\\Maskin2\\");
    n = NameDocument("C:\\Vako\\Temp\\Maskin2H.TXT", "C:\\Vako\\Maskin2\\");
    EXPECT_EQ(n.fileName, "Maskin2H.TXT");
    EXPECT_EQ(n.folder, "C:\\Vako\\Temp\\");
}
