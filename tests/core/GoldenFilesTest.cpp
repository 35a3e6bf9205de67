// Files as the program writes them, CP932 with CR LF, kept byte for byte in
// tests/data: loading them gives the expected values, and writing them back
// unchanged gives the same bytes.
#include "TempDir.h"
#include "store/IniFile.h"
#include "store/NodeFiles.h"
#include "store/ProjectTree.h"
#include "store/RegIniFile.h"
#include "support/TreeOutline.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

const std::string kData = ORVANE_TEST_DATA_DIR "/";

const char *const kProjectFiles[] = {"MainTree.dat", "20261207120000.txt", "20261207120001.txt",
                                     "20261207120002.txt", "20261207120003.txt"};

std::string Golden(const std::string &name) {
  TempDir reader; // TempDir reads whole files in binary
  std::filesystem::copy_file(kData + name, reader.Path("f"));
  return reader.Read("f");
}

// The golden project copied to a temporary directory, so saving cannot touch
// the sources.
struct GoldenProject {
  TempDir t;
  TProjectTree tree;
  GoldenProject() {
    for (const char *f : kProjectFiles)
      std::filesystem::copy_file(kData + "project/" + f, t.Path(f));
    EXPECT_TRUE(tree.LoadProject(t.Dir()));
  }
};

} // namespace

TEST(GoldenFiles, ProjectLoadsItsTreeSettingsAndItems) {
  GoldenProject p;
  // 新規企画(予定表(下位の件*) 完了した件): all expanded, the last saved selection
  EXPECT_EQ(outline::PrintWithSelection(p.tree),
            "\x90\x56\x8b\x4b\x8a\xe9\x89\xe6(\x97\x5c\x92\xe8\x95\x5c(\x89\xba\x88\xca\x82\xcc"
            "\x8c\x8f*) \x8a\xae\x97\xb9\x82\xb5\x82\xbd\x8c\x8f)");
  EXPECT_TRUE(p.tree.SkippedItems().empty());
  EXPECT_TRUE(p.tree.MissingItems().empty());
  const TWindowData &w = p.tree.WindowData;
  EXPECT_EQ(w.LastIndex, 3);
  EXPECT_EQ(w.TagHeader, "<\x8c\xa9\x8f\x6f\x82\xb5>"); // <見出し>
  EXPECT_EQ(w.Width, 800);
  EXPECT_EQ(w.TreeWidth, 200);

  const TNodeFiles &plan = p.tree.RootNode()->GetFirstChild()->Data()->Files;
  EXPECT_EQ(plan.Title, "\x97\x5c\x92\xe8\x95\x5c");  // 予定表
  EXPECT_EQ(plan.Author, "\x8a\xe9\x89\xe6\x95\x94"); // 企画部
  EXPECT_TRUE(plan.ToDo);
  EXPECT_FALSE(plan.Completion);
  EXPECT_EQ(plan.Edition, 1);
  EXPECT_EQ(plan.Update.ToString(), "2026/12/07 12:01:00");
  EXPECT_EQ(plan.AttachFiles, std::vector<std::string>{"\x8e\x91\x97\xbf.pdf"}); // 資料.pdf
  // 月曜: 会議, an empty line, 火曜: 表示\確認 (the trail byte of 表 is '\')
  EXPECT_EQ(plan.Body, (TTextLines{"\x8c\x8e\x97\x6a: \x89\xef\x8b\x63", "",
                                   "\x89\xce\x97\x6a: \x95\x5c\x8e\xa6\\\x8a\x6d\x94\x46"}));
  const TNodeFiles &root = p.tree.RootNode()->Data()->Files;
  EXPECT_EQ(root.Line, 1);
  EXPECT_EQ(root.Column, 4);
  EXPECT_EQ(root.Body.size(), 2u);
  EXPECT_EQ(root.Body[1], "\xca\xdd\xb6\xb8\x82\xe0\x82\xa0\x82\xe9"); // ﾊﾝｶｸもある
  EXPECT_TRUE(p.tree.RootNode()->GetLastChild()->Data()->Files.Completion);
}

TEST(GoldenFiles, ProjectSavedUnchangedIsTheSameBytes) {
  GoldenProject p;
  ASSERT_EQ(p.tree.SaveProject().Text(), "ok");
  for (TProjectNode *n = p.tree.GetFirstNode(); n; n = n->GetNext())
    ASSERT_TRUE(Ok(n->Data()->Files.Save())) << n->Text();
  for (const char *f : kProjectFiles)
    EXPECT_EQ(p.t.Read(f), Golden(std::string("project/") + f)) << f;
}

TEST(GoldenFiles, SettingsReadAndRewrittenUnchanged) {
  TempDir t;
  std::filesystem::copy_file(kData + "settings.ini", t.Path("settings.ini"));
  {
    TRegIniFile reg(t.Path("settings.ini"));
    EXPECT_EQ(reg.ReadString("Main", "RootDir", ""),
              "/home/user/\x83\x41\x83\x43\x83\x66\x83\x41/"); // アイデア
    EXPECT_EQ(reg.ReadString("Main", "Autor", ""), "\x8a\xe9\x89\xe6\x95\x94");
    EXPECT_EQ(reg.ReadInteger("Main", "SortMode", 0), 1);
    EXPECT_EQ(reg.ReadInteger("Window", "ProjectDate", 0), 120);
    // Writing back what is there already.
    reg.WriteString("Main", "Autor", reg.ReadString("Main", "Autor", ""));
    reg.WriteInteger("Window", "Width", 640);
    ASSERT_TRUE(Ok(reg.UpdateFile()));
  }
  EXPECT_EQ(t.Read("settings.ini"), Golden("settings.ini"));
}

TEST(GoldenFiles, ShortcutReadAndRewrittenUnchanged) {
  TempDir t;
  std::filesystem::copy_file(kData + "shortcut.ida", t.Path("s.ida"));
  TIniFile ini(t.Path("s.ida"));
  const std::string dir = ini.ReadString("Project", "Directory", "");
  // /home/user/アイデア/新規企画/
  EXPECT_EQ(dir, "/home/user/\x83\x41\x83\x43\x83\x66\x83\x41/\x90\x56\x8b\x4b\x8a\xe9\x89\xe6/");
  ini.WriteString("Project", "Directory", dir); // what creating it again does
  ASSERT_TRUE(Ok(ini.UpdateFile()));
  EXPECT_EQ(t.Read("s.ida"), Golden("shortcut.ida"));
}
