#include "export/Exchange.h"

#include "export/ExportText.h"
#include "store/Codec.h"
#include "store/LibUnit.h"
#include "store/Project.h"

#include <cerrno>
#include <optional>
#include <set>
#include <vector>

namespace {

std::string J(std::string_view utf8) { return cp932::FromUtf8(utf8).bytes; }

// "ファイル" and the exchange file's path in double quotes: the messages name
// the file the user chose.
std::string FileQuoted(std::string_view path) {
  return J("ファイル") + "\"" + std::string(path) + "\"";
}

// The lines of a file read a piece at a time: memory holds one piece and the
// line being read, whatever the file's size.
class LineStream {
public:
  explicit LineStream(fsys::FileReader &reader) : reader_(reader) {}

  // The next line without its line end (valid until the next call); false at
  // the end of the file or when reading failed (see Status()).
  bool Next(std::string_view &line) {
    for (;;) {
      const size_t n = buf_.size();
      size_t e = scan_;
      while (e < n && buf_[e] != '\r' && buf_[e] != '\n')
        ++e;
      scan_ = e;
      // A CR as the last byte read may be the first half of a CR LF.
      if (e < n && (buf_[e] == '\n' || e + 1 < n || eof_)) {
        line = std::string_view(buf_).substr(pos_, e - pos_);
        pos_ = e + ((buf_[e] == '\r' && e + 1 < n && buf_[e + 1] == '\n') ? 2 : 1);
        scan_ = pos_;
        return true;
      }
      if (eof_) {
        if (pos_ >= n)
          return false;
        line = std::string_view(buf_).substr(pos_);
        pos_ = scan_ = n;
        return true;
      }
      buf_.erase(0, pos_);
      scan_ -= pos_;
      pos_ = 0;
      const size_t old = buf_.size();
      buf_.resize(old + kPiece);
      size_t got = 0;
      status_ = reader_.Read(buf_.data() + old, kPiece, got);
      buf_.resize(old + got);
      if (!status_)
        return false;
      if (got == 0)
        eof_ = true;
    }
  }
  const fsys::Status &Status() const { return status_; }

private:
  static constexpr size_t kPiece = 1 << 20;
  fsys::FileReader &reader_;
  std::string buf_;
  size_t pos_ = 0;  // start of the next line
  size_t scan_ = 0; // bytes before this hold no line end of the next line
  bool eof_ = false;
  fsys::Status status_;
};

// `s` without its first `count` characters (a double-byte character counts
// as one, so no name starts with half a character).
std::string_view SkipChars(std::string_view s, int count) {
  size_t i = 0;
  for (int k = 0; k < count && i < s.size(); ++k)
    i += (cp932::IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
  return s.substr(i);
}

TImportResult Fail(TImportResult r, TImportResult::Outcome outcome, std::string message) {
  r.Result = outcome;
  r.Message = std::move(message);
  return r;
}

TImportResult BadRequest() {
  return Fail(TImportResult{}, TImportResult::BadRequest,
              J("エクスポートされたファイルが見つからないか、プロジェクト名が不正です"));
}

TImportResult Unpack(TImportResult r, LineStream &lines, std::string_view exchangeFile,
                     const std::string &target, std::set<std::string> &written);

TImportResult Import(std::string_view exchangeFile, std::string_view targetDir,
                     std::string_view projectName) {
  TImportResult r;
  const std::string target = AddPathSeparator(targetDir);
  r.TargetDir = target;
  const std::string notCreated =
      J("プロジェクト") + "\"" + std::string(projectName) + "\"" + J("が作成できませんでした");

  fsys::FileReader reader;
  if (fsys::Status s = reader.Open(exchangeFile); !s) {
    r.Failure = s;
    return Fail(r, TImportResult::CannotRead, FileQuoted(exchangeFile) + J("が読み込めません"));
  }
  LineStream lines(reader);
  auto readFailed = [&]() {
    r.Failure = lines.Status();
    return Fail(r, TImportResult::CannotRead, FileQuoted(exchangeFile) + J("が読み込めません"));
  };

  // The header first, so that a file of something else leaves nothing behind.
  std::string_view line;
  if (!lines.Next(line) || line != TExportText::kExchangeHeader) {
    if (!lines.Status())
      return readFailed();
    return Fail(r, TImportResult::NotExchangeFile,
                FileQuoted(exchangeFile) + J("はOrvaneのデータではありません"));
  }

  // A new or empty directory only: an import never writes into a project.
  const std::string bare = RemovePathSeparator(target);
  fsys::Entry e;
  if (fsys::Stat(bare, e)) {
    if (e.isSymlink || !e.isDirectory) {
      r.Failure = fsys::Status{"mkdir", bare, e.isSymlink ? ELOOP : ENOTDIR};
      return Fail(r, TImportResult::CannotCreateDir, notCreated);
    }
    std::vector<fsys::Entry> entries;
    if (fsys::Status s = fsys::ListDirectory(bare, entries); !s) {
      r.Failure = s;
      return Fail(r, TImportResult::CannotCreateDir, notCreated);
    }
    if (!entries.empty())
      return Fail(r, TImportResult::TargetNotEmpty,
                  J("フォルダ") + "\"" + bare + "\"" +
                      J("にはすでにファイルがあります。インポートには新しいフォルダか空のフォル"
                        "ダを指定して下さい"));
  }
  const bool madeDir = !fsys::Exists(bare);
  if (fsys::Status s = fsys::CreateDirectories(bare); !s || !fsys::DirectoryExists(bare)) {
    r.Failure = s ? fsys::Status{"mkdir", bare, ENOTDIR} : s;
    return Fail(r, TImportResult::CannotCreateDir, notCreated);
  }
  std::set<std::string> written; // names, as the file system compares them
  r = Unpack(r, lines, exchangeFile, target, written);
  if (!r.ok()) {
    // No half project stays behind: what this import wrote goes again, and
    // the folder too when the import made it.
    for (const std::string &name : written)
      if (!fsys::DeleteFile(target + name) && fsys::Exists(target + name))
        ++r.FilesLeft;
    if (madeDir && r.FilesLeft == 0)
      (void)fsys::RemoveDirectory(bare);
  }
  return r;
}

TImportResult Unpack(TImportResult r, LineStream &lines, std::string_view exchangeFile,
                     const std::string &target, std::set<std::string> &written) {
  auto readFailed = [&]() {
    r.Failure = lines.Status();
    return Fail(r, TImportResult::CannotRead, FileQuoted(exchangeFile) + J("が読み込めません"));
  };
  const std::string bare = RemovePathSeparator(target);

  fsys::BatchWrites batch; // thousands of new files: one flush at the end
  fsys::WriteOptions options;
  options.withinDir = target;
  auto write = [&](const std::string &name, const std::string &content) {
    const std::string path = target + name;
    fsys::Entry existing;
    fsys::Status s;
    // (A link that leads nowhere is refused by WriteFile itself.)
    if (fsys::Stat(path, existing) && existing.isSymlink)
      s = fsys::Status{"write", path, ELOOP};
    else
      s = fsys::WriteFile(path, content, options);
    if (!s) {
      if (fsys::Exists(path)) // in place, only its flush failed: it goes with the rest
        written.insert(name);
      r.Failure = s;
      r.StoppedAt = name;
      r = Fail(r, TImportResult::CannotWrite,
               J("ファイル") + "\"" + path + "\"" + J("が作成できません"));
      return false;
    }
    ++r.FilesWritten;
    written.insert(name);
    return true;
  };
  // The tree file is written last, once every item file is on disk: an
  // import that stops part way (a full disk, a kill) must not leave a
  // directory that opens as a project with items missing.
  std::optional<std::string> treeFile;
  std::string treeContent;
  bool inBlock = false;
  std::string first;   // the block's first line
  int64_t firstAt = 0; // its index
  std::string content; // the rest, each line with CR LF
  std::string_view line;
  for (int64_t index = 1; lines.Next(line); ++index) {
    if (line.empty() || line[0] != '\f') {
      if (!inBlock) {
        first.assign(line);
        firstAt = index;
        inBlock = true;
      } else {
        content.append(line);
        content += "\r\n";
      }
      continue;
    }
    if (!inBlock || first.find("FileName:") == std::string::npos) {
      r.Line = index;
      return Fail(r, TImportResult::BadFormat,
                  FileQuoted(exchangeFile) + J("に不正なフォーマットが含まれています") + "\r\n" +
                      std::to_string(index) + J("行"));
    }
    const std::string name(SkipChars(first, 9));
    if (!IsPlainImportName(name)) {
      r.Line = firstAt;
      r.StoppedAt = name;
      return Fail(r, TImportResult::BadFileName,
                  FileQuoted(exchangeFile) + J("に不正なファイル名が含まれています") + "\r\n" +
                      std::to_string(firstAt) + J("行"));
    }
    // A second block of a name would overwrite the first one's file: the
    // exchange file is cut or made by hand (an item line that began with a
    // form feed, from an older export), and would not come back as it went.
    if (written.count(name) || (treeFile && name == *treeFile)) {
      r.Line = firstAt;
      r.StoppedAt = name;
      return Fail(r, TImportResult::DuplicateName,
                  FileQuoted(exchangeFile) + J("に同じファイル名のブロックが二つあります") +
                      "\r\n" + name + "\r\n" + std::to_string(firstAt) + J("行"));
    }
    if (name == TProject::kTreeFileName) {
      treeFile = name;
      treeContent = std::move(content);
    } else if (!write(name, content))
      return r;
    inBlock = false;
    content.clear();
  }
  if (!lines.Status())
    return readFailed();
  // A disk that failed to store what it took says so only at the flush.
  if (fsys::Status s = batch.Finish(); !s) {
    r.Failure = s;
    return Fail(r, TImportResult::CannotWrite,
                J("ファイル") + "\"" + bare + "\"" + J("が作成できません"));
  }
  if (treeFile && !write(*treeFile, treeContent))
    return r;
  r.Result = TImportResult::Imported;
  r.Message = J("インポートが完了しました");
  return r;
}

} // namespace

bool IsPlainImportName(std::string_view name) {
  if (name.empty() || name == "." || name == "..")
    return false;
  for (size_t i = 0; i < name.size();) {
    unsigned char b = static_cast<unsigned char>(name[i]);
    // Only a real trail byte belongs to the character: after a lead byte a
    // '/' or a NUL is still itself.
    const unsigned char t = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
    if (cp932::IsLeadByte(b) && ((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC))) {
      i += 2;
      continue;
    }
    if (b == '/' || b == '\\' || b == '\0')
      return false;
    ++i;
  }
  return true;
}

TImportResult ImportExchangeFile(std::string_view exchangeFile, std::string_view importRoot,
                                 std::string_view projectName) {
  if (!IsPlainImportName(projectName) || !fsys::FileExists(exchangeFile))
    return BadRequest();
  return Import(exchangeFile, AddPathSeparator(importRoot) + std::string(projectName), projectName);
}

TImportResult ImportExchangeFileInto(std::string_view exchangeFile, std::string_view targetDir) {
  const std::string bare = RemovePathSeparator(targetDir);
  if (bare.empty() || !fsys::FileExists(exchangeFile))
    return BadRequest();
  return Import(exchangeFile, bare, ExtractFileName(bare));
}
