#pragma once
// The program's per-user settings: one INI file, by default
// $XDG_CONFIG_HOME/kem/Orvane/settings.ini ($XDG_CONFIG_HOME defaults to
// ~/.config). Sections play the part of subkeys ("Window", "Main",
// "restoration"); values are read and written by section and name, with
// defaults, like the INI documents of projects.
//
// Writes change the document in memory; UpdateFile (or destruction) writes
// the file, crash-safe, creating its directory when needed.
#include "store/IniFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TRegIniFile {
public:
  // The default settings file of this user (CP932 path).
  TRegIniFile();
  explicit TRegIniFile(std::string_view fileName);
  // Writes pending changes; a failure here is not reported (use UpdateFile).
  ~TRegIniFile();
  TRegIniFile(const TRegIniFile &) = delete;
  TRegIniFile &operator=(const TRegIniFile &) = delete;

  // $XDG_CONFIG_HOME/kem/Orvane/settings.ini. A relative or empty
  // $XDG_CONFIG_HOME is ignored, as the XDG rules say.
  static std::string DefaultFileName();

  const std::string &FileName() const { return ini_.FileName(); }

  std::string ReadString(std::string_view section, std::string_view name,
                         std::string_view def) const;
  int32_t ReadInteger(std::string_view section, std::string_view name, int32_t def) const;
  bool ReadBool(std::string_view section, std::string_view name, bool def) const;
  void WriteString(std::string_view section, std::string_view name, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view name, int32_t value);
  void WriteBool(std::string_view section, std::string_view name, bool value);

  bool SectionExists(std::string_view section) const { return ini_.SectionExists(section); }
  bool ValueExists(std::string_view section, std::string_view name) const;
  std::vector<std::string> ReadSection(std::string_view section) const;
  void EraseSection(std::string_view section);
  void DeleteKey(std::string_view section, std::string_view name);

  // Writes the file if anything changed; what failed when it could not be
  // written (the changes stay pending).
  fsys::Status UpdateFile();

private:
  TIniFile ini_;
  bool dirty_ = false;
};
