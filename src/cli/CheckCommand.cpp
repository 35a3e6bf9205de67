#include "cli/Command.h"

#include "store/Project.h"
#include "store/ProjectCheck.h"
#include "store/Recovery.h"

#include <ostream>
#include <sstream>

namespace cli {

namespace {

int Check(Call &call) {
  std::ostringstream warnings;
  const CommandProject project(call, TLoadMode::Full, warnings);
  std::string reported = warnings.str();
  if (!project.Loaded()) {
    call.err << reported;
    return kFailed;
  }
  for (const TFinding &f : FileFindings(*project, recovery::DefaultRoot())) {
    if (f.Fault())
      reported += "warning: " + Show(f.text) + "\n";
    else
      call.out << "restorable: " << Show(f.text) << "\n";
  }
  if (reported.empty()) {
    call.out << "ok: " << project->Tree().NodeCount() << " items, nothing to report\n";
    return kOk;
  }
  call.err << reported;
  return kFailed;
}

} // namespace

extern const Command kCheck{
    .name = "check",
    .summary = "report what a load of a project skips or warns about",
    .help = "usage: orvane-cli check DIR\n"
            "\n"
            "Loads the project in directory DIR without changing anything and reports on\n"
            "stderr the items left out (cycles, items listed twice, files shared), items\n"
            "no child list reaches (a gap in the Child numbers, a key given twice), item\n"
            "files that cannot be read, malformed header values, item texts holding\n"
            "bytes that are not Shift-JIS, .txt files newer than the tree file that no\n"
            "item names, what a stopped write left (X.tmp~, MainTree.dat.new), and\n"
            "unsaved changes waiting in a recovery copy (see recover).\n"
            "Lists on stdout the item files the editor can restore (retired X.exp files\n"
            "and the files of items below a deleted one), which are no fault.\n"
            "Exits 0 when there is nothing to report, 1 when something was reported or\n"
            "DIR is not a project.\n",
    .oneDirectory = true,
    .run = Check};

} // namespace cli
