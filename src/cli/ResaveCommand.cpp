#include "cli/Command.h"

#include "store/FileSystem.h"
#include "store/Project.h"

#include <ostream>

namespace cli {

namespace {

int Resave(Call &call) {
  const CommandProject project(call);
  if (!project.Loaded())
    return kFailed;
  const std::string path = project->TreeFilePath();
  TProjectTree &tree = project->Tree();
  if (fsys::Status s = tree.SaveTreeFile(path); !s) {
    call.err << "orvane-cli: " << Show(path) << " was not written: " << Escape(s.Text())
             << "\nThe previous file is unchanged.\n";
    return kFailed;
  }
  fsys::Entry e;
  (void)fsys::Stat(path, e); // written just now; only the size shown would be 0
  call.out << "wrote " << Show(path) << " (" << tree.NodeCount() << " items, " << e.size
           << " bytes)\n";
  call.out << "previous version kept as " << Show(path) << ".ord\n";
  if (!tree.SkippedItems().empty())
    call.out << tree.SkippedItems().size()
             << " listed items were left out (see the warnings); their files stay on disk\n";
  return kOk;
}

} // namespace

extern const Command kResave{
    .name = "resave",
    .summary = "load a project and write its tree file again",
    .help = "usage: orvane-cli resave DIR\n"
            "\n"
            "Loads the project in directory DIR and writes DIR/MainTree.dat again, as the\n"
            "editor's save does: the previous file is kept as MainTree.dat.ord, items\n"
            "whose file cannot be read stay listed as they were, sections no item\n"
            "stands for (items no child list reaches, items left out for a broken\n"
            "list) are written back as they were, item files are not touched.\n"
            "Exits 0, or 1 when DIR is not a project or the file cannot be written (the\n"
            "previous file is then unchanged).\n",
    .oneDirectory = true,
    .run = Resave};

} // namespace cli
