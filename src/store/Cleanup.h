#pragma once
// The cleanup of a project directory: every file directly in it that the
// project as held in memory does not name goes. It is the one command that
// deletes many files at once, so a file is kept whenever anything of the
// project names it, however spelt:
//  - names are compared as the file system resolves them ("./a", a path
//    through a linked directory and "a" are the same file);
//  - a name that does not exist exactly is looked up ignoring ASCII letter
//    case, as projects from case-insensitive file systems need; an exact
//    match wins, and a file differing from it only in case is a stray;
//  - only names with a dot are touched ("*.*"), never a directory or what a
//    link leads to (a link goes as a link), never a subdirectory;
//  - an item the load could not read (kept in the tree, or a section no
//    child list reaches) may name attachments nobody has seen: its header is
//    read here, and while one cannot be read nothing is deleted at all.
#include "store/FileSystem.h"

#include <string>
#include <vector>

class TProject;

struct TCleanupReport {
  int deleted = 0;
  std::vector<fsys::Status> failures;  // files that stayed (not counted)
  fsys::Status listing;                // the directory could not be read
  std::vector<std::string> unreadable; // items' file names (CP932): nothing was deleted
};

TCleanupReport DeleteUnusedFiles(const TProject &project);
