#include "cli/CliCommands.h"

#include "export/Exchange.h"
#include "export/ExportText.h"
#include "search/ProjectSearch.h"
#include "store/Codec.h"
#include "store/DeletedItems.h"
#include "store/FileSystem.h"
#include "store/LibUnit.h"
#include "store/Project.h"
#include "store/Recovery.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <ostream>
#include <set>
#include <sstream>
#include <string_view>
#include <utility>

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

using Args = std::vector<std::string>;

// Set by Run when the process ends right after the command.
bool g_exitsAfter = false;
// The project a command leaves to the end of the process: reachable, so that
// a leak checker does not count it.
TProject *g_leftToExit = nullptr;

// The project of one command. A command line run that ends the process does
// not free it: giving back every item and text one by one costs a tenth of a
// big project's load and nothing gains from it, the process's end takes the
// pages in one go.
class CommandProject {
public:
  CommandProject() : project_(new TProject) {}
  ~CommandProject() {
    if (!g_exitsAfter) {
      delete project_;
      return;
    }
    delete g_leftToExit; // null but for a second command in one process
    g_leftToExit = project_;
  }
  CommandProject(const CommandProject &) = delete;
  CommandProject &operator=(const CommandProject &) = delete;
  TProject &operator*() const { return *project_; }

private:
  TProject *project_;
};

// Output gathered and handed on in large pieces: one write for many lines.
class Buffered {
public:
  explicit Buffered(std::ostream &out) : out_(out) { text_.reserve(kPiece + 4096); }
  ~Buffered() { Flush(); }
  Buffered(const Buffered &) = delete;
  Buffered &operator=(const Buffered &) = delete;
  std::string &Text() { return text_; }
  void LineDone() {
    if (text_.size() >= kPiece)
      Flush();
  }
  void Flush() {
    out_.write(text_.data(), static_cast<std::streamsize>(text_.size()));
    text_.clear();
  }

private:
  static constexpr size_t kPiece = size_t(1) << 20;
  std::ostream &out_;
  std::string text_;
};

struct Command {
  const char *name;
  const char *summary;
  const char *help;
  std::function<int(const std::string &dir, std::ostream &out, std::ostream &err)> run;
  // Commands with arguments of their own get them all (after the name); they
  // return kUsage for a wrong command line, and Run prints the help then.
  std::function<int(const Args &args, std::ostream &out, std::ostream &err)> runArgs = {};
};

const char kUsageText[] = "usage: orvane-cli COMMAND [--help] ARGS\n"
                          "\n"
                          "Commands:\n";

// Loads the project in `arg` (an OS path) with warnings going to `err`.
// Prints the reason and returns false when it is not a loadable project.
bool LoadProject(const std::string &arg, TProject &project, std::ostream &err,
                 TLoadMode mode = TLoadMode::Full) {
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
  project.Tree().LoadMode = mode;
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
  for (const TSkippedItem &u : report.Unreached) {
    if (std::any_of(report.Skipped.begin(), report.Skipped.end(),
                    [&](const TSkippedItem &s) { return s.ID == u.ID; }))
      continue; // told above
    err << "warning: item " << Show(u.ID) << " (file \"" << Show(u.FileName)
        << "\") is not reached by any child list (a gap in the Child numbers or a Child key "
           "given twice); not shown, it stays in the tree file at every save\n";
  }
  return true;
}

int TreeCommand(const std::string &arg, std::ostream &out, std::ostream &err) {
  CommandProject held;
  TProject &project = *held;
  // Titles and marks are in the headers: the texts are not needed.
  if (!LoadProject(arg, project, err, TLoadMode::Headers))
    return kFailed;
  const TProjectTree &tree = project.Tree();
  Buffered buffered(out);
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

int ResaveCommand(const std::string &arg, std::ostream &out, std::ostream &err) {
  CommandProject held;
  TProject &project = *held;
  if (!LoadProject(arg, project, err))
    return kFailed;
  TProjectTree &tree = project.Tree();
  std::string path = project.TreeFilePath();
  if (fsys::Status s = tree.SaveTreeFile(path); !s) {
    err << "orvane-cli: " << Show(path) << " was not written: " << Escape(s.Text())
        << "\nThe previous file is unchanged.\n";
    return kFailed;
  }
  fsys::Entry e;
  (void)fsys::Stat(path, e); // written just now; only the size shown would be 0
  out << "wrote " << Show(path) << " (" << tree.NodeCount() << " items, " << e.size << " bytes)\n";
  out << "previous version kept as " << Show(path) << ".ord\n";
  if (!tree.SkippedItems().empty())
    out << tree.SkippedItems().size()
        << " listed items were left out (see the warnings); their files stay on disk\n";
  return kOk;
}

// A CP932 message of the program (CR LF between its lines) for a terminal.
std::string ShowMessage(std::string_view cp932Message) {
  std::string m(cp932Message);
  for (size_t p; (p = m.find("\r\n")) != std::string::npos;)
    m.replace(p, 2, " ");
  return Show(m);
}

// The command's arguments as operands and "--name value" options; false
// (with a message) for what the command does not know.
bool SplitArgs(const char *command, const Args &args, const std::vector<std::string> &flags,
               const std::vector<std::string> &valued, Args &operands,
               std::vector<std::pair<std::string, std::string>> &options, std::ostream &err) {
  bool more = true;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &a = args[i];
    if (more && a == "--") {
      more = false;
    } else if (more && a.size() > 1 && a[0] == '-') {
      bool flag = std::find(flags.begin(), flags.end(), a) != flags.end();
      bool value = std::find(valued.begin(), valued.end(), a) != valued.end();
      if (!flag && !value) {
        err << "orvane-cli " << command << ": unknown option '" << Escape(a) << "'\n";
        return false;
      }
      if (value && i + 1 >= args.size()) {
        err << "orvane-cli " << command << ": option " << a << " needs a value\n";
        return false;
      }
      options.emplace_back(a, value ? args[++i] : std::string());
    } else {
      operands.push_back(a);
    }
  }
  return true;
}

// An OS path argument in the program's code page.
bool ArgPath(const std::string &arg, std::string &out, std::ostream &err) {
  if (fsys::FromNative(arg, out))
    return true;
  err << "orvane-cli: " << Escape(arg) << ": the path cannot be written in Shift-JIS\n";
  return false;
}

int ExportCommand(const Args &args, std::ostream &, std::ostream &err) {
  static const std::pair<const char *, TExportMode> kModes[] = {
      {"--text", TExportMode::Text},
      {"--html", TExportMode::Html},
      {"--frames", TExportMode::Frames},
      {"--exchange", TExportMode::Exchange}};
  Args operands;
  std::vector<std::pair<std::string, std::string>> options;
  if (!SplitArgs("export", args, {}, {"--text", "--html", "--frames", "--exchange", "--item"},
                 operands, options, err))
    return kUsage;
  const TExportMode *mode = nullptr;
  std::string out, itemID;
  bool hasItem = false;
  for (const auto &[name, value] : options) {
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
  if (operands.size() != 1 || !mode) {
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
  CommandProject held;
  TProject &project = *held;
  if (!LoadProject(operands[0], project, err, TLoadMode::TreeOnly))
    return kFailed;
  const TProjectNode *item = project.Root();
  if (hasItem) {
    item = nullptr;
    for (TProjectNode *n = project.Tree().GetFirstNode(); n && !item; n = n->GetNext())
      if (n->Data()->ID == id)
        item = n;
    if (!item) {
      err << "orvane-cli export: no item " << Show(id) << " in " << Escape(operands[0]) << "\n";
      return kFailed;
    }
  }
  TExportText engine;
  if (fsys::Status s = RunExport(engine, project, item, *mode, outPath); !s) {
    if (!engine.FormFeedLines().empty()) {
      std::string m = engine.FormFeedMessage();
      for (size_t p; (p = m.find("\r\n")) != std::string::npos;)
        m.replace(p, 2, "\n");
      err << "orvane-cli export: " << Show(s.path) << " was not written:\n";
      for (size_t from = 0; from <= m.size();) {
        size_t to = std::min(m.find('\n', from), m.size());
        err << "  " << Show(m.substr(from, to - from)) << "\n";
        from = to + 1;
      }
      return kFailed;
    }
    err << "orvane-cli export: " << Show(s.path) << " was not written: " << Escape(s.Text())
        << "\n";
    return kFailed;
  }
  return kOk;
}

int ImportCommand(const Args &args, std::ostream &, std::ostream &err) {
  Args operands;
  std::vector<std::pair<std::string, std::string>> options;
  if (!SplitArgs("import", args, {}, {}, operands, options, err))
    return kUsage;
  if (operands.size() != 2) {
    err << "orvane-cli import: expected an exchange file and a directory\n";
    return kUsage;
  }
  std::string file, dir;
  if (!ArgPath(operands[0], file, err) || !ArgPath(operands[1], dir, err))
    return kFailed;
  if (!fsys::FileExists(file)) {
    err << "orvane-cli import: " << Escape(operands[0]) << ": no such file\n";
    return kFailed;
  }
  const TImportResult r = ImportExchangeFileInto(file, dir);
  if (r.ok())
    return kOk;
  err << "orvane-cli import: " << ShowMessage(r.Message) << "\n";
  if (!r.Failure.ok())
    err << "  " << Escape(r.Failure.Text()) << "\n";
  if (r.FilesLeft > 0)
    err << "  " << r.FilesLeft << " files written before the import stopped could not be "
        << "removed from " << Show(r.TargetDir) << "\n";
  return kFailed;
}

// Bytes that are not Shift-JIS decode to the private code points the codec
// keeps for them (U+F700 + byte).
bool HasRawBytes(std::string_view cp932Text) {
  const std::string u = cp932::ToUtf8(cp932Text);
  for (size_t p = 0; (p = u.find('\xEF', p)) != std::string::npos; ++p)
    if (p + 2 < u.size() && static_cast<unsigned char>(u[p + 1]) >= 0x9C &&
        static_cast<unsigned char>(u[p + 1]) <= 0x9F)
      return true;
  return false;
}

// Item files written after the tree file that no item names: what an editor
// leaves when it made or copied items and its tree was never saved (closed
// without saving, killed, or the tree saved elsewhere in the meantime).
std::string UnnamedNewerFiles(const TProject &project) {
  fsys::Entry tree;
  std::vector<fsys::Entry> entries;
  if (!fsys::Stat(project.TreeFilePath(), tree) || !fsys::ListDirectory(project.Dir(), entries))
    return {};
  TStringList named;
  project.CollectItemFiles(named, named, -1, project.Root(), true);
  std::set<std::string> names;
  for (const std::string &path : named)
    names.insert(cp932::LowerAscii(ExtractFileName(path)));
  std::sort(entries.begin(), entries.end(),
            [](const fsys::Entry &a, const fsys::Entry &b) { return a.name < b.name; });
  std::string reported;
  for (const fsys::Entry &e : entries) {
    const std::string lower = cp932::LowerAscii(e.name);
    if (e.isDirectory || !lower.ends_with(".txt") || names.count(lower) || e.mtime <= tree.mtime)
      continue;
    reported += "warning: file \"" + Show(e.name) +
                "\" is newer than the tree file and no item names it; an editor may have "
                "written it without saving its tree\n";
  }
  return reported;
}

// What a write stopped part-way leaves: a complete file named beside its
// target only for the rename that did not come (X.tmp~, or X.tmpPID_N where
// files cannot be made nameless), and a tree file a save wrote as
// MainTree.dat.new that never took its place.
std::string StrayFiles(const TProject &project) {
  std::vector<fsys::Entry> entries;
  if (!fsys::ListDirectory(project.Dir(), entries))
    return {};
  std::sort(entries.begin(), entries.end(),
            [](const fsys::Entry &a, const fsys::Entry &b) { return a.name < b.name; });
  const std::string tree = project.TreeFilePath();
  std::string reported;
  for (const fsys::Entry &e : entries) {
    const bool newTree = e.name == std::string(TProject::kTreeFileName) + ".new";
    if (newTree && (e.isDirectory || e.isSymlink)) {
      reported += "warning: \"" + Show(e.name) + "\" is a " +
                  (e.isSymlink ? "symbolic link" : "folder") +
                  "; the save writes its new tree file by another name, and a save stopped "
                  "part-way cannot be finished: move or rename it\n";
      continue;
    }
    if (e.isDirectory)
      continue;
    if (newTree) {
      reported += TProjectTree::StoppedSaveFile(tree).empty()
                      ? "warning: file \"" + Show(e.name) +
                            "\" is left from a stopped save and holds nothing to finish it "
                            "with (older than the tree file, the same, or cut short); the next "
                            "save replaces it\n"
                      : "warning: file \"" + Show(e.name) +
                            "\" is a tree file a save wrote completely but did not put in place; "
                            "it is newer than the tree file, and the editor offers it when the "
                            "project is opened\n";
    } else if (fsys::IsWorkFileName(e.name)) {
      reported += "warning: file \"" + Show(e.name) +
                  "\" is left from a write that was stopped; the file it was for is whole "
                  "without it\n";
    }
  }
  return reported;
}

// One line for a copy: when it was made, for which folder, what it holds.
std::string CopyLine(const recovery::Copy &c) {
  const recovery::Entry &e = c.entry;
  if (c.damaged())
    return "damaged copy " + Show(e.Path) + ": " + Escape(c.status.Text()) +
           (c.setAside ? " (set aside)" : "");
  return "copy " + Show(e.Path) + " made " + Show(e.Made) + " for " + Show(e.Dir) + ": " +
         (e.HasTree() ? "the tree and " : "") + std::to_string(e.Items.size()) + " items" +
         (c.setAside ? " (set aside)" : "");
}

// What `check` says of the project's recovery copies; empty when it has none.
std::string RecoveryNote(const TProject &project) {
  const std::string root = recovery::DefaultRoot();
  std::string note;
  if (fsys::Status s = recovery::CheckRoot(root); !s)
    note += "warning: no recovery copy can be kept: " + Escape(s.Text()) + "\n";
  for (const recovery::Copy &c :
       recovery::CopiesOf(root, project.Dir(), recovery::IdentityOf(project), true))
    note += c.damaged()
                ? "warning: the recovery " + CopyLine(c) + "\n"
                : "warning: unsaved changes of " + Show(c.entry.Made) + " wait in the recovery " +
                      CopyLine(c) + "; 'orvane-cli recover DIR --list' shows them\n";
  return note;
}

// Every copy in the folder and whether its project is still where it was.
int ListAllCopies(std::ostream &out, std::ostream &err) {
  std::vector<recovery::Copy> all;
  if (fsys::Status s = recovery::List(recovery::DefaultRoot(), all, true); !s) {
    err << "orvane-cli recover: " << Escape(s.Text()) << "\n";
    return kFailed;
  }
  for (const recovery::Copy &c : all) {
    const recovery::Entry &e = c.entry;
    const bool there = !e.Dir.empty() && TProject::IsProjectDirectory(e.Dir) &&
                       (e.Identity.empty() || recovery::IdentityOfDir(e.Dir) == e.Identity);
    out << CopyLine(c) << (c.damaged() || there ? "" : " (its project is not there)") << "\n";
  }
  return kOk;
}

int RecoverCommand(const Args &args, std::ostream &out, std::ostream &err) {
  Args operands;
  std::vector<std::pair<std::string, std::string>> options;
  if (!SplitArgs("recover", args, {"--list", "--restore", "--discard", "--list-all"}, {}, operands,
                 options, err))
    return kUsage;
  if (options.size() == 1 && options[0].first == "--list-all" && operands.empty())
    return ListAllCopies(out, err);
  if (operands.size() != 1 || options.size() != 1 || options[0].first == "--list-all") {
    err << "orvane-cli recover: expected a project directory and one of --list, --restore, "
           "--discard, or --list-all alone\n";
    return kUsage;
  }
  const std::string &what = options[0].first;
  TProject project;
  if (!LoadProject(operands[0], project, err))
    return kFailed;
  const std::string root = recovery::DefaultRoot();
  if (fsys::Status s = recovery::CheckRoot(root); !s) {
    err << "orvane-cli recover: " << Escape(s.Text()) << "\n";
    return kFailed;
  }
  std::vector<recovery::Copy> copies =
      recovery::CopiesOf(root, project.Dir(), recovery::IdentityOf(project), what != "--restore");
  if (copies.empty()) {
    err << "orvane-cli recover: " << Escape(operands[0]) << " has no recovery copy\n";
    return kFailed;
  }
  if (what == "--discard") {
    for (const recovery::Copy &c : copies) {
      if (fsys::Status s = recovery::Remove(root, c.entry.Path); !s) {
        err << "orvane-cli recover: " << Escape(s.Text()) << "\n";
        return kFailed;
      }
      out << "discarded the recovery " << CopyLine(c) << "\n";
    }
    return kOk;
  }
  if (what == "--list") {
    auto changed = [](const std::string &path, fsys::Stamp base) {
      return base.known && fsys::CheckStamp(path, base) != fsys::DiskChange::None
                 ? " (changed on disk since)"
                 : "";
    };
    for (const recovery::Copy &c : copies) {
      const recovery::Entry &e = c.entry;
      if (c.damaged()) {
        out << CopyLine(c) << "\n";
        continue;
      }
      out << "made " << Show(e.Made) << " for " << Show(e.Dir) << "\n";
      if (e.HasTree())
        out << "tree: unsaved changes" << changed(project.TreeFilePath(), e.TreeBase) << "\n";
      for (const recovery::Item &item : e.Items) {
        TNodeFiles f;
        f.ParseHeader(item.Bytes);
        out << "item " << Show(item.ID) << ' ' << Show(item.FileName) << ' ' << Show(f.Title)
            << (IsPlainFileName(item.FileName) ? changed(project.Dir() + item.FileName, item.Base)
                                               : "")
            << "\n";
      }
    }
    return kOk;
  }
  int code = kOk;
  for (const recovery::Copy &c : copies) {
    const recovery::Entry &e = c.entry;
    if (c.damaged()) {
      err << "not restored: the " << CopyLine(c) << "\n";
      code = kFailed;
      continue;
    }
    recovery::Applied applied = recovery::Apply(e, project);
    const fsys::Status written = recovery::WriteApplied(project, applied);
    for (const std::string &id : applied.notPlaced)
      err << "warning: item " << Show(id)
          << " is in no tree any more; its text stays in the copy\n";
    for (const recovery::Applied::Refused &r : applied.refused)
      err << "refused: item " << Show(r.ID) << ' ' << Show(r.FileName)
          << (r.why == recovery::Applied::Why::BadName     ? ": not a name an item's file may have"
              : r.why == recovery::Applied::Why::OtherFile ? ": the item has another file"
                                                           : ": the copy holds the item twice")
          << "\n";
    for (const std::string &name : applied.changedOnDisk)
      err << "not written: " << Show(project.Dir() + name)
          << " changed on disk since the copy was made\n";
    if (applied.treeChangedOnDisk)
      err << "not written: " << Show(project.TreeFilePath())
          << " changed on disk since the copy was made\n";
    if (!written)
      err << "orvane-cli recover: " << Escape(written.Text()) << "\n";
    if (!applied.items.empty() || applied.tree || !applied.notPlaced.empty() ||
        !applied.refused.empty() || !applied.changedOnDisk.empty() || applied.treeChangedOnDisk) {
      err << "the recovery copy " << Show(e.Path) << " is kept\n";
      code = kFailed;
      continue;
    }
    if (fsys::Status s = recovery::Remove(root, e.Path); !s) {
      err << "orvane-cli recover: restored, but the copy stays: " << Escape(s.Text()) << "\n";
      code = kFailed;
      continue;
    }
    out << "restored the changes of " << Show(e.Made) << " into " << Show(project.Dir()) << "\n";
  }
  return code;
}

int CheckCommand(const std::string &arg, std::ostream &out, std::ostream &err) {
  std::ostringstream warnings;
  CommandProject held;
  TProject &project = *held;
  if (!LoadProject(arg, project, warnings)) {
    err << warnings.str();
    return kFailed;
  }
  std::string reported = warnings.str();
  for (TProjectNode *n = project.Tree().GetFirstNode(); n; n = n->GetNext()) {
    const TNodeData &d = *n->Data();
    if (d.Missing)
      continue;
    const TNodeFiles &f = d.Files;
    std::vector<std::string> where;
    if (HasRawBytes(f.Title))
      where.push_back("title");
    if (HasRawBytes(f.Author))
      where.push_back("author");
    for (const std::string &a : f.AttachFiles)
      if (HasRawBytes(a)) {
        where.push_back("attachment list");
        break;
      }
    size_t line = 0;
    for (std::string_view l : f.Body) {
      if (HasRawBytes(l)) {
        where.push_back("text line " + std::to_string(line + 1));
        break;
      }
      ++line;
    }
    if (where.empty())
      continue;
    reported += "warning: item " + Show(d.ID) + " (file \"" + Show(ExtractFileName(f.FilePath)) +
                "\") holds bytes that are not Shift-JIS in its";
    for (size_t i = 0; i < where.size(); ++i)
      reported += (i ? ", " : " ") + where[i];
    reported += "\n";
  }
  reported += UnnamedNewerFiles(project);
  reported += StrayFiles(project);
  // Deleted items are no fault: listed for the editor's window of them.
  for (const TRestorable &r : ListRestorable(project))
    out << "restorable: file \"" << Show(r.name) << "\" ("
        << (r.retired ? "deleted item" : "below a deleted item") << "), title \"" << Show(r.title)
        << "\", " << r.modified.ToString() << ", " << r.size << " bytes: " << Show(r.firstLine)
        << "\n";
  reported += RecoveryNote(project);
  if (reported.empty()) {
    out << "ok: " << project.Tree().NodeCount() << " items, nothing to report\n";
    return kOk;
  }
  err << reported;
  return kFailed;
}

// The key of `find` in the program's code page. A line break typed into the
// key (LF, as a shell passes it) stands for the memo's CR LF.
bool FindKey(const std::string &utf8, std::string &key, std::ostream &err) {
  if (utf8.empty()) {
    err << "orvane-cli find: the key is empty\n";
    return false;
  }
  const cp932::Encoded e = cp932::FromUtf8(utf8);
  if (!e.ok()) {
    err << "orvane-cli find: the key cannot be written in Shift-JIS:";
    for (char32_t c : e.unmappable) {
      char code[16];
      std::snprintf(code, sizeof code, " U+%04X", static_cast<unsigned>(c));
      err << code;
    }
    if (std::find(e.unmappable.begin(), e.unmappable.end(), U'\uFFFD') != e.unmappable.end())
      err << " (U+FFFD: bytes that are not UTF-8)";
    err << "\n";
    return false;
  }
  key.clear();
  key.reserve(e.bytes.size());
  for (size_t i = 0; i < e.bytes.size(); ++i) {
    if (e.bytes[i] == '\n' && (i == 0 || e.bytes[i - 1] != '\r'))
      key += '\r';
    key += e.bytes[i];
  }
  return true;
}

int FindCommand(const Args &args, std::ostream &out, std::ostream &err) {
  Args operands;
  std::vector<std::pair<std::string, std::string>> options;
  if (!SplitArgs("find", args, {"--first"}, {}, operands, options, err))
    return kUsage;
  if (operands.size() != 2) {
    err << "orvane-cli find: expected a project directory and a key\n";
    return kUsage;
  }
  const bool first = !options.empty();
  std::string key;
  if (!FindKey(operands[1], key, err))
    return kUsage;
  CommandProject held;
  TProject &project = *held;
  if (!LoadProject(operands[0], project, err))
    return kFailed;
  // Printed in one piece: a project can hold many hits.
  std::string found;
  for (const TProjectNode *n = project.Tree().GetFirstNode(); n; n = n->GetNext()) {
    const TTextLines &body = n->Data()->Files.Body;
    const std::vector<size_t> hits = search::AllHits(body, key, first ? 1 : search::npos);
    if (hits.empty())
      continue;
    const std::string id = Show(n->Data()->ID);
    const std::string &joined = body.Joined();
    // The line that holds each hit, walked forward (the hits come in order);
    // memo positions count a line break as two bytes.
    size_t line = 0, memoStart = 0, start = 0;
    size_t end = joined.find('\n');
    for (size_t p : hits) {
      while (end != std::string::npos && memoStart + (end - start) + 2 <= p) {
        memoStart += end - start + 2;
        start = end + 1;
        end = joined.find('\n', start);
        ++line;
      }
      const size_t length = (end == std::string::npos ? joined.size() : end) - start;
      found += id;
      found += ' ';
      found += std::to_string(line);
      found += ':';
      found += std::to_string(p - memoStart + 1);
      found += ' ';
      found += Show(std::string_view(joined).substr(start, length));
      found += '\n';
    }
    if (first)
      break;
  }
  out << found;
  return found.empty() ? kFailed : kOk;
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
     "whose file cannot be read stay listed as they were, sections no item\n"
     "stands for (items no child list reaches, items left out for a broken\n"
     "list) are written back as they were, item files are not touched.\n"
     "Exits 0, or 1 when DIR is not a project or the file cannot be written (the\n"
     "previous file is then unchanged).\n",
     ResaveCommand},
    {"export", "write items as text, HTML, a frame set or an exchange file",
     "usage: orvane-cli export DIR --text|--html|--frames|--exchange OUT [--item ID]\n"
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
     nullptr, ExportCommand},
    {"import", "make a new project from an exchange file",
     "usage: orvane-cli import FILE DIR\n"
     "\n"
     "Writes the tree file and the item files packed in the exchange file FILE\n"
     "into the directory DIR, which must not exist yet or be empty. Block names\n"
     "that would lead out of DIR, and a name given to two blocks, stop the import.\n"
     "MainTree.dat is written last; an import that stops removes the files it\n"
     "wrote (and DIR, when it made it).\n"
     "Prints nothing on success. Exits 0, 1 with the reason, 2 for a wrong\n"
     "command line.\n",
     nullptr, ImportCommand},
    {"find", "print where a text occurs in the items of a project",
     "usage: orvane-cli find DIR KEY [--first]\n"
     "\n"
     "Loads the project in directory DIR and prints every place where KEY occurs\n"
     "in an item's text, in tree order (each item before its children), the\n"
     "places of one item one after another from its start, one line each:\n"
     "\n"
     "  ID LINE:COLUMN TEXT\n"
     "\n"
     "  ID      the item's identifier\n"
     "  LINE    the text line of the place's start, counted from 0\n"
     "  COLUMN  its byte column in Shift-JIS, counted from 1 (a double-byte\n"
     "          character takes two columns)\n"
     "  TEXT    that line, escaped as the tree command prints titles\n"
     "\n"
     "KEY is matched as the editor's find does: case-sensitive, in Shift-JIS,\n"
     "never starting or ending inside a double-byte character. A line break in\n"
     "KEY matches the end of a line. A KEY that starts with '-' follows '--'.\n"
     "  --first  print the first place only\n"
     "\n"
     "Exits 0 when something was found, 1 when nothing was or DIR is not a\n"
     "project, 2 for a wrong command line (also an empty KEY, or one that\n"
     "Shift-JIS cannot hold).\n",
     nullptr, FindCommand},
    {"check", "report what a load of a project skips or warns about",
     "usage: orvane-cli check DIR\n"
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
     CheckCommand},
    {"recover", "list, restore or discard a project's recovery copy",
     "usage: orvane-cli recover DIR --list|--restore|--discard\n"
     "       orvane-cli recover --list-all\n"
     "\n"
     "The editor keeps what a project's files do not hold yet (the unsaved tree,\n"
     "the text of items not yet stored) in a recovery copy under\n"
     "$XDG_STATE_HOME/kem/Orvane/recovery/ (default ~/.local/state), so that a\n"
     "kill or a power cut loses at most the last seconds of typing. Each editor\n"
     "window keeps a copy of its own; a copy follows its project when the folder\n"
     "is moved or renamed.\n"
     "\n"
     "  --list     print the copy's time, whether it holds the tree, and one line\n"
     "             per item: ID FILE TITLE, noting files changed on disk since\n"
     "  --restore  write the copied items and tree into DIR as the editor's store\n"
     "             and save would (the tree file's previous version becomes\n"
     "             MainTree.dat.ord), then remove the copy; a file changed on disk\n"
     "             since the copy was made is not replaced, and the copy stays\n"
     "  --discard  remove the copies, damaged and set-aside ones too\n"
     "  --list-all every copy in the folder, noting those whose project is gone\n"
     "\n"
     "Exits 0, 1 when DIR has no copy or something was not written (listed on\n"
     "stderr), 2 for a wrong command line.\n",
     nullptr, RecoverCommand},
};

void PrintUsage(std::ostream &s) {
  s << kUsageText;
  for (const Command &c : kCommands)
    s << "  " << c.name << std::string(8 - std::string_view(c.name).size(), ' ') << c.summary
      << "\n";
  s << "\n'orvane-cli COMMAND --help' describes a command.\n";
}

} // namespace

int Run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err,
        bool exitsAfter) {
  g_exitsAfter = exitsAfter;
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
  if (command->runArgs) {
    const Args rest(args.begin() + 1, args.end());
    for (const std::string &a : rest) {
      if (a == "--")
        break;
      if (a == "--help" || a == "-h") {
        out << command->help;
        return kOk;
      }
    }
    int code = command->runArgs(rest, out, err);
    if (code == kUsage)
      err << command->help;
    return code;
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
