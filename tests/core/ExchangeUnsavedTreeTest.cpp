// The exchange file of a project whose tree changed since its last save
// carries the tree as it stands, so that an import brings back the items the
// user sees; a saved tree goes out as the file holds it, byte for byte.
#include "ProjectFixtures.h"
#include "TempDir.h"
#include "export/Exchange.h"
#include "export/ExportText.h"
#include "store/IniFile.h"
#include "store/LibUnit.h"
#include "store/NodeFiles.h"
#include "store/Project.h"
#include "store/RegIniFile.h"

#include <gtest/gtest.h>

namespace {

// The content of the exchange file's MainTree.dat block.
std::string TreeBlock(const std::string &exchange) {
  const std::string start = "FileName:MainTree.dat\r\n";
  const size_t from = exchange.find(start);
  if (from == std::string::npos)
    return {};
  const size_t begin = from + start.size();
  return exchange.substr(begin, exchange.find("\f\r\n", begin) - begin);
}

} // namespace

TEST(ExchangeOfAChangedTree, CarriesTheTreeAsItStands) {
  TempDir t;
  TempDir out;
  fixture::WriteSample(t);
  const std::string saved = t.Read("MainTree.dat");
  TProject p;
  ASSERT_TRUE(p.Load(t.Dir()).RootLoaded);
  TRegIniFile settings(out.Path("settings.ini"));

  {
    TExportText engine(settings);
    ASSERT_TRUE(Ok(RunExport(engine, p, nullptr, TExportMode::Exchange, out.Path("saved.txt"))));
    EXPECT_EQ(TreeBlock(out.Read("saved.txt")), saved);
  }

  // A new item (its file written at once) and a deleted one, not saved yet.
  TProjectNode *added = p.Tree().AddChild(p.Root(), "C");
  p.InitItem(*added->Data());
  added->Data()->Files.Title = "C";
  ASSERT_TRUE(Ok(added->Data()->Files.Save()));
  TProjectNode *b = nullptr;
  for (TProjectNode *n = p.Tree().GetFirstNode(); n; n = n->GetNext())
    if (n->Text() == "B")
      b = n;
  ASSERT_TRUE(b);
  p.Tree().Delete(b);
  ASSERT_TRUE(p.Modified());

  TExportText engine(settings);
  ASSERT_TRUE(Ok(RunExport(engine, p, nullptr, TExportMode::Exchange, out.Path("changed.txt"))));
  const std::string exchange = out.Read("changed.txt");
  const std::string newFile = ExtractFileName(added->Data()->Files.FilePath);
  TIniFile now;
  ASSERT_TRUE(p.Tree().BuildTreeFile(now));
  EXPECT_EQ(TreeBlock(exchange), now.Serialize());
  EXPECT_NE(TreeBlock(exchange).find("FileName=" + newFile + "\r\n"), std::string::npos);
  EXPECT_EQ(TreeBlock(exchange).find("FileName=b.txt"), std::string::npos);
  EXPECT_NE(exchange.find("FileName:" + newFile + "\r\n"), std::string::npos);
  EXPECT_EQ(exchange.find("FileName:b.txt"), std::string::npos);
  EXPECT_EQ(t.Read("MainTree.dat"), saved); // the project itself is not saved

  // Imported, it is the project the user saw.
  ASSERT_TRUE(ImportExchangeFileInto(out.Path("changed.txt"), out.Path("imported")).ok());
  TProject back;
  ASSERT_TRUE(back.Load(out.Path("imported")).RootLoaded);
  std::string labels;
  for (TProjectNode *n = back.Tree().GetFirstNode(); n; n = n->GetNext())
    labels += n->Text() + (n->Data()->Missing ? "(missing) " : " ");
  EXPECT_EQ(labels, "Project A A1 A2 C ");
}
