#include "store/ProjectCheck.h"

#include "store/Codec.h"
#include "store/DeletedItems.h"
#include "store/Leftovers.h"
#include "store/LibUnit.h"
#include "store/Recovery.h"

#include <algorithm>
#include <set>

namespace {

using Kind = TFinding::Kind;

std::string ItemAndFile(std::string_view id, std::string_view file) {
  return "item " + std::string(id) + " (file \"" + std::string(file) + "\")";
}

// A status's line for a terminal, back in the core's code page.
std::string StatusText(const fsys::Status &s) { return cp932::FromUtf8(s.Text()).bytes; }

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

void RawBytes(const TProject &project, std::vector<TFinding> &found) {
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
    if (std::any_of(f.AttachFiles.begin(), f.AttachFiles.end(),
                    [](const std::string &a) { return HasRawBytes(a); }))
      where.push_back("attachment list");
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
    const std::string file = ExtractFileName(f.FilePath);
    std::string text = ItemAndFile(d.ID, file) + " holds bytes that are not Shift-JIS in its";
    for (size_t i = 0; i < where.size(); ++i)
      text += (i ? ", " : " ") + where[i];
    found.push_back({Kind::RawBytes, file, d.ID, text});
  }
}

std::vector<fsys::Entry> SortedEntries(const std::string &dir) {
  std::vector<fsys::Entry> entries;
  if (!fsys::ListDirectory(dir, entries))
    return {};
  std::sort(entries.begin(), entries.end(),
            [](const fsys::Entry &a, const fsys::Entry &b) { return a.name < b.name; });
  return entries;
}

// Item files written after the tree file that no item names: what an editor
// leaves when it made or copied items and its tree was never saved (closed
// without saving, killed, or the tree saved elsewhere in the meantime).
void UnnamedNewerFiles(const TProject &project, const std::vector<fsys::Entry> &entries,
                       std::vector<TFinding> &found) {
  fsys::Entry tree;
  if (!fsys::Stat(project.TreeFilePath(), tree) || entries.empty())
    return;
  TStringList named;
  project.CollectItemFiles(named, named, -1, project.Root(), true);
  std::set<std::string> names;
  for (const std::string &path : named)
    names.insert(cp932::LowerAscii(ExtractFileName(path)));
  for (const fsys::Entry &e : entries) {
    const std::string lower = cp932::LowerAscii(e.name);
    if (e.isDirectory || !lower.ends_with(".txt") || names.count(lower) || e.mtime <= tree.mtime)
      continue;
    found.push_back({Kind::UnnamedNewer,
                     e.name,
                     {},
                     "file \"" + e.name +
                         "\" is newer than the tree file and no item names it; an editor may "
                         "have written it without saving its tree"});
  }
}

// What a write stopped part-way leaves: a complete file named beside its
// target only for the rename that did not come, a file in the making, and a
// save's new tree file that never took the tree file's place.
void StrayFiles(const TProject &project, const std::vector<fsys::Entry> &entries,
                std::vector<TFinding> &found) {
  const std::string tree = project.TreeFilePath();
  const std::string newTree = fsys::NewTreeName(TProject::kTreeFileName);
  for (const fsys::Entry &e : entries) {
    const bool isNewTree = e.name == newTree;
    if (isNewTree && (e.isDirectory || e.isSymlink)) {
      found.push_back({Kind::NewTreeHeld,
                       e.name,
                       {},
                       "\"" + e.name + "\" is a " + (e.isSymlink ? "symbolic link" : "folder") +
                           "; the save writes its new tree file by another name, and a save "
                           "stopped part-way cannot be finished: move or rename it"});
      continue;
    }
    if (e.isDirectory)
      continue;
    const std::string file = "file \"" + e.name + "\"";
    if (isNewTree)
      found.push_back(
          {Kind::StoppedSave,
           e.name,
           {},
           TProjectTree::StoppedSaveFile(tree).empty()
               ? file + " is left from a stopped save and holds nothing to finish it with "
                        "(older than the tree file, the same, or cut short); the next save "
                        "replaces it"
               : file + " is a tree file a save wrote completely but did not put in place; it "
                        "is newer than the tree file, and the editor offers it when the project "
                        "is opened"});
    else if (fsys::IsWorkFileName(e.name))
      found.push_back({Kind::StoppedWrite,
                       e.name,
                       {},
                       file + " is left from a write that was stopped; the file it was for is "
                              "whole without it"});
  }
}

void RecoveryCopies(const TProject &project, std::string_view root, std::vector<TFinding> &found) {
  if (fsys::Status s = recovery::CheckRoot(root); !s)
    found.push_back(
        {Kind::NoRecovery, s.path, {}, "no recovery copy can be kept: " + StatusText(s)});
  for (const recovery::Copy &c :
       recovery::CopiesOf(root, project.Dir(), recovery::IdentityOf(project), true)) {
    if (c.damaged())
      found.push_back({Kind::DamagedCopy, c.entry.Path, {}, "the recovery " + CopyLine(c)});
    else
      found.push_back({Kind::RecoveryCopy,
                       c.entry.Path,
                       {},
                       "unsaved changes of " + c.entry.Made + " wait in the recovery " +
                           CopyLine(c) + "; 'orvane-cli recover DIR --list' shows them"});
  }
}

} // namespace

std::vector<TFinding> LoadFindings(const TLoadReport &report) {
  std::vector<TFinding> found;
  for (const std::string &m : report.HeaderWarnings)
    found.push_back({Kind::HeaderValue, {}, {}, m});
  static const char *const kWhy[] = {
      "its item file cannot be read", "it is one of its own ancestors",
      "it is already in the tree at another place", "its item file belongs to another item",
      "no child list reaches it"};
  for (const TSkippedItem &s : report.Skipped)
    found.push_back({Kind::LeftOut, s.FileName, s.ID,
                     ItemAndFile(s.ID, s.FileName) + " listed in section " + s.Section +
                         " left out: " + kWhy[s.Why]});
  for (const TProjectNode *n : report.Missing)
    found.push_back({Kind::Unreadable, n->Data()->ListedFileName, n->Data()->ID,
                     ItemAndFile(n->Data()->ID, n->Data()->ListedFileName) +
                         " cannot be read; kept in the tree as it is listed"});
  for (const TSkippedItem &u : report.Unreached) {
    if (std::any_of(report.Skipped.begin(), report.Skipped.end(),
                    [&](const TSkippedItem &s) { return s.ID == u.ID; }))
      continue; // told above
    found.push_back({Kind::Unreached, u.FileName, u.ID,
                     ItemAndFile(u.ID, u.FileName) +
                         " is not reached by any child list (a gap in the Child numbers or a "
                         "Child key given twice); not shown, it stays in the tree file at every "
                         "save"});
  }
  return found;
}

std::vector<TFinding> FileFindings(TProject &project, std::string_view recoveryRoot) {
  std::vector<TFinding> found;
  RawBytes(project, found);
  const std::vector<fsys::Entry> entries = SortedEntries(project.Dir());
  UnnamedNewerFiles(project, entries, found);
  StrayFiles(project, entries, found);
  // Deleted items are no fault: listed for the editor's window of them.
  for (const TRestorable &r : ListRestorable(project))
    found.push_back({Kind::Restorable,
                     r.name,
                     {},
                     "file \"" + r.name + "\" (" +
                         (r.retired ? "deleted item" : "below a deleted item") + "), title \"" +
                         r.title + "\", " + r.modified.ToString() + ", " + std::to_string(r.size) +
                         " bytes: " + r.firstLine});
  RecoveryCopies(project, recoveryRoot, found);
  return found;
}

std::vector<TFinding> CheckProject(TProject &project, const TLoadReport &report,
                                   std::string_view recoveryRoot) {
  std::vector<TFinding> found = LoadFindings(report);
  std::vector<TFinding> files = FileFindings(project, recoveryRoot);
  found.insert(found.end(), std::make_move_iterator(files.begin()),
               std::make_move_iterator(files.end()));
  return found;
}

std::string CopyLine(const recovery::Copy &c) {
  const recovery::Entry &e = c.entry;
  const char *aside = c.setAside ? " (set aside)" : "";
  if (c.damaged())
    return "damaged copy " + e.Path + ": " + StatusText(c.status) + aside;
  return "copy " + e.Path + " made " + e.Made + " for " + e.Dir + ": " +
         (e.HasTree() ? "the tree and " : "") + std::to_string(e.Items.size()) + " items" + aside;
}
