// The text, HTML, frame set and exchange export of one fuzzed item file, into
// a fresh directory: every export of a readable item succeeds, HTML escaping
// leaves no markup of the item's, and an exchange file of the item imports
// back to the item's lines.
#include "FuzzSupport.h"

#include "export/Exchange.h"
#include "export/ExportText.h"
#include "store/NodeFiles.h"
#include "store/RegIniFile.h"

namespace {

// No raw markup character, and every '&' starts one of the four entities.
bool Escaped(std::string_view html) {
  for (size_t i = 0; i < html.size(); ++i) {
    const char c = html[i];
    if (c == '<' || c == '>' || c == '"')
      return false;
    if (c == '&') {
      const std::string_view rest = html.substr(i);
      if (rest.substr(0, 5) != "&amp;" && rest.substr(0, 4) != "&lt;" &&
          rest.substr(0, 4) != "&gt;" && rest.substr(0, 6) != "&quot;")
        return false;
    }
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::FdCheck fds;
  const std::string_view bytes = fuzz::Bytes(data, size);
  fuzz::Scratch dir;
  const std::string item = dir.Path("20240101000000_0.txt");
  fuzz::WriteBytes(item, bytes);
  const int depth = static_cast<int>(size % 4);

  TNodeFiles files;
  files.FilePath = item;
  FUZZ_CHECK(files.Open(true));
  FUZZ_CHECK(Escaped(HtmlEscape(files.Title)) && Escaped(HtmlEscape(files.Author)));
  for (std::string_view line : files.Body)
    FUZZ_CHECK(Escaped(HtmlEscape(line)));

  TRegIniFile settings(dir.Path("settings.ini"));
  TExportText engine(settings);

  FUZZ_CHECK(engine.SetFileName(dir.Path("out.txt")) && engine.BeginText());
  FUZZ_CHECK(engine.AddItemText(item, depth));
  FUZZ_CHECK(engine.EndText());

  FUZZ_CHECK(engine.SetFileName(dir.Path("out.html")) && engine.BeginText());
  FUZZ_CHECK(engine.AddItemHtml(item, depth));
  FUZZ_CHECK(engine.EndText());

  FUZZ_CHECK(engine.SetFileName(dir.Dir()) && engine.BeginFrames(files.Title));
  FUZZ_CHECK(engine.AddItemPage(item, 0));
  FUZZ_CHECK(engine.EndFrames());
  FUZZ_CHECK(!fuzz::ReadBytes(dir.Path("20240101000000_0.html")).empty());
  FUZZ_CHECK(!fuzz::ReadBytes(dir.Path("index.html")).empty());

  // The exchange form cannot hold a line that starts with a form feed (such
  // a line ends a block): the export refuses such an item and writes
  // nothing; every other item comes back line for line.
  const TStringList lines = TNodeFiles::SplitLines(bytes);
  bool formFeedLine = false;
  std::string expected;
  for (const std::string &l : lines) {
    formFeedLine |= !l.empty() && l[0] == '\f';
    expected += l + "\r\n";
  }
  FUZZ_CHECK(engine.SetFileName(dir.Path("out.exc")) && engine.BeginText());
  engine.AddExchangeTree("[Root]\r\nFileName=20240101000000_0.txt\r\n");
  FUZZ_CHECK(engine.AddExchangeFile(item));
  FUZZ_CHECK(engine.EndText().ok() == !formFeedLine);
  FUZZ_CHECK(engine.FormFeedLines().empty() == !formFeedLine);
  if (formFeedLine) {
    FUZZ_CHECK(fuzz::ReadBytes(dir.Path("out.exc")).empty());
    return 0;
  }
  const TImportResult imported = ImportExchangeFileInto(dir.Path("out.exc"), dir.Path("back"));
  FUZZ_CHECK(imported.ok());
  FUZZ_CHECK(fuzz::ReadBytes(dir.Path("back/20240101000000_0.txt")) == expected);

  return 0;
}
