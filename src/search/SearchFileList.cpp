#include "search/SearchFileList.h"

#include "store/Codec.h"
#include "store/LibUnit.h"
#include "store/MatchesLiblary.h"

#include <fnmatch.h>

namespace {

// The enumeration pattern of the platform: "*.*" and "*" list every entry.
bool PlatformMatch(const std::string &mask, const std::string &name) {
  if (mask == "*.*" || mask == "*")
    return true;
  return fnmatch(cp932::LowerAscii(mask).c_str(), cp932::LowerAscii(name).c_str(), 0) == 0;
}

} // namespace

void TSearchFile::SetDirectory(const std::string &dir) { directory_ = AddPathSeparator(dir); }

void TSearchFile::DoFind(const std::string &fileName, const fsys::Entry &fileRec, bool &doCancel,
                         void *data) {
  doCancel = false;
  if (OnFind)
    OnFind(fileName, fileRec, doCancel, data);
}

int TSearchFile::Walk(void *data) {
  int count = 0;
  bool cancel = false;
  std::vector<fsys::Entry> entries;
  if (directory_.empty() || !fsys::ListDirectory(directory_, entries))
    return 0;
  bool wantDirs = SearchDirectoryName || SearchSubDirectory;
  for (const fsys::Entry &e : entries) {
    if (!PlatformMatch(mask_, e.name))
      continue;
    if (e.isDirectory) {
      if (!wantDirs || e.name.front() == '.')
        continue;
      if (SearchDirectoryName || DirectorySearchMode) {
        DoFind(directory_ + e.name, e, cancel, data);
        ++count;
        if (cancel)
          break;
      }
      // Never descend through a symbolic link: it may lead out of the tree
      // or back into it.
      if (SearchSubDirectory && !e.isSymlink) {
        SubSearch = std::make_unique<TSearchFile>();
        SubSearch->SetDirectory(directory_ + e.name);
        SubSearch->SetMask(mask_);
        SubSearch->SearchDirectoryName = SearchDirectoryName;
        SubSearch->SearchSubDirectory = SearchSubDirectory;
        SubSearch->DirectorySearchMode = DirectorySearchMode;
        SubSearch->OnFind = OnFind;
        int sub = SubSearch->Walk(data);
        SubSearch.reset();
        if (sub < 0) {
          cancel = true;
          break;
        }
        count += sub;
      }
    } else if (!DirectorySearchMode) {
      DoFind(directory_ + e.name, e, cancel, data);
      ++count;
      if (cancel)
        break;
    }
  }
  return cancel ? -1 : count;
}

void TSearchFileList::SetDirectory(const std::string &dir) { directory_ = AddPathSeparator(dir); }

void TSearchFileList::FileFind(const std::string &fileName, const fsys::Entry &fileRec, void *data,
                               bool &addList, bool &doCancel) {
  addList = true;
  doCancel = false;
  if (OnFileFind)
    OnFileFind(*this, fileName, fileRec, data, addList, doCancel);
}

void TSearchFileList::Filter(const std::string &fileName, const fsys::Entry &fileRec,
                             bool &doCancel, void *data, bool recursive) {
  if (!(recursive && fileRec.isDirectory) && !MatchesMasks(fileRec.name, fileName_))
    return;
  bool addList = true;
  FileFind(fileName, fileRec, data, addList, doCancel);
  if (addList) {
    ++FoundCount;
    FoundList.push_back(fileName);
  }
}

int TSearchFileList::SearchFiles(std::vector<std::string> *strings, void *data) {
  FoundList.clear();
  Data = data;
  FoundCount = 0;
  if (directory_.empty())
    return 0;
  TSearchFile walker;
  walker.SetDirectory(directory_);
  walker.SearchDirectoryName = SearchDirectoryName;
  walker.SearchSubDirectory = SearchSubDirectory;
  walker.DirectorySearchMode = DirectorySearchMode;
  bool recursive = SearchSubDirectory;
  walker.OnFind = [this, recursive](const std::string &name, const fsys::Entry &rec, bool &doCancel,
                                    void *d) { Filter(name, rec, doCancel, d, recursive); };
  walker.Walk(data);
  if (strings)
    strings->insert(strings->end(), FoundList.begin(), FoundList.end());
  return FoundCount;
}
