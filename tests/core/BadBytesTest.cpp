// Every reader of the program against bad bytes, and against things that are
// no file where a file should be: no crash, no hang, a failure that says what
// and where (or a plain reading of the bytes), and nothing it could not read
// lost by the next write. One table of bad inputs, run against each reader.
#include "ProjectFixtures.h"
#include "TempDir.h"
#include "export/Exchange.h"
#include "export/ExportText.h"
#include "search/ProjectSearch.h"
#include "store/IniFile.h"
#include "store/NodeFiles.h"
#include "store/Project.h"
#include "store/ProjectProperties.h"
#include "store/RegIniFile.h"
#include "store/TextLines.h"
#include "store/TreeClipboard.h"
#include "store/WindowData.h"
#include "support/TreeOutline.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

enum class Kind { Empty, LongLine, Nul, BadCp932, Bom, LfOnly, CrOnly, Directory, Fifo, Mode000 };

struct Bad {
  const char *name;
  Kind kind;
};

const Bad kBad[] = {
    {"Empty", Kind::Empty},   {"TenMegabyteLine", Kind::LongLine},
    {"NulBytes", Kind::Nul},  {"InvalidCp932", Kind::BadCp932},
    {"Utf8Bom", Kind::Bom},   {"LfOnly", Kind::LfOnly},
    {"CrOnly", Kind::CrOnly}, {"Directory", Kind::Directory},
    {"Fifo", Kind::Fifo},     {"Mode000", Kind::Mode000},
};

// Bytes, not something else in the file's place.
bool IsBytes(Kind k) { return k != Kind::Directory && k != Kind::Fifo && k != Kind::Mode000; }
// Bytes the writers give back exactly: CR LF lines, no byte-order mark.
bool Canonical(Kind k) { return k == Kind::LongLine || k == Kind::Nul || k == Kind::BadCp932; }

// What each reader finds in a text position of its file (a title, a value,
// a line of text): the bad bytes themselves for the kinds that are about
// bytes, a plain word for the others.
std::string Payload(Kind k) {
  switch (k) {
  case Kind::LongLine:
    return std::string(10u << 20, 'x'); // 10 MB, one line
  case Kind::Nul:
    return std::string("a\0b\0", 4);
  case Kind::BadCp932:
    // A lead byte before a byte that is no trail byte, bytes that are no
    // character at all, and half a character at the end.
    return "\x81\x7F\xFF\x80\xA0\xFD\x81";
  default:
    return "plain";
  }
}

// `lines` (without line ends) as the kind stores them.
std::string Store(Kind k, const std::vector<std::string> &lines) {
  if (k == Kind::Empty)
    return {};
  const char *end = k == Kind::LfOnly ? "\n" : k == Kind::CrOnly ? "\r" : "\r\n";
  std::string s = k == Kind::Bom ? "\xEF\xBB\xBF" : "";
  for (const std::string &l : lines)
    s += l + end;
  return s;
}

std::string Crlf(const std::vector<std::string> &lines) { return Store(Kind::Nul, lines); }

std::string ReadBytes(const std::string &path) {
  std::string bytes;
  EXPECT_TRUE(Ok(fsys::ReadFile(path, bytes)));
  return bytes;
}

// What is at `path`, for the checks that a thing was left alone.
std::string Thing(const std::string &path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0)
    return "nothing";
  if (S_ISDIR(st.st_mode))
    return "directory";
  if (S_ISFIFO(st.st_mode))
    return "fifo";
  if ((st.st_mode & 0777) == 0)
    return "mode 000";
  return "file: " + ReadBytes(path);
}

// The kind at `path`: its bytes (`lines` as the kind stores them), or a
// directory, a FIFO, a file of mode 000 holding the lines.
void Place(Kind k, const std::string &path, const std::vector<std::string> &lines) {
  fs::remove_all(path);
  if (k == Kind::Directory) {
    fs::create_directory(path);
    return;
  }
  if (k == Kind::Fifo) {
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
    return;
  }
  std::string bytes = IsBytes(k) ? Store(k, lines) : Crlf(lines);
  ASSERT_TRUE(Ok(fsys::WriteFile(path, bytes)));
  if (k == Kind::Mode000)
    ::chmod(path.c_str(), 0);
}

// A failure that names what failed and where.
void ExpectFailureAt(const fsys::Status &s, const std::string &path) {
  EXPECT_FALSE(s.ok());
  EXPECT_FALSE(s.op.empty());
  EXPECT_EQ(s.path, path);
}

// A canonical item file: the header as Save writes it, the text after it.
std::vector<std::string> ItemLines(const std::string &p) {
  return {"Title:T" + p,
          "Update:2000/11/08 09:05:03",
          "FirstEdition:1999/01/02 23:59:59",
          "Edition:7",
          "ToDo:true",
          "Completion:false",
          "Author:rovo",
          "Line:3",
          "Column:12",
          "",
          "body " + p,
          p,
          ""};
}

class BadBytes : public ::testing::TestWithParam<Bad> {
protected:
  void SetUp() override {
    if (K() == Kind::Mode000 && ::geteuid() == 0)
      GTEST_SKIP() << "running as root: mode 000 does not keep root from reading a file";
  }
  Kind K() const { return GetParam().kind; }
  std::string P() const { return Payload(K()); }
  TempDir t;
};

// The item file reader and writer, and the property window's header read.
TEST_P(BadBytes, ItemFile) {
  const std::string path = t.Path("i.txt");
  Place(K(), path, ItemLines(P()));
  const std::string before = Thing(path);
  TNodeFiles f;
  f.FilePath = path;
  TNodeFiles header;
  header.FilePath = path;
  if (!IsBytes(K())) {
    EXPECT_FALSE(f.Open(true));
    EXPECT_FALSE(f.ReadHeader());
    EXPECT_FALSE(f.LoadBody());
    EXPECT_FALSE(ReadItemHeader(header));
    EXPECT_EQ(header.Title, "(Untheme)");
    EXPECT_EQ(Thing(path), before);
    return;
  }
  ASSERT_TRUE(Ok(f.Open(true)));
  ASSERT_TRUE(Ok(ReadItemHeader(header)));
  if (K() == Kind::Empty) {
    EXPECT_EQ(f.Title, "(Untheme)");
    EXPECT_TRUE(f.Body.empty());
  } else {
    EXPECT_EQ(f.Title, "T" + P());
    EXPECT_EQ(f.Line, 3);
    EXPECT_EQ(f.Body, (TTextLines{"body " + P(), P()}));
  }
  EXPECT_EQ(header.Title, f.Title);
  EXPECT_EQ(header.Line, f.Line);
  EXPECT_TRUE(header.Body.empty());

  // Stored again: the same bytes, or (other line ends, a byte-order mark)
  // the same item in the writer's own form.
  ASSERT_TRUE(Ok(f.Save()));
  if (Canonical(K())) {
    EXPECT_EQ(ReadBytes(path), Crlf(ItemLines(P())));
  }
  TNodeFiles again;
  again.FilePath = path;
  ASSERT_TRUE(Ok(again.Open(true)));
  EXPECT_EQ(again.Serialize(), f.Serialize());
}

// MainTree.dat of a loaded project, read and written back by the tree save.
TEST_P(BadBytes, TreeFile) {
  fixture::Item(t, "r.txt", "R");
  fixture::Item(t, "c.txt", "C");
  const std::string path = t.Path("MainTree.dat");
  Place(K(), path,
        {"[Root]", "LastIndex=4", "TagHeader=" + P(), "Child01=Root-C00001", "FileName=r.txt",
         "[Root-C00001]", "FileName=c.txt"});
  const std::string before = Thing(path);
  TProject p;
  const TLoadReport r = p.Load(t.Dir());
  if (!IsBytes(K()) || K() == Kind::Empty) {
    // Nothing to show, and nothing to write over what could not be read.
    EXPECT_FALSE(r.RootLoaded);
    ExpectFailureAt(p.Save(), path);
    EXPECT_EQ(Thing(path), before);
    EXPECT_EQ(Thing(path + ".ord"), "nothing");
    return;
  }
  ASSERT_TRUE(r.RootLoaded);
  EXPECT_EQ(outline::Print(p.Tree()), "R(C)");
  EXPECT_EQ(p.WindowData().TagHeader, P());
  ASSERT_TRUE(Ok(p.Save()));
  TProject back;
  ASSERT_TRUE(back.Load(t.Dir()).RootLoaded);
  EXPECT_EQ(outline::Print(back.Tree()), "R(C)");
  EXPECT_EQ(back.WindowData().TagHeader, P());
  EXPECT_EQ(back.WindowData().LastIndex, 4);
}

// The root item's file: without it there is no project to show, and the
// tree file that names it is not written over.
TEST_P(BadBytes, RootItemOfAProject) {
  fixture::Item(t, "c.txt", "C");
  Place(K(), t.Path("r.txt"), ItemLines(P()));
  const std::string tree = fixture::Section("Root", {"Child01=Root-C00001", "FileName=r.txt"}) +
                           fixture::Section("Root-C00001", {"FileName=c.txt"});
  t.Write("MainTree.dat", tree);
  const std::string before = Thing(t.Path("r.txt"));
  TProject p;
  const TLoadReport r = p.Load(t.Dir());
  if (!IsBytes(K())) {
    EXPECT_FALSE(r.RootLoaded);
    ExpectFailureAt(p.Save(), t.Path("MainTree.dat"));
    EXPECT_EQ(t.Read("MainTree.dat"), tree);
    EXPECT_EQ(Thing(t.Path("r.txt")), before);
    return;
  }
  ASSERT_TRUE(r.RootLoaded);
  EXPECT_EQ(p.Title(), K() == Kind::Empty ? "(Untheme)" : "T" + P());
  if (K() != Kind::LongLine) { // a label with no spaces or brackets prints as is
    EXPECT_EQ(outline::Print(p.Tree()), p.Title() + "(C)");
  }
}

// An item file of a loaded project: read into the tree, searched there, and
// never written over by a save when it could not be read.
TEST_P(BadBytes, ItemOfALoadedProject) {
  fixture::Item(t, "r.txt", "R");
  const std::string path = t.Path("c.txt");
  Place(K(), path, ItemLines(P()));
  const std::string before = Thing(path);
  t.Write("MainTree.dat", fixture::Section("Root", {"Child01=Root-C00001", "FileName=r.txt"}) +
                              fixture::Section("Root-C00001", {"FileName=c.txt"}));
  TProject p;
  const TLoadReport r = p.Load(t.Dir());
  ASSERT_TRUE(r.RootLoaded);
  ASSERT_EQ(p.Root()->Count(), 1);
  const TNodeData &c = *p.Root()->Item(0)->Data();
  if (!IsBytes(K())) {
    ASSERT_EQ(r.Missing.size(), 1u);
    EXPECT_TRUE(c.Missing);
    EXPECT_EQ(c.ListedFileName, "c.txt");
    // Still needed (cleanup keeps it), still listed, never written.
    EXPECT_EQ(p.CollectItemFiles().count("c.txt"), 1u);
    ASSERT_TRUE(Ok(p.Save()));
    EXPECT_EQ(TIniFile(t.Path("MainTree.dat")).ReadString("Root-C00001", "FileName", ""), "c.txt");
    EXPECT_EQ(Thing(path), before);
    TProject again;
    ASSERT_TRUE(again.Load(t.Dir()).RootLoaded);
    EXPECT_EQ(again.Tree().MissingItems().size(), 1u);
    return;
  }
  EXPECT_TRUE(r.Missing.empty());
  EXPECT_FALSE(c.Missing);
  if (K() == Kind::Empty) {
    EXPECT_EQ(c.Files.Title, "(Untheme)");
    EXPECT_TRUE(c.Files.Body.empty());
    return;
  }
  EXPECT_EQ(c.Files.Title, "T" + P());
  EXPECT_EQ(c.Files.Body, (TTextLines{"body " + P(), P()}));
  // The project search finds text after NUL bytes and broken characters.
  const search::THit hit = search::FindInTree(p.Tree(), p.Root(), "body", true, true);
  EXPECT_EQ(hit.node, p.Root()->Item(0));
  EXPECT_EQ(hit.position, 0u);
  ASSERT_TRUE(Ok(p.Save()));
  EXPECT_EQ(Thing(path), before); // a tree save writes no item file
}

// INI documents: a shortcut file read and updated in place, the per-user
// settings file, the window settings in MainTree.dat.
TEST_P(BadBytes, IniDocuments) {
  const std::string path = t.Path("file.ini");
  const std::vector<std::string> lines = {"[Project]", "Directory=" + P(), "[Root]",
                                          "FileName=r.txt", "Child01=X"};
  Place(K(), path, lines);
  const std::string before = Thing(path);
  const bool readable = IsBytes(K());
  // "?": no such key.
  const std::string value = readable && K() != Kind::Empty ? P() : "?";
  {
    TIniFile ini;
    const fsys::Status loaded = ini.Load(path);
    if (readable)
      EXPECT_TRUE(Ok(loaded));
    else
      ExpectFailureAt(loaded, path);
    EXPECT_EQ(ini.ReadString("Project", "Directory", "?"), value);
    ini.WriteString("Main", "SortUp", "1");
    const fsys::Status written = ini.UpdateFile();
    if (!readable) {
      // What could not be read is not replaced by what little is known.
      ExpectFailureAt(written, path);
      EXPECT_EQ(Thing(path), before);
    } else {
      ASSERT_TRUE(Ok(written));
      if (Canonical(K())) {
        EXPECT_EQ(ReadBytes(path), Crlf(lines) + "[Main]\r\nSortUp=1\r\n");
      }
      TIniFile back(path);
      EXPECT_EQ(back.ReadString("Project", "Directory", "?"), value);
      EXPECT_EQ(back.ReadString("Main", "SortUp", ""), "1");
    }
  }
  Place(K(), path, lines);
  {
    TRegIniFile reg(path);
    EXPECT_EQ(reg.ReadString("Project", "Directory", "?"), value);
    reg.WriteString("Main", "RootDir", "/r/");
    const fsys::Status written = reg.UpdateFile();
    if (!readable)
      ExpectFailureAt(written, path);
    else
      EXPECT_TRUE(Ok(written));
  } // the destructor tries again
  if (!readable) {
    EXPECT_EQ(Thing(path), before);
  } else {
    TIniFile back(path);
    EXPECT_EQ(back.ReadString("Project", "Directory", "?"), value);
    EXPECT_EQ(back.ReadString("Main", "RootDir", ""), "/r/");
  }
  Place(K(), path, lines);
  {
    TWindowData w;
    w.ReadSettings(path);
    EXPECT_EQ(w.RootFileName, readable && K() != Kind::Empty ? "r.txt" : "");
    w.Top = 7;
    const fsys::Status written = w.WriteSettings(path);
    if (!readable) {
      ExpectFailureAt(written, path);
      EXPECT_EQ(Thing(path), before);
    } else {
      ASSERT_TRUE(Ok(written));
      TIniFile back(path);
      EXPECT_EQ(back.ReadString("Project", "Directory", "?"), value);
      EXPECT_EQ(back.ReadInteger("Window", "Top", 0), 7);
      if (K() != Kind::Empty) {
        EXPECT_EQ(back.ReadString("Root", "FileName", ""), "r.txt");
        EXPECT_EQ(back.ReadString("Root", "Child01", ""), "X");
      }
    }
  }
}

// The exchange file as the import reads it.
TEST_P(BadBytes, ExchangeImport) {
  const std::string path = t.Path("in.txt");
  const std::vector<std::string> item = {"Title:R" + P(), "", "text " + P(), ""};
  std::vector<std::string> lines = {"[Orvane Exported File]", "FileName:MainTree.dat", "[Root]",
                                    "FileName=r.txt",         "TagHeader=" + P(),      "\f",
                                    "FileName:r.txt"};
  lines.insert(lines.end(), item.begin(), item.end());
  lines.push_back("\f");
  Place(K(), path, lines);
  const std::string before = Thing(path);
  const std::string target = t.Path("p");
  const TImportResult r = ImportExchangeFileInto(path, target);
  EXPECT_EQ(Thing(path), before);
  if (!IsBytes(K()) || K() == Kind::Empty || K() == Kind::Bom) {
    // Not an exchange file (the header must stand first, exactly), or not
    // readable: no project is made.
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(!fs::exists(target) || fs::is_empty(target));
    if (K() == Kind::Mode000)
      ExpectFailureAt(r.Failure, path);
    return;
  }
  ASSERT_TRUE(r.ok()) << r.Message;
  EXPECT_EQ(r.FilesWritten, 2);
  EXPECT_EQ(ReadBytes(target + "/r.txt"), Crlf(item));
  TProject p;
  ASSERT_TRUE(p.Load(target).RootLoaded);
  EXPECT_EQ(p.Title(), "R" + P());
  EXPECT_EQ(p.WindowData().TagHeader, P());
}

// The export reads item files as stored; an exchange export imported again
// gives every item file back.
TEST_P(BadBytes, ExportOfItemFiles) {
  TempDir project;
  fixture::Item(project, "r.txt", "R");
  const std::string path = project.Path("c.txt");
  Place(K(), path, ItemLines(P()));
  const std::string before = Thing(path);
  project.Write("MainTree.dat",
                fixture::Section("Root", {"Child01=Root-C00001", "FileName=r.txt"}) +
                    fixture::Section("Root-C00001", {"FileName=c.txt"}));
  TProject p;
  ASSERT_TRUE(p.Load(project.Dir()).RootLoaded);
  TRegIniFile settings(t.Path("settings.ini"));
  auto run = [&](TExportMode mode, const std::string &out) {
    TExportText engine(settings);
    return RunExport(engine, p, nullptr, mode, out);
  };
  ASSERT_TRUE(Ok(run(TExportMode::Text, t.Path("out.txt"))));
  ASSERT_TRUE(Ok(run(TExportMode::Html, t.Path("out.html"))));
  ASSERT_TRUE(Ok(run(TExportMode::Exchange, t.Path("out.exc"))));
  ASSERT_TRUE(Ok(run(TExportMode::Frames, t.Path("frames"))));
  EXPECT_EQ(Thing(path), before);
  const std::string text = ReadBytes(t.Path("out.txt"));
  const TImportResult r = ImportExchangeFileInto(t.Path("out.exc"), t.Path("back"));
  ASSERT_TRUE(r.ok()) << r.Message;
  if (!IsBytes(K())) {
    // Left out, and the export goes on without it.
    EXPECT_EQ(text.find("body"), std::string::npos);
    EXPECT_NE(text.find("text of R"), std::string::npos);
    EXPECT_FALSE(fs::exists(t.Path("back/c.txt")));
    EXPECT_FALSE(fs::exists(t.Path("frames/c.html")));
    return;
  }
  EXPECT_TRUE(fs::exists(t.Path("frames/c.html")));
  if (K() == Kind::Empty) {
    EXPECT_EQ(ReadBytes(t.Path("back/c.txt")), "");
    return;
  }
  EXPECT_NE(text.find("\r\nbody " + P() + "\r\n" + P() + "\r\n"), std::string::npos);
  EXPECT_NE(ReadBytes(t.Path("out.html")).find("body " + P() + "<BR>"), std::string::npos);
  const std::string back = ReadBytes(t.Path("back/c.txt"));
  if (K() == Kind::Bom)
    EXPECT_EQ(back, "\xEF\xBB\xBF" + Crlf(ItemLines(P())));
  else
    EXPECT_EQ(back, Crlf(ItemLines(P())));
}

// The property window's list of a project's files.
TEST_P(BadBytes, ProjectProperties) {
  fixture::Item(t, "r.txt", "R");
  Place(K(), t.Path("c.txt"), ItemLines(P()));
  const std::string before = Thing(t.Path("c.txt"));
  t.Write("MainTree.dat", fixture::Section("Root", {"Child01=Root-C00001", "FileName=r.txt"}) +
                              fixture::Section("Root-C00001", {"FileName=c.txt"}));
  const TProjectProperties props = ReadProjectProperties(t.Dir());
  ASSERT_TRUE(props.IsProject);
  EXPECT_EQ(props.RootTitle, "R");
  const TPropertyFile *c = nullptr;
  for (const TPropertyFile &f : props.Files)
    if (f.Name == "c.txt")
      c = &f;
  EXPECT_EQ(Thing(t.Path("c.txt")), before);
  if (K() == Kind::Directory) {
    EXPECT_EQ(c, nullptr); // folders are no rows
    return;
  }
  ASSERT_NE(c, nullptr);
  EXPECT_TRUE(c->IsItem);
  const bool titled = IsBytes(K()) && K() != Kind::Empty;
  EXPECT_EQ(c->Item.Title, titled ? "T" + P() : "(Untheme)");
  EXPECT_EQ(c->Item.Line, titled ? 3 : 0);
}

// The tree clipboard's text, and the item files it names as an insert reads
// them.
TEST_P(BadBytes, TreeClipboard) {
  TempDir source;
  fixture::Item(source, "d.txt", "D");
  const std::string path = source.Path("c.txt");
  Place(K(), path, ItemLines(P()));
  const std::string before = Thing(path);

  if (IsBytes(K())) {
    const std::string attachment = "p" + P() + ".png";
    const treeclip::TClip clip =
        treeclip::Parse(Store(K(), {"[Tree buff from Orvane]", path, "-" + source.Path("d.txt"),
                                    "[Attach file list from Orvane]", attachment}));
    if (K() == Kind::Empty || K() == Kind::Bom) {
      EXPECT_FALSE(clip.isTree); // the marker must stand first
    } else {
      EXPECT_TRUE(clip.isTree);
      ASSERT_EQ(clip.items.size(), 2u);
      EXPECT_EQ(clip.items[1].depth, 1);
      EXPECT_EQ(clip.sourceDir, source.Dir());
      EXPECT_EQ(clip.attachments, TStringList{attachment});
    }
  }

  fixture::Item(t, "r.txt", "R");
  t.Write("MainTree.dat", fixture::Section("Root", {"FileName=r.txt"}));
  TProject p;
  ASSERT_TRUE(p.Load(t.Dir()).RootLoaded);
  const treeclip::TClip clip =
      treeclip::Parse(Crlf({"[Tree buff from Orvane]", path, "-" + source.Path("d.txt")}));
  const treeclip::TInsertReport r = treeclip::Insert(p, clip, p.Root(), {});
  EXPECT_EQ(Thing(path), before);
  if (!IsBytes(K())) {
    EXPECT_TRUE(r.sourceMissing);
    EXPECT_EQ(r.missingPath, path);
    EXPECT_EQ(r.inserted, 0);
    EXPECT_EQ(outline::Print(p.Tree()), "R-");
    return;
  }
  ASSERT_EQ(r.inserted, 2);
  const TNodeFiles &c = p.Root()->Item(0)->Data()->Files;
  if (K() == Kind::Empty) {
    EXPECT_TRUE(c.Body.empty());
  } else {
    EXPECT_EQ(c.Title, "T" + P());
    EXPECT_EQ(c.Body, (TTextLines{"body " + P(), P()}));
  }
}

// The line splitters, and the search over what they give.
TEST_P(BadBytes, TextLinesAndSearch) {
  if (!IsBytes(K()))
    GTEST_SKIP() << "the splitters read bytes in memory, no file";
  const std::string bytes = Store(K(), {"one " + P(), "two", P() + " three"});
  const TStringList lines = TNodeFiles::SplitLines(bytes);
  if (K() == Kind::Empty) {
    EXPECT_TRUE(lines.empty());
    EXPECT_TRUE(TTextLines::FromEditorText("").empty());
    return;
  }
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], (K() == Kind::Bom ? "\xEF\xBB\xBF" : "") + ("one " + P()));
  EXPECT_EQ(lines[2], P() + " three");
  const TTextLines text(lines);
  EXPECT_EQ(text.size(), 3u);
  EXPECT_EQ(text[2], lines[2]);
  const std::string joined = text.Joined();
  const TTextLines edited = TTextLines::FromEditorText(joined);
  EXPECT_EQ(edited, text);

  // Positions count every line break as CR LF, as the memo does.
  const size_t three = lines[0].size() + 2 + 3 + 2 + P().size() + 1;
  EXPECT_EQ(search::FindInText(text, "three", true), three);
  EXPECT_EQ(search::FindInText(text, "three", false), three);
  EXPECT_EQ(search::FindInText(text, "two", false), lines[0].size() + 2);
  if (K() == Kind::Nul) {
    EXPECT_EQ(search::FindInText(text, std::string("b\0", 2), true), 6u);
  }
  if (K() == Kind::LongLine) {
    // Hits one after another along a long line, from either end.
    EXPECT_EQ(search::AllHits(text, "xxxx", 10).size(), 10u);
    EXPECT_EQ(search::FindInText(text, "xx", false), three - 3);
    EXPECT_EQ(search::AllHits(text, "x").size(), 2 * P().size());
  }
}

INSTANTIATE_TEST_SUITE_P(Inputs, BadBytes, ::testing::ValuesIn(kBad),
                         [](const ::testing::TestParamInfo<Bad> &info) {
                           return std::string(info.param.name);
                         });

// A path with a NUL in it names no file: the OS would read it only up to
// the NUL, which is another file.
TEST(BadBytesPaths, APathWithANulNamesNoFile) {
  TempDir source;
  fixture::Item(source, "c.txt", "C");
  const std::string cut = source.Path("c.txt") + std::string("\0.other", 7);
  TempDir t;
  fixture::Item(t, "r.txt", "R");
  t.Write("MainTree.dat", fixture::Section("Root", {"FileName=r.txt"}));
  TProject p;
  ASSERT_TRUE(p.Load(t.Dir()).RootLoaded);
  const treeclip::TClip clip = treeclip::Parse(Crlf({"[Tree buff from Orvane]", cut}));
  ASSERT_EQ(clip.items.size(), 1u);
  EXPECT_EQ(clip.items[0].path, cut);
  const treeclip::TInsertReport r = treeclip::Insert(p, clip, p.Root(), {});
  EXPECT_TRUE(r.sourceMissing);
  EXPECT_EQ(r.missingPath, cut);
  EXPECT_EQ(outline::Print(p.Tree()), "R-");
}

} // namespace
