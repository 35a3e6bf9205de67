#include "store/WindowData.h"

#include "store/IniFile.h"
#include "store/NodeFiles.h"

namespace {
constexpr std::array<int32_t, TWindowData::kSectionCount> kSectionDefaults{100, 40, 80, 60,
                                                                           130, 60, 130};
std::string SectionKey(int i) { return "Section" + std::to_string(i); }

// A decimal of up to 64 bits; anything else gives `def`.
int64_t ReadInt64(const TIniFile &ini, std::string_view section, std::string_view key,
                  int64_t def) {
  const std::string *v = ini.Find(section, key);
  int64_t n;
  return v && ParseInt64(*v, n) ? n : def;
}
} // namespace

void TWindowData::ReadSettings(std::string_view treeFilePath) {
  ReadSettings(TIniFile(treeFilePath));
}

void TWindowData::ReadSettings(const TIniFile &ini) {
  RootFileName = ini.ReadString("Root", "FileName", "");
  LastIndex = ReadInt64(ini, "Root", "LastIndex", 10);
  LastNode = ini.ReadString("Root", "LastNode", "");
  Top = ini.ReadInteger("Window", "Top", 50);
  Left = ini.ReadInteger("Window", "Left", 50);
  Width = ini.ReadInteger("Window", "Width", 615);
  Height = ini.ReadInteger("Window", "Height", 420);
  TreeWidth = ini.ReadInteger("Window", "TreeWidth", 150);
  WordWrap = ini.ReadBool("Window", "WordWrap", false);
  HideForm = ini.ReadBool("Window", "HideForm", false);
  AutoSave = ini.ReadBool("Window", "AutoSave", false);
  DefaultColor = ini.ReadBool("Window", "DefaultColor", false);
  ShowHint = ini.ReadBool("Window", "ShowHint", true);
  FontName = ini.ReadString("Font", "FileTextName", "Terminal");
  FontSize = ini.ReadInteger("Font", "FileTextSize", 10);
  for (int i = 0; i < kSectionCount; ++i)
    SectionWidths[i] = ini.ReadInteger("Header", SectionKey(i), kSectionDefaults[i]);
  AttachTop = ini.ReadInteger("AttachWin", "Top", 228);
  AttachLeft = ini.ReadInteger("AttachWin", "Left", 182);
  AttachWidth = ini.ReadInteger("AttachWin", "Width", 458);
  AttachHeight = ini.ReadInteger("AttachWin", "Height", 206);
  AttachSortType = ini.ReadInteger("AttachWin", "SortType", 3);
  TagHeader = ini.ReadString("Root", "TagHeader", "");
  TagFooter = ini.ReadString("Root", "TagFooter", "");
}

fsys::Status TWindowData::WriteSettings(std::string_view treeFilePath) const {
  TIniFile ini(treeFilePath);
  WriteSettings(ini);
  return ini.UpdateFile();
}

void TWindowData::WriteSettings(TIniFile &ini) const {
  ini.WriteString("Root", "LastIndex", std::to_string(LastIndex));
  ini.WriteInteger("Window", "Top", Top);
  ini.WriteInteger("Window", "Left", Left);
  ini.WriteInteger("Window", "Width", Width);
  ini.WriteInteger("Window", "Height", Height);
  ini.WriteInteger("Window", "TreeWidth", TreeWidth);
  ini.WriteBool("Window", "WordWrap", WordWrap);
  ini.WriteBool("Window", "HideForm", HideForm);
  ini.WriteBool("Window", "AutoSave", AutoSave);
  ini.WriteBool("Window", "DefaultColor", DefaultColor);
  ini.WriteBool("Window", "ShowHint", ShowHint);
  ini.WriteString("Font", "FileTextName", FontName);
  ini.WriteInteger("Font", "FileTextSize", FontSize);
  for (int i = 0; i < kSectionCount; ++i)
    ini.WriteInteger("Header", SectionKey(i), SectionWidths[i]);
  ini.WriteInteger("AttachWin", "Top", AttachTop);
  ini.WriteInteger("AttachWin", "Left", AttachLeft);
  ini.WriteInteger("AttachWin", "Width", AttachWidth);
  ini.WriteInteger("AttachWin", "Height", AttachHeight);
  ini.WriteString("Root", "TagHeader", TagHeader);
  ini.WriteString("Root", "TagFooter", TagFooter);
  ini.WriteInteger("AttachWin", "SortType", AttachSortType);
}

int32_t TWindowData::GetSectionWidth(int index) const {
  return index >= 0 && index < kSectionCount ? SectionWidths[index] : 0;
}

void TWindowData::SetSectionWidth(int index, int32_t width) {
  if (index >= 0 && index < kSectionCount)
    SectionWidths[index] = width;
}
