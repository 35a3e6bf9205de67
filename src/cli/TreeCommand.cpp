#include "cli/Command.h"

#include "store/LibUnit.h"
#include "store/Project.h"

namespace cli {

namespace {

int Tree(Call &call) {
  // Titles and marks are in the headers: the texts are not needed.
  const CommandProject project(call, TLoadMode::Headers);
  if (!project.Loaded())
    return kFailed;
  const TProjectTree &tree = project->Tree();
  Buffered buffered(call.out);
  std::string &o = buffered.Text();
  for (TProjectNode *n = tree.GetFirstNode(); n; n = n->GetNext()) {
    const TNodeFiles &f = n->Data()->Files;
    o += n == tree.Selected() ? "* " : "  ";
    o.append(2 * static_cast<size_t>(n->Level()), ' ');
    o += Show(n->Data()->ID);
    o += ' ';
    o += Show(ExtractFileName(f.FilePath));
    o += " [";
    o += n->Expanded() ? '+' : '-';
    o += f.ToDo ? 'T' : '-';
    o += f.Completion ? 'C' : '-';
    o += "] ";
    o += Show(n->Text());
    o += '\n';
    buffered.LineDone();
  }
  return kOk;
}

} // namespace

extern const Command kTree{
    .name = "tree",
    .summary = "print the items of a project",
    .help = "usage: orvane-cli tree DIR\n"
            "\n"
            "Loads the project in directory DIR and prints one line per item, in tree\n"
            "order (each item before its children):\n"
            "\n"
            "  M INDENT ID FILE [ETC] TITLE\n"
            "\n"
            "  M       '*' for the item that was selected at the last save, else ' '\n"
            "  INDENT  two spaces per level below the root\n"
            "  ID      the item's identifier (Root, Root-C00000, ...)\n"
            "  FILE    the item file's name in DIR\n"
            "  E       '+' expanded, '-' collapsed\n"
            "  T       'T' when the item is marked ToDo, else '-'\n"
            "  C       'C' when the item is marked completed, else '-'\n"
            "  TITLE   the item's title\n"
            "\n"
            "Control characters in IDs, names and titles are printed as \\xHH, and a\n"
            "backslash as \\\\, so that each item takes one line.\n"
            "Items the tree file names but that cannot be loaded are reported on stderr;\n"
            "an item whose file cannot be read is listed with its file name as title.\n"
            "Exits 0, or 1 when DIR is not a project.\n",
    .oneDirectory = true,
    .run = Tree};

} // namespace cli
