#pragma once
// Writing items out of a project: plain text, one HTML page, an HTML frame
// set, and the one-file exchange form that ImportExchangeFile (Exchange.h)
// reads back. Qt-free.
//
// What the editor needs is one call per command:
//
//   TExportText engine;   // reads the templates from the user's settings
//   fsys::Status s = RunExport(engine, project, node, TExportMode::Text, path);
//   if (!s) ... "ファイルに出力できませんでした" + ui::FileErrorText(s)
//
// Every item is read from its item file as stored on disk, not from memory,
// so edits not yet saved are not exported. An item whose file cannot be read
// is left out; its descendants are still exported.
//
// All texts are CP932 bytes. Every file is written CP932 with CR LF in one
// crash-safe write (fsys::WriteFile): a failed export leaves no half-written
// file under the final name, and the failure names the final path.
//
// HTML output escapes & < > " in titles, bodies, authors and dates; the
// templates (HTMLHeader, HTMLSepatator, HTMLToDo, HTMLCompletion) are markup
// of the user's and go out as they are. Every HTML file declares Shift_JIS:
// index.html with a META line in its HEAD, the pages without a head
// (the single page, index0.html, the item pages) with the same META line as
// their first line, which browsers honour wherever it stands near the top.
#include "store/FileSystem.h"
#include "store/TextLines.h"

class TNodeFiles;

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TRegIniFile;
class TProject;
class TProjectNode;

// The number carried in the export commands' Tag.
enum class TExportMode { Text = 0, Html = 1, Exchange = 2, Frames = 3 };

class TExportText {
public:
  // The first line of every exchange file.
  static constexpr const char *kExchangeHeader = "[Orvane Exported File]";
  // Section of the per-user settings that holds the templates.
  static constexpr const char *kSettingsSection = "restoration";

  // Reads the templates from the user's settings file (TRegIniFile's
  // default). When "Registed" is not set there, writes the nine templates
  // back with the values just read, and "Registed" true, so that the user
  // finds them to edit; a failure of that write is not reported.
  TExportText();
  // The same with a settings file of the caller's.
  explicit TExportText(TRegIniFile &settings);
  ~TExportText();
  TExportText(const TExportText &) = delete;
  TExportText &operator=(const TExportText &) = delete;

  // CP932 "ファイルはすでに開かれています": what the editor shows when
  // SetFileName refuses.
  static const std::string &AlreadyOpenMessage();

  // Templates (CP932), as read from the settings.
  std::string TextHeader, TextIndent, TextSeparator, TextToDo, TextCompletion;
  std::string HTMLHeader, HTMLSepatator, HTMLToDo, HTMLCompletion;

  bool Active() const { return active_; }
  // Output file (text, HTML, exchange) or output directory (frame set).
  const std::string &FileName() const { return fileName_; }
  const std::string &FrameTitle() const { return frameTitle_; }
  // The page the main frame shows first (the root item's page).
  const std::string &FirstPage() const { return firstPage_; }
  // What a single-file export has collected and not yet written out: each
  // line followed by CR LF. A big export goes to its temporary file in
  // pieces, so that it is never held whole.
  const std::string &OutputLines() const { return output_; }
  // The lines of index0.html collected so far, each followed by CR LF.
  const std::string &IndexLines() const { return index_; }

  // False (name unchanged) while an export is active: the caller shows
  // AlreadyOpenMessage().
  bool SetFileName(std::string_view name);

  // ---- one output file: text, single-page HTML, exchange --------------------
  // False when FileName is empty or an export is active; else starts an
  // empty output.
  bool BeginText();
  // Appends one line while active; does nothing when not active. True.
  bool AddLine(std::string_view line);
  // Appends every line of `lines` and then one empty line (so an empty list
  // gives just the empty line); nothing when not active. True.
  bool AddLines(const TTextLines &lines);
  // Writes the output to FileName and ends the export (also when the write
  // fails). Not active: code EINVAL, nothing written. Until it succeeds,
  // nothing of the export is under FileName (a previous file stays whole).
  fsys::Status EndText();

  // One item in text layout: indent x depth, TextHeader, title, mark; the
  // body and an empty line; TextSeparator. False when the item file cannot be
  // read (nothing added).
  bool AddItemText(std::string_view itemPath, int depth);
  // One item in single-page HTML layout: <hN> with N = depth + 1 (not
  // capped), the body lines with <BR>, HTMLSepatator. False when the item
  // file cannot be read.
  bool AddItemHtml(std::string_view itemPath, int depth);
  // The header line, then the block of the tree file at `treeFilePath`;
  // false when the tree file cannot be read (the header is there anyway).
  bool AddExchangeHeader(std::string_view treeFilePath);
  // The header line, then the block of a tree file with `treeFileText` as
  // its content (a tree not saved yet).
  void AddExchangeTree(std::string_view treeFileText);
  // "FileName:" + the file's name, its lines as stored (CR LF, LF or CR end
  // a line; a last line without a line end gains one), and a form-feed line.
  // False (nothing added) when the file cannot be read.
  // A line of a file that begins with a form feed would end its block when
  // read back (the format has no escape): such a line is listed in
  // FormFeedLines() and the export fails as a whole (EndText: EILSEQ),
  // writing nothing.
  bool AddExchangeFile(std::string_view filePath);

  struct TFormFeedLine {
    std::string FileName; // without directory
    std::string Title;    // the item's (empty for the tree file)
    int64_t TextLine = 0; // 1-based line of the item's text; 0: not in the text
    int64_t FileLine = 0; // 1-based line of the file
  };
  const std::vector<TFormFeedLine> &FormFeedLines() const { return formFeedLines_; }
  // CP932: why the exchange file was not written, naming the items and lines.
  std::string FormFeedMessage() const;

  // ---- frame set: a directory of pages ---------------------------------------
  // False when FileName is empty or an export is active; else starts an empty
  // index with `title` (CP932) as the frame set's title. The directory must
  // exist.
  bool BeginFrames(std::string_view title);
  // Writes the item's page (the item file's name with ".html") into the
  // directory and adds its index entry; the root (depth 0) becomes the first
  // page. False when the item file cannot be read or no frame export is
  // active. After a failed page write no further page is written, and
  // EndFrames reports that failure.
  bool AddItemPage(std::string_view itemPath, int depth);
  // Writes index0.html and index.html and ends the export. The first failed
  // write of the export (a page or an index file) is returned; after a failed
  // page the index files are not written. Not active: code EINVAL.
  fsys::Status EndFrames();

private:
  void ReadTemplates(TRegIniFile &settings);
  const std::string &Mark(bool toDo, bool completion, bool html) const;
  void AppendLine(std::string &to, std::string_view line);
  void AddExchangeBlock(std::string_view name, std::string_view bytes);
  // Hands the collected output to the temporary file once it is big.
  void FlushOutput(bool force = false);

  bool active_ = false;
  bool frames_ = false;
  bool htmlStarted_ = false;
  std::string fileName_;
  std::string frameTitle_;
  std::string firstPage_;
  std::string output_;
  fsys::AtomicWriter writer_; // open once the output was first flushed
  fsys::Status writeStatus_;  // the first failed flush of this export
  std::string index_;
  std::string page_; // one item page, reused
  // Makes the pages' files while the next items are read (inline when the
  // gateway's calls must come in one order).
  std::unique_ptr<class TPageWriter> pageWriter_;
  // The first item file that is there but could not be read: the export
  // fails rather than leave the item out.
  fsys::Status readStatus_;
  std::vector<TFormFeedLine> formFeedLines_;
  // Reads an item file; a failure that is not a missing item is kept in
  // readStatus_.
  bool OpenItem(std::string_view path, TNodeFiles &files);
  // Reads a file through the folder held open for its directory.
  fsys::Status ReadInFolder(std::string_view path, std::string &bytes);
  std::string empty_;
  // The folder of the files read last, and the output folder of a frame set:
  // opened once, each file found by its name in it.
  fsys::Directory itemFolder_, pageFolder_;
  std::string itemFolderPath_;
  std::string bytes_; // the file read last, its buffer reused
};

// The walk of the export: hands `item`'s file to the engine operation of the
// mode (AddItemText, AddItemHtml, AddExchangeFile, AddItemPage) with `depth`,
// then every descendant in pre-order with its depth below `item` added. An
// item whose file cannot be read adds nothing; its children still do. Items
// the load could not read and whose listed file name is not a plain name
// are not read at all (such a name may point out of the project).
// `progress`, when set, is told after each item with the count done and the
// branch's item count.
using TExportProgress = std::function<void(size_t done, size_t total)>;
void ExportBranch(TExportText &engine, const TProjectNode *item, TExportMode mode, int depth = 0,
                  const TExportProgress &progress = {});

// One whole export command without its dialogs, into `path` (CP932):
// - Text, Html: the branch of `item` (the root when null) into the file.
// - Exchange: the header with the project's tree file (the tree as it stands
//   when it changed since the load or the last save), then the whole tree.
// - Frames: the whole project into the directory `path` (created when
//   missing), titled with the root item's title.
// The engine must be idle. A refused begin (empty path, engine active) is
// op "export", code EINVAL; otherwise the first failed file operation.
fsys::Status RunExport(TExportText &engine, const TProject &project, const TProjectNode *item,
                       TExportMode mode, std::string_view path,
                       const TExportProgress &progress = {});

// & < > " as entities; CP932 trail bytes are never one of these.
std::string HtmlEscape(std::string_view text);
