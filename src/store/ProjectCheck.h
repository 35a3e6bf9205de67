#pragma once
// What a check of a loaded project finds, as a list the command line prints
// and the editor can show: what the load skipped or warned about, item texts
// holding bytes that are not Shift-JIS, item files an editor wrote without
// saving its tree, what stopped writes left, the project's recovery copies,
// and the deleted items that can be restored (no fault).
//
//   TLoadReport report = project.Load(dir);
//   for (const TFinding &f : CheckProject(project, report, recovery::DefaultRoot()))
//     if (f.Fault()) ...;
#include "store/Project.h"

#include <string>
#include <string_view>
#include <vector>

namespace recovery {
struct Copy;
}

struct TFinding {
  enum class Kind {
    HeaderValue,  // a malformed header value
    LeftOut,      // an item the tree file lists that the load left out
    Unreadable,   // an item kept in the tree whose file cannot be read
    Unreached,    // an item section no child list reaches
    RawBytes,     // an item holding bytes that are not Shift-JIS
    UnnamedNewer, // a .txt file newer than the tree file that no item names
    StoppedWrite, // X.tmp~ or X.tmp<pid>_<n>
    StoppedSave,  // MainTree.dat.new, usable or not
    NewTreeHeld,  // a folder or a link named MainTree.dat.new
    NoRecovery,   // the recovery folder cannot be used
    RecoveryCopy, // unsaved changes wait in a recovery copy
    DamagedCopy,  // a recovery copy that cannot be read
    Restorable,   // a deleted item the editor can restore: no fault
  };
  Kind kind;
  std::string file;   // bare name in the project folder, or the copy's path
  std::string itemID; // empty where no item is concerned
  std::string text;   // one line in English, CP932 (names as they are)

  bool Fault() const { return kind != Kind::Restorable; }
};

// What the load said, in its order: malformed header values (each its own
// message), items left out, items whose file cannot be read, items no child
// list reaches (those left out already told).
std::vector<TFinding> LoadFindings(const TLoadReport &report);
// What the files say beyond the load, in that order.
std::vector<TFinding> FileFindings(TProject &project, std::string_view recoveryRoot);
// Both.
std::vector<TFinding> CheckProject(TProject &project, const TLoadReport &report,
                                   std::string_view recoveryRoot);

// One line for a recovery copy: when it was made, for which folder, what it
// holds; or why it cannot be read.
std::string CopyLine(const recovery::Copy &copy);
