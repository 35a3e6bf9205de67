#include "export/ExportText.h"

#include "store/Codec.h"
#include "store/FaultInjection.h"
#include "store/IniFile.h"
#include "store/LibUnit.h"
#include "store/NodeFiles.h"
#include "store/Project.h"
#include "store/RegIniFile.h"
#include "store/Threads.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace {

// A literal of this file (UTF-8) in the program's code page.
std::string J(std::string_view utf8) { return cp932::FromUtf8(utf8).bytes; }

struct Texts {
  std::string alreadyOpen = J("ファイルはすでに開かれています");
  std::string author = J("著者:");
  std::string update = J("<BR>更新日時:");
  std::string firstEdition = J("　作成日時:");
  std::string fullWidthSpace = J("　");
  std::string branch = J("┗");
  std::string noFrames1 = J("<CENTER>Orvane 出力ファイル</CENTER><BR>");
  std::string noFrames2 = J("このファイルは、フレーム対応ブラウザ用です。<BR>");
  std::string noFrames3 =
      J("フレーム非対応ブラウザで閲覧する場合、通常の一括出力(HTML)を用いて下さい。<BR>");
  std::string textHeader = J("★");
  std::string textCompletion = J(" (完了)");
  std::string htmlCompletion = J("<B>(完了)</B>");
};

const Texts &T() {
  static const Texts texts;
  return texts;
}

// Browsers look for this in the first bytes of a page, head or no head.
constexpr std::string_view kCharsetMeta =
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=Shift_JIS\">";

// Names written by the editor never have a directory part; a listed name with
// one (a project from elsewhere) may lead out of the project.
bool IsPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find(kPathSeparator) == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

// Every line of `bytes` (CR LF, lone CR and lone LF end a line; a final line
// end starts no further line) appended to `out` with CR LF.
void AppendLinesOf(std::string &out, std::string_view bytes) {
  size_t pos = 0;
  const size_t n = bytes.size();
  while (pos < n) {
    size_t end = pos;
    while (end < n && bytes[end] != '\r' && bytes[end] != '\n')
      ++end;
    out.append(bytes.substr(pos, end - pos));
    out += "\r\n";
    if (end >= n)
      break;
    pos = end + ((bytes[end] == '\r' && end + 1 < n && bytes[end + 1] == '\n') ? 2 : 1);
  }
}

// The item file's name with its extension replaced by ".html".
std::string PageName(std::string_view itemPath) {
  std::string name = ExtractFileName(itemPath);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos)
    name.erase(dot);
  return name + ".html";
}

} // namespace

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 16);
  for (char c : text) {
    switch (c) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '"':
      out += "&quot;";
      break;
    default:
      out += c;
    }
  }
  return out;
}

// Makes the files of a frame set's pages in the order given, on a thread of
// its own while the export reads and formats the next items: creating tens of
// thousands of files takes as long as reading them. Inline when the
// gateway's calls must come in one order (a fault test) or on one processor.
class TPageWriter {
public:
  explicit TPageWriter(const fsys::Directory &folder) : folder_(folder) {
    if (fsys::fault::Active() || std::thread::hardware_concurrency() < 2)
      return;
    (void)threads::TryStart(thread_, [this] { Run(); }); // no thread to be had: inline
  }
  ~TPageWriter() { (void)Finish(); }
  TPageWriter(const TPageWriter &) = delete;
  TPageWriter &operator=(const TPageWriter &) = delete;

  // A page write failed: no further page is written.
  bool Failed() const { return failed_.load(std::memory_order_relaxed); }

  // Takes `page`, leaving an empty buffer in its place.
  void Write(std::string name, std::string &page) {
    if (!thread_.joinable()) {
      status_ = folder_.WriteFile(name, page);
      failed_ = !status_;
      page.clear();
      return;
    }
    std::unique_lock lock(mutex_);
    room_.wait(lock, [&] { return queuedBytes_ < kMaxQueuedBytes || Failed(); });
    if (Failed())
      return;
    queuedBytes_ += page.size();
    queue_.emplace_back(std::move(name), std::move(page));
    page.clear(); // moved from: valid, unspecified
    if (!spare_.empty()) {
      page = std::move(spare_.back());
      spare_.pop_back();
    }
    ready_.notify_one();
  }

  // Waits for the pages given and flushes them: the first failure.
  fsys::Status Finish() {
    if (thread_.joinable()) {
      {
        std::lock_guard lock(mutex_);
        done_ = true;
      }
      ready_.notify_one();
      thread_.join();
    }
    return status_;
  }

private:
  // Pages waiting at most, so that a slow disk does not hold the project
  // twice in memory.
  static constexpr size_t kMaxQueuedBytes = 8u << 20;

  void Run() {
    fsys::BatchWrites batch; // this thread's files: one flush at the end
    std::unique_lock lock(mutex_);
    for (;;) {
      ready_.wait(lock, [&] { return !queue_.empty() || done_; });
      if (queue_.empty())
        break;
      auto [name, page] = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      fsys::Status written = folder_.WriteFile(name, page);
      lock.lock();
      queuedBytes_ -= page.size();
      if (!written && !Failed()) {
        status_ = std::move(written);
        failed_ = true;
        queue_.clear();
        queuedBytes_ = 0;
      }
      if (spare_.size() < 4) {
        page.clear();
        spare_.push_back(std::move(page));
      }
      room_.notify_one();
    }
    lock.unlock();
    fsys::Status flushed = batch.Finish();
    lock.lock();
    if (status_ && !flushed)
      status_ = std::move(flushed);
  }

  const fsys::Directory &folder_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable ready_, room_;
  std::deque<std::pair<std::string, std::string>> queue_;
  std::vector<std::string> spare_;
  size_t queuedBytes_ = 0;
  bool done_ = false;
  std::atomic<bool> failed_{false};
  fsys::Status status_;
};

// A frame set left unfinished: its writer goes before the folder it writes in.
TExportText::~TExportText() { pageWriter_.reset(); }

TExportText::TExportText() {
  TRegIniFile settings;
  ReadTemplates(settings);
}

TExportText::TExportText(TRegIniFile &settings) { ReadTemplates(settings); }

const std::string &TExportText::AlreadyOpenMessage() { return T().alreadyOpen; }

void TExportText::ReadTemplates(TRegIniFile &settings) {
  const char *s = kSettingsSection;
  struct Value {
    const char *name;
    std::string *field;
    std::string def;
  } values[] = {
      {"TextHeader", &TextHeader, T().textHeader},
      {"TextIndent", &TextIndent, " "},
      {"TextSeparator", &TextSeparator, "+--------+--------+--------+--------+--------+--------+"},
      {"TextToDo", &TextToDo, " (ToDo)"},
      {"TextCompletion", &TextCompletion, T().textCompletion},
      {"HTMLHeader", &HTMLHeader, " "},
      {"HTMLSepatator", &HTMLSepatator, "<HR>"},
      {"HTMLToDo", &HTMLToDo, "<B>(ToDo)</B>"},
      {"HTMLCompletion", &HTMLCompletion, T().htmlCompletion},
  };
  for (const Value &v : values)
    *v.field = settings.ReadString(s, v.name, v.def);
  if (!settings.ReadBool(s, "Registed", false)) {
    for (const Value &v : values)
      settings.WriteString(s, v.name, *v.field);
    settings.WriteBool(s, "Registed", true);
    (void)settings.UpdateFile(); // the templates are in use all the same
  }
}

const std::string &TExportText::Mark(bool toDo, bool completion, bool html) const {
  if (completion)
    return html ? HTMLCompletion : TextCompletion;
  if (toDo)
    return html ? HTMLToDo : TextToDo;
  return empty_;
}

void TExportText::AppendLine(std::string &to, std::string_view line) {
  to.append(line);
  to += "\r\n";
}

bool TExportText::SetFileName(std::string_view name) {
  if (active_)
    return false;
  fileName_ = std::string(name);
  return true;
}

bool TExportText::BeginText() {
  if (fileName_.empty() || active_)
    return false;
  output_.clear();
  writer_.Abandon();
  writeStatus_ = fsys::Status{};
  readStatus_ = fsys::Status{};
  formFeedLines_.clear();
  active_ = true;
  frames_ = false;
  htmlStarted_ = false;
  return true;
}

bool TExportText::AddLine(std::string_view line) {
  if (active_ && !frames_) {
    AppendLine(output_, line);
    FlushOutput();
  }
  return true;
}

bool TExportText::AddLines(const TTextLines &lines) {
  if (!active_ || frames_)
    return true;
  for (std::string_view l : lines)
    AppendLine(output_, l);
  output_ += "\r\n";
  FlushOutput();
  return true;
}

void TExportText::FlushOutput(bool force) {
  constexpr size_t kPiece = size_t(1) << 20;
  if (!force && output_.size() < kPiece)
    return;
  if (writeStatus_) {
    if (!writer_.IsOpen())
      writeStatus_ = writer_.Open(fileName_);
    if (writeStatus_)
      writeStatus_ = writer_.Append(output_);
  }
  // After a failure the rest is not kept: the export fails as a whole.
  output_.clear();
}

fsys::Status TExportText::EndText() {
  if (!active_ || frames_)
    return fsys::Status{"export", fileName_, EINVAL};
  active_ = false;
  if (!readStatus_ && writeStatus_)
    writeStatus_ = readStatus_; // an export without an item is no export
  FlushOutput(true);
  if (writeStatus_)
    writeStatus_ = writer_.Commit();
  writer_.Abandon();
  output_.shrink_to_fit();
  return writeStatus_;
}

namespace {

// An item file that is not there, not a file, or not for this user to read
// is an item the export leaves out, as the editor shows it missing. Any
// other failure (an I/O error, no memory, no descriptors left) would leave
// out an item the user has: the export fails instead.
bool LeftOut(int code) {
  switch (code) {
  case ENOENT:
  case ENOTDIR:
  case EISDIR:
  case EINVAL: // a FIFO or device where the file should be
  case EACCES:
  case EPERM:
  case ELOOP:
    return true;
  default:
    return false;
  }
}

} // namespace

fsys::Status TExportText::ReadInFolder(std::string_view path, std::string &bytes) {
  const std::string_view dir = path.substr(0, ExtractFilePath(path).size());
  if (path.empty())
    return fsys::Status{"open", std::string(path), ENOENT};
  if (dir != itemFolderPath_) {
    itemFolderPath_ = std::string(dir);
    (void)itemFolder_.Open(dir); // unopened, it reads by the whole path
  }
  return itemFolder_.ReadFile(path.substr(dir.size()), bytes);
}

bool TExportText::OpenItem(std::string_view path, TNodeFiles &files) {
  files.FilePath = std::string(path);
  fsys::Status s = ReadInFolder(path, bytes_);
  if (s) {
    files.ParseHeader(bytes_);
    files.ParseBody(bytes_);
  }
  if (!s && readStatus_ && !LeftOut(s.code))
    readStatus_ = s;
  return s.ok();
}

bool TExportText::AddItemText(std::string_view itemPath, int depth) {
  TNodeFiles item;
  if (!OpenItem(itemPath, item))
    return false;
  std::string line;
  for (int i = 0; i < depth; ++i)
    line += TextIndent;
  line += TextHeader;
  line += item.Title;
  line += Mark(item.ToDo, item.Completion, false);
  AddLine(line);
  AddLines(item.Body);
  AddLine(TextSeparator);
  return true;
}

bool TExportText::AddItemHtml(std::string_view itemPath, int depth) {
  TNodeFiles item;
  if (!OpenItem(itemPath, item))
    return false;
  if (!htmlStarted_ && active_) {
    AddLine(kCharsetMeta);
    htmlStarted_ = true;
  }
  const std::string n = std::to_string(static_cast<long long>(depth) + 1);
  AddLine("<h" + n + ">" + HTMLHeader + HtmlEscape(item.Title) + " " +
          Mark(item.ToDo, item.Completion, true) + "</h" + n + "><BR>");
  std::string line;
  for (std::string_view l : item.Body) {
    line = HtmlEscape(l);
    line += "<BR>";
    AddLine(line);
  }
  AddLine(HTMLSepatator);
  return true;
}

bool TExportText::AddExchangeHeader(std::string_view treeFilePath) {
  AddLine(kExchangeHeader);
  return AddExchangeFile(treeFilePath);
}

void TExportText::AddExchangeTree(std::string_view treeFileText) {
  AddLine(kExchangeHeader);
  AddExchangeBlock(TProject::kTreeFileName, treeFileText);
}

bool TExportText::AddExchangeFile(std::string_view filePath) {
  if (fsys::Status s = ReadInFolder(filePath, bytes_); !s) {
    if (!LeftOut(s.code) && readStatus_)
      readStatus_ = s;
    return false;
  }
  AddExchangeBlock(ExtractFileName(filePath), bytes_);
  return true;
}

void TExportText::AddExchangeBlock(std::string_view name, std::string_view bytes) {
  if (!active_ || frames_)
    return;
  if (bytes.find('\f') != std::string_view::npos) {
    // Lines are counted as AppendLinesOf splits them; the text's lines from
    // where the item's header ends.
    TNodeFiles header;
    const bool item = name != TProject::kTreeFileName;
    if (item)
      header.ParseHeader(bytes);
    const size_t body = item ? static_cast<size_t>(std::max<int64_t>(header.BodyOffset, 0)) : 0;
    int64_t fileLine = 0, bodyStartLine = -1;
    for (size_t pos = 0, n = bytes.size(); pos < n;) {
      ++fileLine;
      if (bodyStartLine < 0 && pos >= body)
        bodyStartLine = fileLine;
      if (bytes[pos] == '\f')
        formFeedLines_.push_back(
            TFormFeedLine{std::string(name), header.Title,
                          bodyStartLine > 0 && item ? fileLine - bodyStartLine + 1 : 0, fileLine});
      size_t end = pos;
      while (end < n && bytes[end] != '\r' && bytes[end] != '\n')
        ++end;
      if (end >= n)
        break;
      pos = end + ((bytes[end] == '\r' && end + 1 < n && bytes[end + 1] == '\n') ? 2 : 1);
    }
    // What is collected is no use: nothing of this export is written.
    if (!formFeedLines_.empty() && writeStatus_)
      writeStatus_ = fsys::Status{"export", fileName_, EILSEQ};
  }
  output_ += "FileName:";
  output_ += name;
  output_ += "\r\n";
  AppendLinesOf(output_, bytes);
  output_ += "\f\r\n";
  FlushOutput();
}

std::string TExportText::FormFeedMessage() const {
  constexpr size_t kListed = 10;
  std::string m = J("次の行が改ページ(フォームフィード)で始まるため、まとめたファイルから元どおり"
                    "に読み戻せません。行の先頭の改ページを取り除いてから出力して下さい");
  for (size_t i = 0; i < formFeedLines_.size() && i < kListed; ++i) {
    const TFormFeedLine &l = formFeedLines_[i];
    m += "\r\n";
    if (!l.Title.empty())
      m += J("「") + l.Title + J("」");
    m += "(" + l.FileName + ") ";
    m += l.TextLine > 0 ? J("本文の") + std::to_string(l.TextLine) + J("行目")
                        : J("ファイルの") + std::to_string(l.FileLine) + J("行目");
  }
  if (formFeedLines_.size() > kListed)
    m += "\r\n" + J("ほかに ") + std::to_string(formFeedLines_.size() - kListed) + J(" 行");
  return m;
}

bool TExportText::BeginFrames(std::string_view title) {
  if (fileName_.empty() || active_)
    return false;
  index_.clear();
  AppendLine(index_, kCharsetMeta);
  active_ = true;
  frames_ = true;
  frameTitle_ = std::string(title);
  firstPage_.clear();
  readStatus_ = fsys::Status{};
  (void)pageFolder_.Open(fileName_); // unopened, it writes by the whole path
  pageWriter_ = std::make_unique<TPageWriter>(pageFolder_);
  return true;
}

bool TExportText::AddItemPage(std::string_view itemPath, int depth) {
  if (!active_ || !frames_)
    return false;
  TNodeFiles item;
  if (!OpenItem(itemPath, item))
    return false;
  const std::string name = PageName(itemPath);
  const std::string title = HtmlEscape(item.Title);
  if (!pageWriter_->Failed()) {
    page_.clear();
    AppendLine(page_, kCharsetMeta);
    AppendLine(page_, "<h2>" + title + "</h2><BR>");
    AppendLine(page_, "<h3>");
    AppendLine(page_, T().author + HtmlEscape(item.Author) + T().update +
                          HtmlEscape(item.Update.ToString()) + T().firstEdition +
                          HtmlEscape(item.FirstEdition.ToString()));
    AppendLine(page_, "</h3>");
    AppendLine(page_, HTMLSepatator);
    for (std::string_view l : item.Body) {
      page_ += HtmlEscape(l);
      page_ += "<BR>\r\n";
    }
    pageWriter_->Write(name, page_);
  }
  std::string entry;
  if (depth == 0) {
    firstPage_ = name;
  } else {
    for (int i = 0; i < depth; ++i)
      entry += T().fullWidthSpace;
    entry += T().branch;
  }
  entry += "<A HREF=\"" + HtmlEscape(name) + "\" TARGET=\"main\">" + title +
           Mark(item.ToDo, item.Completion, true) + "</A><BR>";
  AppendLine(index_, entry);
  return true;
}

fsys::Status TExportText::EndFrames() {
  if (!active_ || !frames_)
    return fsys::Status{"export", fileName_, EINVAL};
  active_ = false;
  frames_ = false;
  const fsys::Status pages = pageWriter_->Finish();
  pageWriter_.reset();
  if (!pages)
    return pages;
  if (!readStatus_)
    return readStatus_;
  const std::string dir = AddPathSeparator(fileName_);
  if (fsys::Status s = fsys::WriteFile(dir + "index0.html", index_); !s)
    return s;
  index_.clear();
  index_.shrink_to_fit();
  std::string out;
  const std::string_view lines[] = {
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">",
      "<HTML>",
      "<!-- Orvane auto Export File -->",
      "<HEAD>",
      kCharsetMeta,
  };
  for (std::string_view l : lines)
    AppendLine(out, l);
  AppendLine(out, "<TITLE>" + HtmlEscape(frameTitle_) + "</TITLE>");
  AppendLine(out, "</HEAD>");
  AppendLine(out, "<FRAMESET COLS=\"250,*\">");
  AppendLine(out, "<FRAME SRC=\"index0.html\" NAME=\"index\">");
  AppendLine(out, "<FRAME SRC=\"" + HtmlEscape(firstPage_) + "\" NAME=\"main\">");
  AppendLine(out, "<NOFRAMES><BODY>");
  AppendLine(out, T().noFrames1);
  AppendLine(out, T().noFrames2);
  AppendLine(out, T().noFrames3);
  AppendLine(out, "</BODY></NOFRAMES>");
  AppendLine(out, "</FRAMESET>");
  AppendLine(out, "</HTML>");
  return fsys::WriteFile(dir + "index.html", out);
}

void ExportBranch(TExportText &engine, const TProjectNode *item, TExportMode mode, int depth,
                  const TExportProgress &progress) {
  if (!item)
    return;
  size_t total = 0, done = 0;
  if (progress)
    for (const TProjectNode *n = item; n; n = n->GetNextWithin(item))
      ++total;
  auto add = [&](const std::string &path, int d) {
    switch (mode) {
    case TExportMode::Text:
      return engine.AddItemText(path, d);
    case TExportMode::Html:
      return engine.AddItemHtml(path, d);
    case TExportMode::Exchange:
      return engine.AddExchangeFile(path);
    case TExportMode::Frames:
      return engine.AddItemPage(path, d);
    }
    return false;
  };
  // Items named in another letter case than on disk (a project from a
  // case-insensitive file system) are found as the load finds them.
  std::unique_ptr<TFoldedNames> folded;
  // An explicit stack: a project may nest deeper than the call stack allows.
  std::vector<std::pair<const TProjectNode *, int>> stack{{item, depth}};
  while (!stack.empty()) {
    auto [node, d] = stack.back();
    stack.pop_back();
    const TNodeData &data = *node->Data();
    if (!data.Missing || IsPlainName(data.ListedFileName)) {
      const std::string &path = data.Files.FilePath;
      if (!add(path, d) && !path.empty()) {
        if (!folded)
          folded = std::make_unique<TFoldedNames>(ExtractFilePath(path));
        std::string other = folded->Resolve(path);
        if (other != path)
          add(other, d);
      }
    }
    for (int row = node->Count() - 1; row >= 0; --row)
      stack.emplace_back(node->Item(row), d + 1);
    if (progress)
      progress(++done, total);
  }
}

fsys::Status RunExport(TExportText &engine, const TProject &project, const TProjectNode *item,
                       TExportMode mode, std::string_view path, const TExportProgress &progress) {
  const fsys::Status refused{"export", std::string(path), EINVAL};
  if (!engine.SetFileName(path))
    return refused;
  const TProjectNode *root = project.Root();
  if (mode == TExportMode::Frames) {
    if (!path.empty())
      if (fsys::Status s = fsys::CreateDirectories(RemovePathSeparator(path)); !s)
        return s;
    if (!engine.BeginFrames(root ? root->Text() : std::string()))
      return refused;
    // Thousands of pages: one flush at the end instead of one per page.
    fsys::BatchWrites batch;
    ExportBranch(engine, root, mode, 0, progress);
    fsys::Status status = engine.EndFrames();
    if (fsys::Status flushed = batch.Finish(); status && !flushed)
      return flushed;
    return status;
  }
  if (!engine.BeginText())
    return refused;
  if (mode == TExportMode::Exchange) {
    // A tree changed since its last save goes out as it stands: the saved
    // tree file would leave out new items and list deleted ones.
    TIniFile tree;
    if (project.Modified() && project.Tree().BuildTreeFile(tree))
      engine.AddExchangeTree(tree.Serialize());
    else
      engine.AddExchangeHeader(project.TreeFilePath());
    ExportBranch(engine, root, mode, 0, progress);
  } else {
    ExportBranch(engine, item ? item : root, mode, 0, progress);
  }
  return engine.EndText();
}
