#include "cli/CliCommands.h"

#include "store/Codec.h"
#include "store/FileSystem.h"
#include "store/LibUnit.h"
#include "store/Project.h"

#include <functional>
#include <ostream>
#include <string_view>

namespace cli {
namespace {

constexpr int kOk = 0, kFailed = 1, kUsage = 2;

// UTF-8 text made safe for a terminal: a title or a file name may carry escape
// sequences. Control characters (C0, DEL, C1) are printed as \xHH (C1 as
// \u00HH), bytes that are not UTF-8 as \xHH, and a backslash is doubled, so
// every item stays on one line and the text can be told back exactly.
std::string Escape(std::string_view utf8) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(utf8.size());
  auto hex = [&](const char *prefix, unsigned v) {
    out += prefix;
    out += kHex[(v >> 4) & 0xF];
    out += kHex[v & 0xF];
  };
  for (size_t i = 0; i < utf8.size();) {
    unsigned char b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x20 || b == 0x7F) {
      hex("\\x", b);
      ++i;
      continue;
    }
    if (b == '\\') {
      out += "\\\\";
      ++i;
      continue;
    }
    if (b < 0x80) {
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    // A well-formed multi-byte sequence is copied; anything else is escaped.
    size_t len = (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    bool good = len >= 2 && i + len <= utf8.size() && b >= 0xC2 && b <= 0xF4;
    for (size_t k = 1; good && k < len; ++k)
      good = (static_cast<unsigned char>(utf8[i + k]) & 0xC0) == 0x80;
    if (!good) {
      hex("\\x", b);
      ++i;
      continue;
    }
    if (b == 0xC2 && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
      hex("\\u00", static_cast<unsigned char>(utf8[i + 1])); // U+0080..U+009F
      i += 2;
      continue;
    }
    out.append(utf8.substr(i, len));
    i += len;
  }
  return out;
}

// CP932 bytes (titles, IDs, file names, paths) as escaped UTF-8 text.
std::string Show(std::string_view cp932Text) { return Escape(cp932::ToUtf8(cp932Text)); }

struct Command {
  const char *name;
  const char *summary;
  const char *help;
  std::function<int(const std::string &dir, std::ostream &out, std::ostream &err)> run;
};

const char kUsageText[] = "usage: orvane-cli COMMAND [--help] ARGS\n"
                          "\n"
                          "Commands:\n";

// Loads the project in `arg` (an OS path) with warnings going to `err`.
// Prints the reason and returns false when it is not a loadable project.
bool LoadProject(const std::string &arg, TProject &project, std::ostream &err) {
  std::string dir;
  if (!fsys::FromNative(arg, dir)) {
    err << "orvane-cli: " << Escape(arg) << ": the path cannot be written in Shift-JIS\n";
    return false;
  }
  if (!fsys::DirectoryExists(dir)) {
    err << "orvane-cli: " << Escape(arg) << ": no such directory\n";
    return false;
  }
  std::string treeFile = TProject::TreeFilePath(dir);
  if (!TProject::IsProjectDirectory(dir)) {
    err << "orvane-cli: " << Escape(arg) << ": not a project (" << Show(treeFile)
        << " is missing)\n";
    return false;
  }
  const TLoadReport report = project.Load(dir);
  for (const std::string &m : report.HeaderWarnings)
    err << "warning: " << Show(m) << "\n";
  if (!report.RootLoaded) {
    err << "orvane-cli: " << Escape(arg) << ": not a project (the root item file \""
        << Show(project.WindowData().RootFileName) << "\" cannot be read)\n";
    return false;
  }
  for (const TSkippedItem &s : report.Skipped) {
    static const char *const kWhy[] = {
        "its item file cannot be read", "it is one of its own ancestors",
        "it is already in the tree at another place", "its item file belongs to another item"};
    err << "warning: item " << Show(s.ID) << " (file \"" << Show(s.FileName)
        << "\") listed in section " << Show(s.Section) << " left out: " << kWhy[s.Why] << "\n";
  }
  for (const TProjectNode *n : report.Missing)
    err << "warning: item " << Show(n->Data()->ID) << " (file \"" << Show(n->Data()->ListedFileName)
        << "\") cannot be read; kept in the tree as it is listed\n";
  return true;
}

int TreeCommand(const std::string &arg, std::ostream &out, std::ostream &err) {
  TProject project;
  if (!LoadProject(arg, project, err))
    return kFailed;
  const TProjectTree &tree = project.Tree();
  for (TProjectNode *n = tree.GetFirstNode(); n; n = n->GetNext()) {
    const TNodeFiles &f = n->Data()->Files;
    out << (n == tree.Selected() ? "* " : "  ") << std::string(2 * n->Level(), ' ')
        << Show(n->Data()->ID) << ' ' << Show(ExtractFileName(f.FilePath)) << " ["
        << (n->Expanded() ? '+' : '-') << (f.ToDo ? 'T' : '-') << (f.Completion ? 'C' : '-') << "] "
        << Show(n->Text()) << "\n";
  }
  return kOk;
}

int ResaveCommand(const std::string &arg, std::ostream &out, std::ostream &err) {
  TProject project;
  if (!LoadProject(arg, project, err))
    return kFailed;
  TProjectTree &tree = project.Tree();
  std::string path = project.TreeFilePath();
  if (!tree.SaveTreeFile(path)) {
    err << "orvane-cli: " << Show(path) << " was not written: " << Escape(tree.LastSaveError())
        << "\nThe previous file is unchanged.\n";
    return kFailed;
  }
  fsys::Entry e;
  fsys::Stat(path, e);
  out << "wrote " << Show(path) << " (" << tree.NodeCount() << " items, " << e.size << " bytes)\n";
  out << "previous version kept as " << Show(path) << ".ord\n";
  if (!tree.SkippedItems().empty())
    out << tree.SkippedItems().size()
        << " listed items were left out (see the warnings); their files stay on disk\n";
  return kOk;
}

const Command kCommands[] = {
    {"tree", "print the items of a project",
     "usage: orvane-cli tree DIR\n"
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
     TreeCommand},
    {"resave", "load a project and write its tree file again",
     "usage: orvane-cli resave DIR\n"
     "\n"
     "Loads the project in directory DIR and writes DIR/MainTree.dat again, as the\n"
     "editor's save does: the previous file is kept as MainTree.dat.ord, items\n"
     "whose file cannot be read stay listed as they were, items left out for a\n"
     "broken list are no longer listed, item files are not touched.\n"
     "Exits 0, or 1 when DIR is not a project or the file cannot be written (the\n"
     "previous file is then unchanged).\n",
     ResaveCommand},
};

void PrintUsage(std::ostream &s) {
  s << kUsageText;
  for (const Command &c : kCommands)
    s << "  " << c.name << std::string(8 - std::string_view(c.name).size(), ' ') << c.summary
      << "\n";
  s << "\n'orvane-cli COMMAND --help' describes a command.\n";
}

} // namespace

int Run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
  if (args.empty()) {
    PrintUsage(err);
    return kUsage;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintUsage(out);
    return kOk;
  }
  const Command *command = nullptr;
  for (const Command &c : kCommands)
    if (args[0] == c.name)
      command = &c;
  if (!command) {
    err << "orvane-cli: unknown command '" << Escape(args[0]) << "'\n";
    PrintUsage(err);
    return kUsage;
  }
  std::vector<std::string> operands;
  bool options = true;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string &a = args[i];
    if (options && a == "--") {
      options = false;
    } else if (options && (a == "--help" || a == "-h")) {
      out << command->help;
      return kOk;
    } else if (options && a.size() > 1 && a[0] == '-') {
      err << "orvane-cli " << command->name << ": unknown option '" << Escape(a) << "'\n"
          << command->help;
      return kUsage;
    } else {
      operands.push_back(a);
    }
  }
  if (operands.size() != 1) {
    err << "orvane-cli " << command->name << ": expected one project directory\n" << command->help;
    return kUsage;
  }
  return command->run(operands[0], out, err);
}

} // namespace cli
