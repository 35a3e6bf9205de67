#pragma once
// Lists the entries of a directory (optionally of its subtree) whose names
// match a mask list, hands each to a handler that may keep it out of the
// result or stop the search, and collects the accepted paths.
#include "store/FileSystem.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TSearchFileList;

// (Sender, FileName: full path, FileRec, Data, AddList, DoCancel)
using TFindFileList =
    std::function<void(TSearchFileList &sender, const std::string &fileName,
                       const fsys::Entry &fileRec, void *data, bool &addList, bool &doCancel)>;

class TSearchFile {
public:
  using FindEvent = std::function<void(const std::string &fileName, const fsys::Entry &fileRec,
                                       bool &doCancel, void *data)>;

  const std::string &Directory() const { return directory_; }
  void SetDirectory(const std::string &dir);
  const std::string &Mask() const { return mask_; }
  void SetMask(const std::string &mask) { mask_ = mask.empty() ? "*.*" : mask; }

  bool SearchDirectoryName = false;
  bool SearchSubDirectory = true;
  bool DirectorySearchMode = false;
  std::unique_ptr<TSearchFile> SubSearch;
  FindEvent OnFind;

  // Number of entries reported, or -1 when the search was cancelled.
  int Walk(void *data);

  virtual ~TSearchFile() = default;

protected:
  virtual void DoFind(const std::string &fileName, const fsys::Entry &fileRec, bool &doCancel,
                      void *data);

private:
  std::string directory_;
  std::string mask_ = "*.*";
};

class TSearchFileList {
public:
  virtual ~TSearchFileList() = default;

  TFindFileList OnFileFind;
  const std::string &Directory() const { return directory_; }
  void SetDirectory(const std::string &dir);
  const std::string &FileName() const { return fileName_; }
  void SetFileName(const std::string &masks) { fileName_ = masks.empty() ? "*.*" : masks; }
  bool SearchDirectoryName = false;
  bool SearchSubDirectory = false;
  bool DirectorySearchMode = false;

  std::vector<std::string> FoundList;
  int FoundCount = 0;
  void *Data = nullptr;

  // Walks Directory; returns the number of accepted entries. An empty
  // Directory reports nothing (handlers may delete what they are shown).
  int SearchFiles(std::vector<std::string> *strings, void *data);

protected:
  virtual void FileFind(const std::string &fileName, const fsys::Entry &fileRec, void *data,
                        bool &addList, bool &doCancel);

private:
  void Filter(const std::string &fileName, const fsys::Entry &fileRec, bool &doCancel, void *data,
              bool recursive);

  std::string directory_;
  std::string fileName_ = "*.*";
};
