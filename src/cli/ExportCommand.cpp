#include "cli/Command.h"

#include "export/ExportText.h"
#include "store/FileSystem.h"
#include "store/Project.h"

#include <algorithm>
#include <ostream>

namespace cli {

namespace {

const std::pair<const char *, TExportMode> kModes[] = {{"--text", TExportMode::Text},
                                                       {"--html", TExportMode::Html},
                                                       {"--frames", TExportMode::Frames},
                                                       {"--exchange", TExportMode::Exchange}};

// The items whose text holds a line the exchange file cannot carry, each
// on a line of its own below the failure.
void TellFormFeedLines(const TExportText &engine, const fsys::Status &s, std::ostream &err) {
  std::string m = engine.FormFeedMessage();
  for (size_t p; (p = m.find("\r\n")) != std::string::npos;)
    m.replace(p, 2, "\n");
  err << "orvane-cli export: " << Show(s.path) << " was not written:\n";
  for (size_t from = 0; from <= m.size();) {
    size_t to = std::min(m.find('\n', from), m.size());
    err << "  " << Show(m.substr(from, to - from)) << "\n";
    from = to + 1;
  }
}

int Export(Call &call) {
  std::ostream &err = call.err;
  const TExportMode *mode = nullptr;
  std::string out, itemID;
  bool hasItem = false;
  for (const auto &[name, value] : call.options) {
    if (name == "--item") {
      if (hasItem) {
        err << "orvane-cli export: --item given twice\n";
        return kUsage;
      }
      hasItem = true;
      itemID = value;
      continue;
    }
    if (mode) {
      err << "orvane-cli export: give one of --text, --html, --frames, --exchange\n";
      return kUsage;
    }
    for (const auto &m : kModes)
      if (name == m.first)
        mode = &m.second;
    out = value;
  }
  if (call.operands.size() != 1 || !mode) {
    err << "orvane-cli export: expected a project directory and one of --text, --html, "
           "--frames, --exchange\n";
    return kUsage;
  }
  if (hasItem && *mode != TExportMode::Text && *mode != TExportMode::Html) {
    err << "orvane-cli export: --item goes with --text and --html; --frames and --exchange "
           "write the whole project\n";
    return kUsage;
  }
  if (out.empty()) {
    err << "orvane-cli export: the output path is empty\n";
    return kUsage;
  }
  std::string outPath, id;
  if (!ArgPath(out, outPath, err))
    return kFailed;
  if (hasItem && !fsys::FromNative(itemID, id)) {
    err << "orvane-cli export: no item " << Escape(itemID) << "\n";
    return kFailed;
  }
  // The export reads every item from its file: the load needs the tree
  // alone, and each file is read once.
  const CommandProject held(call, TLoadMode::TreeOnly);
  if (!held.Loaded())
    return kFailed;
  const TProject &project = *held;
  const TProjectNode *item = project.Root();
  if (hasItem) {
    item = nullptr;
    for (TProjectNode *n = project.Tree().GetFirstNode(); n && !item; n = n->GetNext())
      if (n->Data()->ID == id)
        item = n;
    if (!item) {
      err << "orvane-cli export: no item " << Show(id) << " in " << Escape(call.operands[0])
          << "\n";
      return kFailed;
    }
  }
  TExportText engine;
  if (fsys::Status s = RunExport(engine, project, item, *mode, outPath); !s) {
    if (!engine.FormFeedLines().empty())
      TellFormFeedLines(engine, s, err);
    else
      err << "orvane-cli export: " << Show(s.path) << " was not written: " << Escape(s.Text())
          << "\n";
    return kFailed;
  }
  return kOk;
}

} // namespace

extern const Command kExport{
    .name = "export",
    .summary = "write items as text, HTML, a frame set or an exchange file",
    .help = "usage: orvane-cli export DIR --text|--html|--frames|--exchange OUT [--item ID]\n"
            "\n"
            "Exports the project in directory DIR, reading every item from its file:\n"
            "\n"
            "  --text OUT      plain text into the file OUT\n"
            "  --html OUT      one HTML page into the file OUT\n"
            "  --frames OUT    an HTML frame set into the directory OUT (made when\n"
            "                  missing): index.html, index0.html, one page per item\n"
            "  --exchange OUT  the exchange file of the whole project (orvane-cli import\n"
            "                  reads it back)\n"
            "  --item ID       with --text and --html: the item ID and its descendants\n"
            "                  instead of the whole project\n"
            "\n"
            "The templates come from the user's settings (section restoration).\n"
            "Prints nothing on success. Exits 0, 1 when DIR is not a project, ID is not\n"
            "an item or OUT cannot be written (no half-written file is left under its\n"
            "name), 2 for a wrong command line.\n",
    .options = {{"--text", true},
                {"--html", true},
                {"--frames", true},
                {"--exchange", true},
                {"--item", true}},
    .run = Export};

} // namespace cli
