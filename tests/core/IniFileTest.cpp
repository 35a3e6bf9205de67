#include "store/IniFile.h"
#include "TempDir.h"
#include "store/FileSystem.h"

#include <gtest/gtest.h>

TEST(IniFile, WritesKeysInPlaceAtSectionEndAndSectionsAtFileEnd) {
  TIniFile ini;
  ini.WriteInteger("Root", "LastIndex", 12);
  ini.WriteInteger("Window", "Top", 50);
  ini.WriteString("Root", "TagHeader", "");
  ini.WriteInteger("root", "LASTINDEX", 13); // replaced in place, original spelling kept
  ini.WriteBool("Window", "WordWrap", true);
  EXPECT_EQ(ini.Serialize(), "[Root]\r\nLastIndex=13\r\nTagHeader=\r\n"
                             "[Window]\r\nTop=50\r\nWordWrap=1\r\n");
}

TEST(IniFile, ReadsFilesWrittenByOtherPrograms) {
  TIniFile ini;
  ini.Parse("\xEF\xBB\xBF"
            "stray=before any section\n"
            "[ Main ]\n"
            "; a comment=with an equals sign\n"
            "\n"
            "  Name  =  spaced value  \r\n"
            "no equals sign here\r"
            "name=second, ignored\r\n"
            "dq=\"quoted \"\n"
            "sq='x'\n"
            "half=\"x'\n"
            "empty=\n"
            "[main]\n"
            "Name=duplicate section, ignored\n");
  EXPECT_EQ(ini.ReadString("MAIN", "name", "?"), "spaced value");
  EXPECT_EQ(ini.ReadString("Main", "dq", "?"), "quoted ");
  EXPECT_EQ(ini.ReadString("Main", "sq", "?"), "x");
  EXPECT_EQ(ini.ReadString("Main", "half", "?"), "\"x'");
  EXPECT_EQ(ini.ReadString("Main", "empty", "?"), "");
  EXPECT_TRUE(ini.ValueExists("Main", "empty"));
  EXPECT_FALSE(ini.ValueExists("Main", "no equals sign here"));
  EXPECT_FALSE(ini.ValueExists("Main", "; a comment"));
  EXPECT_FALSE(ini.ValueExists("", "stray"));
  EXPECT_EQ(ini.ReadSections(), std::vector<std::string>{"Main"});
  EXPECT_EQ(ini.ReadSection("main"),
            (std::vector<std::string>{"Name", "dq", "sq", "half", "empty"}));
}

TEST(IniFile, RepeatedByteOrderMarksAreAllSkipped) {
  // With one mark skipped, the second made "[S]" a stray line that the
  // next write-and-read turned back into a section, ahead of the real one.
  TIniFile ini;
  ini.Parse("\xEF\xBB\xBF\xEF\xBB\xBF[S]\r\nk=1\r\n[S]\r\nk=2\r\n");
  EXPECT_EQ(ini.ReadString("S", "k", "?"), "1");
  TIniFile again;
  again.Parse(ini.Serialize());
  EXPECT_EQ(again.ReadString("S", "k", "?"), "1");
  EXPECT_EQ(again.Serialize(), ini.Serialize());
}

TEST(IniFile, KeepsForeignLinesAndPutsNewKeysBeforeTrailingBlankLines) {
  TIniFile ini;
  ini.Parse("; settings\r\n[A]\r\nx=1\r\n; note\r\n\r\n[B]\r\ny=2\r\n");
  ini.WriteString("A", "z", "3");
  ini.WriteString("B", "y", "4");
  EXPECT_EQ(ini.Serialize(), "; settings\r\n[A]\r\nx=1\r\n; note\r\nz=3\r\n\r\n[B]\r\ny=4\r\n");
}

TEST(IniFile, NamesCompareWithoutAsciiCaseButDoubleByteCharactersExactly) {
  // 0x83 0x41 (ア) and 0x83 0x61 (ャ): the trail bytes look like 'A' and 'a'.
  TIniFile ini;
  ini.WriteString("\x83\x41", "Key", "katakana a");
  ini.WriteString("\x83\x61", "KEY", "small ya");
  EXPECT_EQ(ini.ReadString("\x83\x41", "key", "?"), "katakana a");
  EXPECT_EQ(ini.ReadString("\x83\x61", "key", "?"), "small ya");
  // A ']' trail byte (0x81 0x5D) does not end a section name.
  ini.Parse("[\x81\x5D]\r\nk=v\r\n\x81=lone lead byte\r\n");
  EXPECT_EQ(ini.ReadString("\x81\x5D", "k", "?"), "v");
  EXPECT_EQ(ini.ReadString("\x81\x5D", "\x81", "?"), "lone lead byte");
}

TEST(IniFile, IntegersAndBooleans) {
  TIniFile ini;
  ini.Parse("[S]\nplus=+7\nminus=-12\nhex=0x10\nword=yes\nbig=2147483648\n"
            "spaced= 5 \ntwo=2\nzero=0\nfloat=1.5\n");
  EXPECT_EQ(ini.ReadInteger("S", "plus", 0), 7);
  EXPECT_EQ(ini.ReadInteger("S", "minus", 0), -12);
  EXPECT_EQ(ini.ReadInteger("S", "hex", 99), 99);
  EXPECT_EQ(ini.ReadInteger("S", "big", 99), 99);
  EXPECT_EQ(ini.ReadInteger("S", "spaced", 99), 5);
  EXPECT_EQ(ini.ReadInteger("S", "missing", -1), -1);
  EXPECT_TRUE(ini.ReadBool("S", "two", false));
  EXPECT_FALSE(ini.ReadBool("S", "zero", true));
  EXPECT_FALSE(ini.ReadBool("S", "word", false));
  EXPECT_TRUE(ini.ReadBool("S", "word", true));
  EXPECT_TRUE(ini.ReadBool("S", "float", true));
}

TEST(IniFile, ValuesReadBackExactlyAsWritten) {
  const std::string tricky[] = {" lead", "trail ", "\"both\"",         "'single'",       "\"",
                                "\"\"",  "a=b;c",  "\x93\xfa\x96\x7b", "[not a section]"};
  TIniFile ini;
  for (size_t i = 0; i < std::size(tricky); ++i)
    ini.WriteString("S", "k" + std::to_string(i), tricky[i]);
  TIniFile back;
  back.Parse(ini.Serialize());
  for (size_t i = 0; i < std::size(tricky); ++i)
    EXPECT_EQ(back.ReadString("S", "k" + std::to_string(i), "?"), tricky[i]) << i;
  // Ordinary values stay unquoted.
  EXPECT_NE(ini.Serialize().find("k6=a=b;c\r\n"), std::string::npos);
}

TEST(IniFile, LineBreaksCannotForgeKeysOrSections) {
  TIniFile ini;
  ini.WriteString("S", "k", "x\r\n[Evil]\r\nLastIndex=1");
  TIniFile back;
  back.Parse(ini.Serialize());
  EXPECT_FALSE(back.SectionExists("Evil"));
  EXPECT_EQ(back.ReadString("S", "k", "?"), "x  [Evil]  LastIndex=1");
}

TEST(IniFile, LargeSectionsStayCorrectAcrossTheIndex) {
  TIniFile ini;
  for (int i = 0; i < 2000; ++i)
    ini.WriteInteger("Big", "Key" + std::to_string(i), i);
  ini.WriteInteger("big", "KEY1500", -1);
  ini.DeleteKey("Big", "key3");
  TIniFile back;
  back.Parse(ini.Serialize() + "key7=duplicate\r\n");
  EXPECT_EQ(back.ReadInteger("Big", "key1500", 0), -1);
  EXPECT_EQ(back.ReadInteger("Big", "key7", 0), 7);
  EXPECT_EQ(back.ReadInteger("Big", "key1999", 0), 1999);
  EXPECT_FALSE(back.ValueExists("Big", "key3"));
  EXPECT_EQ(back.ReadSection("Big").size(), 1999u);
  back.EraseSection("BIG");
  EXPECT_FALSE(back.SectionExists("Big"));
  EXPECT_EQ(back.Serialize(), "");
}

TEST(IniFile, FileRoundTripAndMissingFile) {
  TempDir t;
  TIniFile missing(t.Dir() + "none.ini");
  EXPECT_FALSE(missing.SectionExists("A"));
  missing.WriteString("A", "b", "c");
  ASSERT_TRUE(Ok(missing.UpdateFile()));
  EXPECT_EQ(t.Read("none.ini"), "[A]\r\nb=c\r\n");
  TIniFile again(t.Dir() + "none.ini");
  EXPECT_EQ(again.ReadString("a", "B", "?"), "c");
  // A write that cannot happen is reported with a reason.
  fsys::Status s = again.SaveToFile(t.Dir() + "no/such/dir.ini");
  EXPECT_FALSE(s);
  EXPECT_EQ(s.path, t.Dir() + "no/such/dir.ini");
  EXPECT_EQ(s.code, ENOENT);
}
