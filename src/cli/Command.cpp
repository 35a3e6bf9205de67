#include "cli/Command.h"

#include "store/Codec.h"
#include "store/FileSystem.h"
#include "store/Project.h"
#include "store/ProjectCheck.h"

#include <algorithm>
#include <ostream>

namespace cli {

namespace {

// The project a command leaves to the end of the process: reachable, so that
// a leak checker does not count it.
TProject *g_leftToExit = nullptr;

} // namespace

bool AsksForHelp(const std::vector<std::string> &args) {
  for (const std::string &a : args) {
    if (a == "--")
      break;
    if (a == "--help" || a == "-h")
      return true;
  }
  return false;
}

bool ParseArguments(const Command &command, const std::vector<std::string> &args, Call &call) {
  bool more = true;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &a = args[i];
    if (more && a == "--") {
      more = false;
      continue;
    }
    if (!more || a.size() < 2 || a[0] != '-') {
      call.operands.push_back(a);
      continue;
    }
    const auto known = std::find_if(command.options.begin(), command.options.end(),
                                    [&](const Option &o) { return a == o.name; });
    if (known == command.options.end()) {
      call.err << "orvane-cli " << command.name << ": unknown option '" << Escape(a) << "'\n";
      return false;
    }
    if (known->takesValue && i + 1 >= args.size()) {
      call.err << "orvane-cli " << command.name << ": option " << a << " needs a value\n";
      return false;
    }
    call.options.emplace_back(a, known->takesValue ? args[++i] : std::string());
  }
  return true;
}

// Every item stays on one line and the text can be told back exactly.
std::string Escape(std::string_view utf8) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(utf8.size());
  auto hex = [&](const char *prefix, unsigned v) {
    out += prefix;
    out += kHex[(v >> 4) & 0xF];
    out += kHex[v & 0xF];
  };
  for (size_t i = 0; i < utf8.size();) {
    unsigned char b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x20 || b == 0x7F) {
      hex("\\x", b);
      ++i;
      continue;
    }
    if (b == '\\') {
      out += "\\\\";
      ++i;
      continue;
    }
    if (b < 0x80) {
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    // A well-formed multi-byte sequence is copied; anything else is escaped.
    size_t len = (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    bool good = len >= 2 && i + len <= utf8.size() && b >= 0xC2 && b <= 0xF4;
    for (size_t k = 1; good && k < len; ++k)
      good = (static_cast<unsigned char>(utf8[i + k]) & 0xC0) == 0x80;
    if (!good) {
      hex("\\x", b);
      ++i;
      continue;
    }
    if (b == 0xC2 && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
      hex("\\u00", static_cast<unsigned char>(utf8[i + 1])); // U+0080..U+009F
      i += 2;
      continue;
    }
    out.append(utf8.substr(i, len));
    i += len;
  }
  return out;
}

std::string Show(std::string_view cp932Text) { return Escape(cp932::ToUtf8(cp932Text)); }

bool ArgPath(const std::string &arg, std::string &out, std::ostream &err) {
  if (fsys::FromNative(arg, out))
    return true;
  err << "orvane-cli: " << Escape(arg) << ": the path cannot be written in Shift-JIS\n";
  return false;
}

bool LoadProject(const std::string &arg, TProject &project, std::ostream &err, TLoadMode mode) {
  std::string dir;
  if (!ArgPath(arg, dir, err))
    return false;
  if (!fsys::DirectoryExists(dir)) {
    err << "orvane-cli: " << Escape(arg) << ": no such directory\n";
    return false;
  }
  std::string treeFile = TProject::TreeFilePath(dir);
  if (!TProject::IsProjectDirectory(dir)) {
    err << "orvane-cli: " << Escape(arg) << ": not a project (" << Show(treeFile)
        << " is missing)\n";
    return false;
  }
  project.Tree().LoadMode = mode;
  const TLoadReport report = project.Load(dir);
  const std::vector<TFinding> found = LoadFindings(report);
  // The header values are told even when the root cannot be read.
  auto header = std::partition_point(found.begin(), found.end(), [](const TFinding &f) {
    return f.kind == TFinding::Kind::HeaderValue;
  });
  for (auto f = found.begin(); f != header; ++f)
    err << "warning: " << Show(f->text) << "\n";
  if (!report.RootLoaded) {
    err << "orvane-cli: " << Escape(arg) << ": not a project (the root item file \""
        << Show(project.WindowData().RootFileName) << "\" cannot be read)\n";
    return false;
  }
  for (auto f = header; f != found.end(); ++f)
    err << "warning: " << Show(f->text) << "\n";
  return true;
}

CommandProject::CommandProject(const Call &call, TLoadMode mode)
    : CommandProject(call, mode, call.err) {}

CommandProject::CommandProject(const Call &call, TLoadMode mode, std::ostream &warnings)
    : project_(new TProject), exitsAfter_(call.exitsAfter),
      loaded_(LoadProject(call.operands[0], *project_, warnings, mode)) {}

CommandProject::~CommandProject() {
  if (!exitsAfter_) {
    delete project_;
    return;
  }
  delete g_leftToExit; // null but for a second command in one process
  g_leftToExit = project_;
}

Buffered::Buffered(std::ostream &out) : out_(out) { text_.reserve(kPiece + 4096); }

void Buffered::Flush() {
  out_.write(text_.data(), static_cast<std::streamsize>(text_.size()));
  text_.clear();
}

} // namespace cli
