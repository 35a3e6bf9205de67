#include "store/WindowData.h"
#include "ProjectFixtures.h"
#include "TempDir.h"
#include "store/IniFile.h"
#include "store/RegIniFile.h"

#include <cstdlib>
#include <gtest/gtest.h>

TEST(WindowData, NewRecordWritesEveryKeyInTheFixedLayout) {
  TIniFile ini;
  TWindowData().WriteSettings(ini);
  EXPECT_EQ(ini.Serialize(), "[Root]\r\nLastIndex=0\r\nTagHeader=\r\nTagFooter=\r\n" +
                                 fixture::kNewSettingsSections);
}

TEST(WindowData, MissingKeysReadTheirDefaults) {
  TempDir t;
  t.Write("MainTree.dat", "[Root]\r\nFileName=a.txt\r\nChild01=Root-C00000\r\n"
                          "[Window]\r\nWordWrap=yes\r\nHideForm=2\r\nTop=x\r\n");
  TWindowData w;
  w.Width = 1; // reading replaces every field
  w.ReadSettings(t.Dir() + "MainTree.dat");
  EXPECT_EQ(w.Width, 615);
  EXPECT_EQ(w.LastIndex, 10);
  EXPECT_EQ(w.Top, 50);
  EXPECT_FALSE(w.WordWrap);
  EXPECT_TRUE(w.HideForm);
  EXPECT_TRUE(w.ShowHint);
  EXPECT_EQ(w.RootFileName, "a.txt");
  EXPECT_EQ(w.LastNode, "");
  EXPECT_EQ(w.FontName, "Terminal");
  EXPECT_EQ(w.SectionWidths, (std::array<int32_t, 7>{100, 40, 80, 60, 130, 60, 130}));
  EXPECT_EQ(w.AttachSortType, 3);
  TWindowData fromNothing;
  fromNothing.ReadSettings(t.Dir() + "absent.dat");
  EXPECT_EQ(fromNothing.Width, 615);
}

TEST(WindowData, ValuesSurviveWriteAndReadIncludingTagsAndFileUpdateInPlace) {
  TempDir t;
  TWindowData w;
  w.Top = -5;
  w.FontName = "\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e"; // ＭＳ ゴシック
  w.WordWrap = w.DefaultColor = true;
  w.ShowHint = false;
  w.SetSectionWidth(6, 77);
  w.SetSectionWidth(7, 1); // out of range: ignored
  w.TagHeader = "<h1>";
  w.TagFooter = " \"kept\" ";
  w.NextIndex();
  w.NextIndex();
  t.Write("MainTree.dat", "[Root]\r\nFileName=r.txt\r\nLastNode=Root\r\n");
  ASSERT_TRUE(Ok(w.WriteSettings(t.Dir() + "MainTree.dat")));
  TWindowData r;
  r.ReadSettings(t.Dir() + "MainTree.dat");
  EXPECT_EQ(r.Top, -5);
  EXPECT_EQ(r.FontName, w.FontName);
  EXPECT_TRUE(r.WordWrap && r.DefaultColor);
  EXPECT_FALSE(r.ShowHint);
  EXPECT_EQ(r.GetSectionWidth(6), 77);
  EXPECT_EQ(r.GetSectionWidth(-1), 0);
  EXPECT_EQ(r.TagHeader, "<h1>");
  EXPECT_EQ(r.TagFooter, " \"kept\" ");
  EXPECT_EQ(r.LastIndex, 2);
  // The tree's own keys were left alone.
  EXPECT_EQ(r.RootFileName, "r.txt");
  EXPECT_EQ(r.LastNode, "Root");
}

TEST(RegIniFile, LivesUnderXdgConfigHomeOrHomeConfig) {
  TempDir t;
  std::string savedXdg = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
  std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("XDG_CONFIG_HOME", (t.Dir() + "cfg").c_str(), 1);
  setenv("HOME", (t.Dir() + "home").c_str(), 1);
  EXPECT_EQ(TRegIniFile::DefaultFileName(), t.Dir() + "cfg/kem/Orvane/settings.ini");
  {
    TRegIniFile reg;
    reg.WriteInteger("Window", "Top", 12);
    reg.WriteBool("Main", "Registed", true);
    reg.WriteString("restoration", "Header", "<html>");
    EXPECT_EQ(reg.ReadInteger("window", "top", 0), 12); // visible before the file is written
  } // written on destruction, directories created
  EXPECT_EQ(t.Read("cfg/kem/Orvane/settings.ini"),
            "[Window]\r\nTop=12\r\n[Main]\r\nRegisted=1\r\n[restoration]\r\nHeader=<html>\r\n");
  {
    TRegIniFile reg;
    EXPECT_EQ(reg.ReadInteger("Window", "Top", 0), 12);
    EXPECT_TRUE(reg.ReadBool("Main", "Registed", false));
    EXPECT_EQ(reg.ReadString("Main", "Missing", "def"), "def");
    reg.EraseSection("restoration");
    ASSERT_TRUE(Ok(reg.UpdateFile()));
    EXPECT_FALSE(TRegIniFile().SectionExists("restoration"));
  }
  // A relative XDG_CONFIG_HOME is not used.
  setenv("XDG_CONFIG_HOME", "relative/dir", 1);
  EXPECT_EQ(TRegIniFile::DefaultFileName(), t.Dir() + "home/.config/kem/Orvane/settings.ini");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(TRegIniFile::DefaultFileName(), t.Dir() + "home/.config/kem/Orvane/settings.ini");
  if (savedXdg.empty())
    unsetenv("XDG_CONFIG_HOME");
  else
    setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
  setenv("HOME", savedHome.c_str(), 1);
}

TEST(RegIniFile, AFailedWriteIsReportedAndKeptPending) {
  TempDir t;
  t.Write("blocker", "a file where a directory should be");
  TRegIniFile reg(t.Dir() + "blocker/settings.ini");
  reg.WriteInteger("Window", "Left", 3);
  EXPECT_FALSE(reg.UpdateFile());
  EXPECT_EQ(reg.ReadInteger("Window", "Left", 0), 3);
}
