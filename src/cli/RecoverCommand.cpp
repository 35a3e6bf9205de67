#include "cli/Command.h"

#include "store/LibUnit.h"
#include "store/Project.h"
#include "store/ProjectCheck.h"
#include "store/Recovery.h"

#include <ostream>

namespace cli {

namespace {

std::string ShowCopy(const recovery::Copy &c) { return Show(CopyLine(c)); }

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
    out << ShowCopy(c) << (c.damaged() || there ? "" : " (its project is not there)") << "\n";
  }
  return kOk;
}

int Discard(const std::string &root, const std::vector<recovery::Copy> &copies, Call &call) {
  for (const recovery::Copy &c : copies) {
    if (fsys::Status s = recovery::Remove(root, c.entry.Path); !s) {
      call.err << "orvane-cli recover: " << Escape(s.Text()) << "\n";
      return kFailed;
    }
    call.out << "discarded the recovery " << ShowCopy(c) << "\n";
  }
  return kOk;
}

int List(const TProject &project, const std::vector<recovery::Copy> &copies, std::ostream &out) {
  auto changed = [](const std::string &path, fsys::Stamp base) {
    return base.known && fsys::CheckStamp(path, base) != fsys::DiskChange::None
               ? " (changed on disk since)"
               : "";
  };
  for (const recovery::Copy &c : copies) {
    const recovery::Entry &e = c.entry;
    if (c.damaged()) {
      out << ShowCopy(c) << "\n";
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

int Restore(TProject &project, const std::string &root, const std::vector<recovery::Copy> &copies,
            Call &call) {
  std::ostream &err = call.err;
  int code = kOk;
  for (const recovery::Copy &c : copies) {
    const recovery::Entry &e = c.entry;
    if (c.damaged()) {
      err << "not restored: the " << ShowCopy(c) << "\n";
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
    call.out << "restored the changes of " << Show(e.Made) << " into " << Show(project.Dir())
             << "\n";
  }
  return code;
}

int Recover(Call &call) {
  const auto &options = call.options;
  if (options.size() == 1 && options[0].first == "--list-all" && call.operands.empty())
    return ListAllCopies(call.out, call.err);
  if (call.operands.size() != 1 || options.size() != 1 || options[0].first == "--list-all") {
    call.err << "orvane-cli recover: expected a project directory and one of --list, --restore, "
                "--discard, or --list-all alone\n";
    return kUsage;
  }
  const std::string &what = options[0].first;
  TProject project;
  if (!LoadProject(call.operands[0], project, call.err))
    return kFailed;
  const std::string root = recovery::DefaultRoot();
  if (fsys::Status s = recovery::CheckRoot(root); !s) {
    call.err << "orvane-cli recover: " << Escape(s.Text()) << "\n";
    return kFailed;
  }
  std::vector<recovery::Copy> copies =
      recovery::CopiesOf(root, project.Dir(), recovery::IdentityOf(project), what != "--restore");
  if (copies.empty()) {
    call.err << "orvane-cli recover: " << Escape(call.operands[0]) << " has no recovery copy\n";
    return kFailed;
  }
  if (what == "--discard")
    return Discard(root, copies, call);
  if (what == "--list")
    return List(project, copies, call.out);
  return Restore(project, root, copies, call);
}

} // namespace

extern const Command kRecover{
    .name = "recover",
    .summary = "list, restore or discard a project's recovery copy",
    .help = "usage: orvane-cli recover DIR --list|--restore|--discard\n"
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
    .options = {{"--list"}, {"--restore"}, {"--discard"}, {"--list-all"}},
    .run = Recover};

} // namespace cli
