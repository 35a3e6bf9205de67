#pragma once
// One item of a project: its record in memory and its file on disk (a block of
// "Key:Value" header lines, an empty line, the text, a closing empty line).
// All texts are CP932 bytes, kept byte for byte.
#include "store/DateTime.h"
#include "store/FileSystem.h"
#include "store/TextLines.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

using TStringList = std::vector<std::string>;

class TNodeFiles {
public:
  TNodeFiles();

  std::string Title;
  TDateTime Update;
  TDateTime FirstEdition;
  uint16_t Edition = 0;
  bool ToDo = false;
  bool Completion = false;
  std::string Author;
  int32_t Line = 0;
  int32_t Column = 1;
  TStringList AttachFiles;
  int64_t BodyOffset = 0;
  TTextLines Body;
  std::string FilePath;
  // The file as this item last read or wrote it; not copied by Assign.
  fsys::Stamp Disk;

  // Reads the file at FilePath: header always, the text when `loadBody`.
  // Malformed header values are skipped, each adding its message (CP932) to
  // `warnings` when given. A UTF-8 byte-order mark before the header is
  // skipped. What failed when the file could not be read (ENOENT without a
  // FilePath).
  fsys::Status Open(bool loadBody, TStringList *warnings = nullptr);
  fsys::Status ReadHeader(TStringList *warnings = nullptr);
  fsys::Status LoadBody();
  // Writes the whole file, crash-safe, keeping its mode and owner; what
  // failed, no message: a read-only file, and a symbolic link leading out of
  // the file's folder, are refused (fsys::WriteFile). A file that changed on
  // disk since it was read or written here is not overwritten
  // (fsys::kChangedOnDisk, fsys::kGoneFromDisk) unless `overwrite` says so.
  enum class Overwrite { IfUnchanged, Always };
  fsys::Status Save(Overwrite overwrite = Overwrite::IfUnchanged);
  // Whether the file on disk is still what Disk records.
  fsys::DiskChange CheckDisk() { return fsys::CheckStamp(FilePath, Disk); }

  void GetBody(TTextLines &lines) const { lines = Body; }
  void SetBody(const TTextLines &lines) { Body = lines; }
  // Copies every field except FilePath.
  void Assign(const TNodeFiles &other);

  // The exact bytes Save writes.
  std::string Serialize() const;
  // Header parse and body split over bytes already in memory (what Open does
  // after one read of the file).
  void ParseHeader(std::string_view bytes, TStringList *warnings = nullptr);
  void ParseBody(std::string_view bytes);

  // Splits text into lines at CR LF, lone CR and lone LF; a final line end
  // does not start a further line.
  static TStringList SplitLines(std::string_view text);
};

class TNodeData {
public:
  std::string ID;
  TNodeFiles Files;
  // The tree file lists this item but its file could not be read at load.
  // The node keeps its place, its children and its section in the tree file
  // (so the branch is whole again once the file is back); its file is never
  // written, and `ListedFileName` is the "FileName" value as it was.
  bool Missing = false;
  // Files holds edits its file does not have yet (their write failed or was
  // refused): stored again, and never replaced by the file's version unasked.
  bool Unsaved = false;
  std::string ListedFileName; // of a Missing item
};

// The warning text for a malformed header value.
std::string MalformedHeaderMessage(std::string_view filePath, std::string_view key,
                                   std::string_view value);

// Optionally signed decimal integer, nothing else.
bool ParseInt64(std::string_view text, int64_t &out);
