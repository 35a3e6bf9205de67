#pragma once
// How a project's editor window looked and a few per-project values, kept in
// the project's MainTree.dat next to the tree (sections "Root", "Window",
// "Font", "Header", "AttachWin").
#include "store/FileSystem.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

class TIniFile;

class TWindowData {
public:
  static constexpr int kSectionCount = 7;

  std::string RootFileName;
  int32_t Top = 50;
  int32_t Left = 50;
  int32_t Width = 630; // a file without the key reads 615
  int32_t Height = 420;
  int32_t TreeWidth = 150;
  std::string FontName = "Terminal";
  int32_t FontSize = 10;
  bool WordWrap = false;
  bool HideForm = false;
  bool AutoSave = false;
  bool ShowHint = true;
  bool DefaultColor = false;
  std::array<int32_t, kSectionCount> SectionWidths{100, 40, 80, 60, 130, 60, 130};
  int32_t AttachTop = 228;
  int32_t AttachLeft = 182;
  int32_t AttachWidth = 458;
  int32_t AttachHeight = 206;
  int32_t AttachSortType = 3;
  // The item counter: 64 bits, so it never wraps to a negative ID. New IDs
  // come from TProjectTree::NextItemID, which also skips IDs in use.
  int64_t LastIndex = 0;
  std::string LastNode;
  std::string TagHeader;
  std::string TagFooter;

  // Every field from the file; a missing file, key or non-integer value gives
  // that key's default.
  void ReadSettings(std::string_view treeFilePath);
  void ReadSettings(const TIniFile &ini);
  // Every key but "FileName" and "LastNode" of "Root" (the tree writes those),
  // in the fixed order that lays out a new file. The path form updates the
  // file in place; what failed when it cannot be written.
  fsys::Status WriteSettings(std::string_view treeFilePath) const;
  void WriteSettings(TIniFile &ini) const;

  void NextIndex() { ++LastIndex; }
  // Index 0 to 6; other indexes read 0 and write nothing.
  int32_t GetSectionWidth(int index) const;
  void SetSectionWidth(int index, int32_t width);
};
