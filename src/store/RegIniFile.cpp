#include "store/RegIniFile.h"

#include "store/FileSystem.h"
#include "store/LibUnit.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace {

// An environment path in CP932, or empty when unset, relative or not
// expressible (nothing could name it then).
std::string AbsoluteEnvPath(const char *name) {
  const char *v = std::getenv(name);
  std::string path;
  if (!v || v[0] != '/' || !fsys::FromNative(v, path))
    return {};
  return path;
}

std::string HomeDirectory() {
  std::string home = AbsoluteEnvPath("HOME");
  if (!home.empty())
    return home;
  if (const passwd *pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
    if (fsys::FromNative(pw->pw_dir, home))
      return home;
  return "/tmp";
}

} // namespace

std::string TRegIniFile::DefaultFileName() {
  std::string base = AbsoluteEnvPath("XDG_CONFIG_HOME");
  if (base.empty())
    base = AddPathSeparator(HomeDirectory()) + ".config";
  return AddPathSeparator(base) + "kem/Orvane/settings.ini";
}

TRegIniFile::TRegIniFile() : TRegIniFile(DefaultFileName()) {}

TRegIniFile::TRegIniFile(std::string_view fileName) : ini_(fileName) {}

// Settings are a convenience, and a destructor has no one to tell: callers
// that must know call UpdateFile themselves.
TRegIniFile::~TRegIniFile() { (void)UpdateFile(); }

std::string TRegIniFile::ReadString(std::string_view section, std::string_view name,
                                    std::string_view def) const {
  return ini_.ReadString(section, name, def);
}

int32_t TRegIniFile::ReadInteger(std::string_view section, std::string_view name,
                                 int32_t def) const {
  return ini_.ReadInteger(section, name, def);
}

bool TRegIniFile::ReadBool(std::string_view section, std::string_view name, bool def) const {
  return ini_.ReadBool(section, name, def);
}

void TRegIniFile::WriteString(std::string_view section, std::string_view name,
                              std::string_view value) {
  ini_.WriteString(section, name, value);
  dirty_ = true;
}

void TRegIniFile::WriteInteger(std::string_view section, std::string_view name, int32_t value) {
  WriteString(section, name, std::to_string(value));
}

void TRegIniFile::WriteBool(std::string_view section, std::string_view name, bool value) {
  WriteString(section, name, value ? "1" : "0");
}

bool TRegIniFile::ValueExists(std::string_view section, std::string_view name) const {
  return ini_.ValueExists(section, name);
}

std::vector<std::string> TRegIniFile::ReadSection(std::string_view section) const {
  return ini_.ReadSection(section);
}

void TRegIniFile::EraseSection(std::string_view section) {
  ini_.EraseSection(section);
  dirty_ = true;
}

void TRegIniFile::DeleteKey(std::string_view section, std::string_view name) {
  ini_.DeleteKey(section, name);
  dirty_ = true;
}

fsys::Status TRegIniFile::UpdateFile() {
  if (!dirty_)
    return {};
  std::string dir = ExtractFilePath(ini_.FileName());
  if (!dir.empty() && !fsys::DirectoryExists(dir))
    if (fsys::Status s = fsys::CreateDirectories(dir); !s)
      return s;
  if (fsys::Status s = ini_.UpdateFile(); !s)
    return s;
  dirty_ = false;
  return {};
}
