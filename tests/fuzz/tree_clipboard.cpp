// The tree clipboard text over any bytes: Parse keeps its promises on the
// depths, and an insert of what it read into a fresh project adds exactly
// the items it reports, writes only inside that project and leaves the
// source project alone.
//
// "$SRC/" in the input stands for the directory of a small source project
// (items a.txt, b.txt, c.txt and an attachment pic.png); item lines that name
// anything outside it are not inserted, so that the run reads only its own
// files.
#include "FuzzSupport.h"

#include "store/Project.h"
#include "store/TreeClipboard.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::FdCheck fds;
  const std::string_view input = fuzz::Bytes(data, size);
  fuzz::Scratch scratch;
  const std::string src = scratch.Path("src/");
  std::filesystem::create_directory(src);
  fuzz::WriteBytes(src + "a.txt", "Title:A\r\nAttachFile:pic.png\r\n\r\nalpha\r\n\r\n");
  fuzz::WriteBytes(src + "b.txt", "Title:B\r\n\r\nbeta\r\n\r\n");
  fuzz::WriteBytes(src + "c.txt", "Title:\r\nToDo:true\r\n\r\n");
  fuzz::WriteBytes(src + "pic.png", "\x89PNG");

  std::string text;
  for (size_t i = 0; i < input.size();) {
    if (input.substr(i, 5) == "$SRC/") {
      text += src;
      i += 5;
    } else {
      text += input[i++];
    }
  }

  const treeclip::TClip clip = treeclip::Parse(text);
  if (!clip.isTree)
    FUZZ_CHECK(clip.items.empty() && clip.attachments.empty() && clip.sourceDir.empty());
  for (size_t i = 0; i < clip.items.size(); ++i) {
    const int limit = i == 0 ? 0 : clip.items[i - 1].depth + 1;
    FUZZ_CHECK(clip.items[i].depth >= 0 && clip.items[i].depth <= limit);
  }
  for (const std::string &a : clip.attachments)
    (void)treeclip::IsCopyableName(a);
  const bool contained = std::all_of(clip.items.begin(), clip.items.end(), [&](const auto &it) {
    return it.path.compare(0, src.size(), src) == 0 && it.path.find("/..") == std::string::npos;
  });
  if (clip.items.empty() || !contained || clip.items.size() > 64)
    return 0;

  const std::string target = scratch.Path("project/");
  std::filesystem::create_directory(target);
  TProject project;
  FUZZ_CHECK(project.CreateFirstTree(target, "Target", "me"));
  const size_t nodes = project.Tree().NodeCount();
  auto outside = fuzz::Snapshot(scratch.Dir());
  std::erase_if(outside, [](const auto &e) { return e.first.rfind("project", 0) == 0; });

  treeclip::TInsertOptions options;
  options.author = "fuzz";
  TProjectNode *selected = project.Root()->GetFirstChild();
  const treeclip::TInsertReport report = treeclip::Insert(project, clip, selected, options);

  // (An attachment the source lacks is a copy failure, and the insert goes on.)
  FUZZ_CHECK(report.failure.ok());
  FUZZ_CHECK(project.Tree().NodeCount() == nodes + static_cast<size_t>(report.inserted));
  FUZZ_CHECK(report.inserted <= static_cast<int>(clip.items.size()));
  FUZZ_CHECK((report.inserted == 0) == (report.first == nullptr));
  FUZZ_CHECK(report.sourceMissing == (report.inserted < static_cast<int>(clip.items.size())));
  for (TProjectNode *n = project.Tree().GetFirstNode(); n; n = n->GetNext()) {
    const std::string &path = n->Data()->Files.FilePath;
    FUZZ_CHECK(path.compare(0, target.size(), target) == 0);
    FUZZ_CHECK(std::filesystem::is_regular_file(path));
  }
  auto after = fuzz::Snapshot(scratch.Dir());
  std::erase_if(after, [](const auto &e) { return e.first.rfind("project", 0) == 0; });
  FUZZ_CHECK(after == outside);

  return 0;
}
