// A load that reads item files on several threads gives what a load reading
// them one by one gives: the same tree, texts, headers and reports, in the
// same order, on projects with every kind of trouble in them.
#include "TempDir.h"
#include "store/FileSystem.h"
#include "store/Project.h"
#include "store/Threads.h"
#include "support/ScopedHooks.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

// `count` items below the root, each under a random earlier one, with
// missing files, malformed headers, a cycle, an item listed twice, two
// entries sharing a file, names in another letter case than on disk, a
// byte-order mark, an empty name and a section nothing lists.
void WriteTroubledProject(const TempDir &t, int count, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::vector<int>> children(count + 1);
  for (int i = 1; i <= count; ++i)
    children[rng() % i].push_back(i);
  auto id = [](int i) { return i == 0 ? std::string("Root") : "Root-C" + std::to_string(i); };
  auto file = [](int i) { return "item" + std::to_string(i) + ".txt"; };
  std::ostringstream tree;
  for (int i = 0; i <= count; ++i) {
    tree << "[" << id(i) << "]\r\n";
    if (i == 0)
      tree << "LastIndex=" << count << "\r\n";
    int n = 0;
    auto child = [&](const std::string &to) {
      ++n;
      tree << "Child" << (n < 10 ? "0" : "") << n << "=" << to << "\r\n";
    };
    for (int c : children[i])
      child(id(c));
    if (i == 7 && !children[7].empty())
      child(id(3)); // twice
    if (i % 97 == 50)
      child("Root"); // a cycle
    tree << "Expanded=" << (i % 3 == 0 ? 1 : 0) << "\r\n";
    std::string name = file(i);
    if (i % 89 == 11)
      name = file(i - 1); // shares the previous item's file
    if (i % 83 == 13)
      for (char &ch : name)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (i != 0 && i % 211 == 17)
      name.clear();
    tree << "FileName=" << name << "\r\n";
    if (i % 61 == 5 && i != 0)
      continue; // its file is missing
    std::string header = "Title:item " + std::to_string(i) + "\r\n";
    if (i % 41 == 3)
      header += "Update:yesterday\r\nLine:abc\r\n";
    if (i % 53 == 9)
      header = "\xEF\xBB\xBF" + header;
    std::string text;
    for (unsigned l = 0; l < rng() % 20; ++l)
      text += "line " + std::to_string(l) + " of " + std::to_string(i) + "\r\n";
    t.Write(file(i), header + "\r\n" + text);
  }
  tree << "[Orphan]\r\nFileName=" << file(1) << "\r\n";
  t.Write("MainTree.dat", tree.str());
}

// Everything a load gives, in its order, as text.
std::string Describe(TProject &p, bool texts = true) {
  std::ostringstream out;
  for (TProjectNode *n = p.Tree().GetFirstNode(); n; n = n->GetNext()) {
    const TNodeData &d = *n->Data();
    const TNodeFiles &f = d.Files;
    out << n->Level() << " " << d.ID << " " << n->Text() << " " << f.FilePath << " "
        << n->Expanded() << d.Missing << d.ListedFileName << " " << f.Update.ToString() << " "
        << f.Line << ":" << f.Column << " " << f.ToDo << f.Completion << " " << f.Author << " "
        << f.Disk.known << f.Disk.size << "/" << f.Disk.hash << "\n"
        << (texts ? f.Body.Joined() : std::string()) << "\n";
  }
  for (const std::string &w : p.Tree().LoadWarnings())
    out << "warning " << w << "\n";
  for (const TSkippedItem &s : p.Tree().SkippedItems())
    out << "skipped " << s.Section << " " << s.ID << " " << s.FileName << " " << s.Why << "\n";
  for (const TProjectNode *n : p.Tree().MissingItems())
    out << "missing " << n->Data()->ID << "\n";
  out << "selected " << (p.Tree().Selected() ? p.Tree().Selected()->Data()->ID : "-") << "\n";
  return out.str();
}

TEST(ParallelLoad, GivesWhatASerialLoadGives) {
  // Items without an update time take the time of their load: one clock for
  // both loads, whatever second each one falls in.
  support::ScopedClock clock([] {
    TDateTime t;
    t.year = 2026, t.month = 12, t.day = 9, t.hour = 5, t.minute = 0, t.second = 0;
    return t;
  });
  for (int count : {300, 2000}) {
    for (unsigned seed : {1u, 2u, 3u}) {
      SCOPED_TRACE(std::to_string(count) + " items, seed " + std::to_string(seed));
      TempDir t;
      WriteTroubledProject(t, count, seed);
      TProject serial;
      serial.Tree().ReadThreads = 1;
      serial.Load(t.Dir());
      ASSERT_NE(serial.Tree().RootNode(), nullptr);
      ASSERT_FALSE(serial.Tree().LoadWarnings().empty());
      ASSERT_FALSE(serial.Tree().SkippedItems().empty());
      ASSERT_FALSE(serial.Tree().MissingItems().empty());
      const std::string expected = Describe(serial);
      for (unsigned threads : {2u, 3u, 8u}) {
        TProject parallel;
        parallel.Tree().ReadThreads = threads;
        parallel.Load(t.Dir());
        EXPECT_EQ(Describe(parallel), expected) << threads << " threads";
        // Again, while the last load's tree file may still be being freed.
        parallel.Load(t.Dir());
        EXPECT_EQ(Describe(parallel), expected) << threads << " threads, loaded again";
      }
      for (int starts : {0, 1}) { // threads not to be had: the load reads the rest itself
        threads::LimitStartsForTest(starts);
        TProject parallel;
        parallel.Tree().ReadThreads = 4;
        parallel.Load(t.Dir());
        threads::LimitStartsForTest(-1);
        EXPECT_EQ(Describe(parallel), expected) << starts << " threads started";
      }
      for (unsigned threads : {1u, 2u}) { // a listing: every header, no text
        TProject headers;
        headers.Tree().LoadMode = TLoadMode::Headers;
        headers.Tree().ReadThreads = threads;
        headers.Load(t.Dir());
        EXPECT_EQ(Describe(headers), Describe(serial, false)) << threads << " threads, headers";
      }
    }
  }
}

// A project too small to share out, and a fault plan, load one by one; a
// project whose tree names nothing readable loads as a serial one does.
TEST(ParallelLoad, NoFilesAtAll) {
  TempDir t;
  std::string tree = "[Root]\r\nFileName=r.txt\r\n";
  for (int i = 1; i <= 400; ++i)
    tree += "[S" + std::to_string(i) + "]\r\nFileName=none" + std::to_string(i) + ".txt\r\n";
  t.Write("MainTree.dat", tree);
  TProject p;
  p.Tree().ReadThreads = 4;
  EXPECT_FALSE(p.Load(t.Dir()).RootLoaded);
  t.Write("r.txt", "Title:R\r\n\r\n");
  EXPECT_TRUE(p.Load(t.Dir()).RootLoaded);
  EXPECT_EQ(p.Tree().NodeCount(), 1u);
}

} // namespace
