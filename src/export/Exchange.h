#pragma once
// Reading an exchange file (written by TExportText, ExportText.h) back into a
// new project directory. Qt-free.
//
//   TImportResult r = ImportExchangeFile(file, importRoot, projectName);
//   ShowMessageBox(r.Message);        // CP932, also on success
//   if (r.Failure.code) ...            // + ui::FileErrorText(r.Failure)
//
// The file comes from elsewhere and is treated as hostile:
// - It is read as a stream in bounded memory (one block at a time): line 0
//   must be exactly "[Orvane Exported File]"; a non-empty line starting with
//   a form feed ends a block; the block's first line must contain
//   "FileName:" and the name is that line after its first nine characters;
//   CR LF, LF or CR end a line; lines after the last form-feed line are
//   ignored.
// - A block name must be a plain file name: not empty, ".", "..", no '/',
//   no '\' as a character of its own (a CP932 trail byte 0x5C is part of the
//   character), no NUL. Any other name stops the import at that block's
//   first line.
// - The project goes only into a directory that is new or empty (never a
//   symbolic link): an existing project is never written into. Every file is
//   written inside it, crash-safe, never through a symbolic link and never in
//   place of a directory. The same name in two blocks stops the import: the
//   second would overwrite the first one's file.
// - MainTree.dat is written last. An import that stops part-way removes the
//   files it wrote (and the folder, when it made it), so that no half project
//   is left; it says where it stopped. Only a kill can leave files, never the
//   tree file without them.
#include "store/FileSystem.h"

#include <cstdint>
#include <string>
#include <string_view>

struct TImportResult {
  enum Outcome {
    Imported,        // "インポートが完了しました"
    BadRequest,      // empty or unusable project name, or no exchange file
    CannotCreateDir, // the target directory could not be made (or is a link)
    TargetNotEmpty,  // the target directory already holds something
    NotExchangeFile, // empty file, or line 0 is not the header
    BadFormat,       // a block whose first line lacks "FileName:"
    BadFileName,     // a block name that is not a plain file name
    DuplicateName,   // a second block of a name already written
    CannotWrite,     // a block's file could not be written
    CannotRead,      // the exchange file could not be read on
  };
  Outcome Result = BadRequest;
  std::string Message;  // the text for the user (CP932)
  fsys::Status Failure; // the file operation that failed, when one did
  int64_t Line = -1; // BadFormat: the form-feed line; BadFileName, DuplicateName: the name's line
  std::string TargetDir; // with its trailing separator
  std::string StoppedAt; // CannotWrite, BadFileName, DuplicateName: the file not written
  int64_t FilesWritten = 0;
  int64_t FilesLeft = 0; // a failed import: files it could not remove again
  bool ok() const { return Result == Imported; }
};

// The import of the project management window: `exchangeFile` into
// `importRoot` + `projectName` (created with missing parents). The name must
// be a single plain directory name (see above).
TImportResult ImportExchangeFile(std::string_view exchangeFile, std::string_view importRoot,
                                 std::string_view projectName);

// The same into the directory `targetDir`, which must not exist yet or be
// empty (orvane-cli import). Messages name the project by the directory's
// last part.
TImportResult ImportExchangeFileInto(std::string_view exchangeFile, std::string_view targetDir);

// A name that stays inside the directory it is joined to (see above).
bool IsPlainImportName(std::string_view name);
