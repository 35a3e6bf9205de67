// The tree load over a fuzzed project: MainTree.dat and a few item files,
// written from the input into a fresh directory, then TProject::Load. The
// tree that comes out stays inside the project, names every item once, and,
// written as a tree file and loaded again, gives the same tree.
//
// Input framing: the tree file first, then one item file after each line
// "#FILE name" ("\n#FILE " + name + "\n" + content). Names that are not plain
// file names are dropped.
#include "FuzzSupport.h"

#include "store/Codec.h"
#include "store/IniFile.h"
#include "store/Project.h"

#include <set>
#include <vector>

namespace {

constexpr std::string_view kFileMark = "\n#FILE ";
constexpr size_t kMaxFiles = 32;

bool PlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.size() < 200 &&
         name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

struct Shape {
  std::string id, title, path;
  int level;
  bool missing;
  bool operator==(const Shape &) const = default;
};

std::vector<Shape> ShapeOf(const TProject &p) {
  std::vector<Shape> out;
  for (TProjectNode *n = p.Tree().GetFirstNode(); n; n = n->GetNext())
    out.push_back(
        {n->Data()->ID, n->Text(), n->Data()->Files.FilePath, n->Level(), n->Data()->Missing});
  return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::FdCheck fds;
  const std::string_view input = fuzz::Bytes(data, size);
  fuzz::Scratch dir;

  size_t cut = input.find(kFileMark);
  fuzz::WriteBytes(dir.Path("MainTree.dat"), input.substr(0, cut));
  for (size_t files = 0; cut != std::string_view::npos && files < kMaxFiles; ++files) {
    const size_t start = cut + kFileMark.size();
    cut = input.find(kFileMark, start);
    std::string_view chunk = input.substr(start, cut == std::string_view::npos ? cut : cut - start);
    const size_t eol = chunk.find('\n');
    const std::string_view name = chunk.substr(0, eol);
    if (!PlainName(name) || name == TProject::kTreeFileName)
      continue;
    fuzz::WriteBytes(dir.Path(name), eol == std::string_view::npos ? "" : chunk.substr(eol + 1));
  }

  TProject project;
  const TLoadReport report = project.Load(dir.Dir());
  FUZZ_CHECK(report.RootLoaded == (project.Root() != nullptr));
  if (!project.Root())
    return 0;
  FUZZ_CHECK(project.Root()->Data()->ID == "Root" && project.Tree().TopCount() == 1);

  // Every node reads and later writes a file of its own, inside the project.
  std::set<std::string> ids, paths;
  size_t missing = 0;
  for (TProjectNode *n = project.Tree().GetFirstNode(); n; n = n->GetNext()) {
    const TNodeData &d = *n->Data();
    FUZZ_CHECK(ids.insert(cp932::LowerAscii(d.ID)).second);
    FUZZ_CHECK(paths.insert(d.Files.FilePath).second);
    FUZZ_CHECK(d.Files.FilePath.compare(0, project.Dir().size(), project.Dir()) == 0);
    if (!d.Missing)
      FUZZ_CHECK(d.Files.FilePath.find('/', project.Dir().size()) == std::string::npos);
    missing += d.Missing;
  }
  FUZZ_CHECK(missing == report.Missing.size());
  FUZZ_CHECK(project.Tree().NodeCount() == ids.size());
  (void)project.CollectItemFiles();
  (void)project.NextItemID();

  // Written and loaded again: the same tree.
  const std::vector<Shape> before = ShapeOf(project);
  TIniFile tree;
  FUZZ_CHECK(project.Tree().BuildTreeFile(tree));
  fuzz::WriteBytes(dir.Path("MainTree.dat"), tree.Serialize());
  TProject reloaded;
  FUZZ_CHECK(reloaded.Load(dir.Dir()).RootLoaded);
  FUZZ_CHECK(ShapeOf(reloaded) == before);

  return 0;
}
