#pragma once
// INI documents: MainTree.dat, shortcut files and the per-user settings file.
// CP932 bytes with CR LF, values kept as bytes. Section and key names compare
// without regard to ASCII case (double-byte characters compare exactly).
//
// Writing follows the classic profile writer, so that a file built key by key
// has a fixed layout: an existing key is replaced in place, a new key goes at
// the end of its section, a new section at the end of the file, with no blank
// lines and no spaces ("[Root]\r\nLastIndex=12\r\n[Window]\r\nTop=50\r\n").
//
// Reading is tolerant of files written by hand or by other programs: blank
// lines and ';' comments are skipped, spaces around keys and around '=' are
// trimmed, a line without '=' is ignored, the first of duplicate keys (and of
// duplicate sections) wins, UTF-8 byte-order marks are skipped, and a value in
// a matching pair of single or double quotes loses that pair. Such lines are
// kept as they are when the document is written back.
//
// The whole document lives in memory; lookups are hashed, so documents with
// tens of thousands of sections, or sections with tens of thousands of keys,
// stay fast. Nothing touches the disk until Load, UpdateFile or SaveToFile.
#include "store/FileSystem.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TIniFile {
public:
  TIniFile() = default;
  // Reads the file when it exists; a missing file gives an empty document
  // that is written to `fileName` by UpdateFile. So does an unreadable one
  // (a directory, a FIFO, no read permission), but UpdateFile then refuses
  // with the read's failure: what could not be read is not replaced.
  explicit TIniFile(std::string_view fileName);

  const std::string &FileName() const { return fileName_; }
  // Replaces the document by the file's content; what failed (and an empty
  // document) when the file cannot be read.
  fsys::Status Load(std::string_view fileName);
  void Parse(std::string_view bytes);
  void Clear();

  // The exact bytes the file gets.
  std::string Serialize() const;
  // Crash-safe write of the whole document to FileName() or to `path`; what
  // failed when writing failed (the old file is intact). UpdateFile also
  // fails, writing nothing, when the last Load failed on a file that is
  // there.
  fsys::Status UpdateFile() const;
  fsys::Status SaveToFile(std::string_view path) const;

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  // The value, or null when the key is missing. Valid until the next write.
  const std::string *Find(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const;
  // Optionally signed decimal that fits 32 bits; anything else gives `def`.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
  // An integer other than 0 is true; a missing or non-integer value gives `def`.
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;

  // Line breaks in names or values would split the line and could forge
  // other keys; they are written as spaces. A value that would not read back
  // as written (surrounding spaces, or enclosed in matching quotes) is put in
  // a pair of double quotes, which the reader takes off again.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

  // Section names in file order (each name once); key names of a section.
  std::vector<std::string> ReadSections() const;
  std::vector<std::string> ReadSection(std::string_view section) const;
  void EraseSection(std::string_view section);
  void DeleteKey(std::string_view section, std::string_view key);

  // Names compare without regard to ASCII case; double-byte characters
  // (whose trail bytes may look like letters) compare exactly.
  static bool SameName(std::string_view a, std::string_view b);
  struct NameHash {
    size_t operator()(std::string_view name) const;
  };
  struct NameEqual {
    bool operator()(std::string_view a, std::string_view b) const { return SameName(a, b); }
  };

  // A section looked up once for many reads (loading a big tree file); null
  // when missing. Valid until the next write.
  class Section;
  const Section *GetSection(std::string_view section) const;
  const std::string *Find(const Section *section, std::string_view key) const;
  int32_t ReadInteger(const Section *section, std::string_view key, int32_t def) const;
  bool ReadBool(const Section *section, std::string_view key, bool def) const;
  // The same for writing many keys (saving a big tree file): the section is
  // found, or appended, once. Valid until a section is erased.
  Section *OpenSection(std::string_view section);
  void WriteString(Section *section, std::string_view key, std::string_view value);
  void WriteBool(Section *section, std::string_view key, bool value);
  // Every section in file order, for one pass over a big file without a
  // look-up per name (a name written twice comes twice).
  template <class F> void ForEachSection(F &&f) const {
    for (const Section &section : sections_)
      f(section);
  }
  size_t SectionCount() const { return sections_.size(); }
  // A copy of `section` (of this or another document), every line as read,
  // as a new last section: a section kept as it was by a writer that does
  // not know it.
  void AppendSection(const Section &section);
  // For a reader done with `section`: its lines go, its name stays found.
  void ReleaseKeys(const Section &section);
  // Room for this many sections without rehashing.
  void Reserve(size_t sections) { sectionIndex_.reserve(sections); }

  class Section {
  public:
    // Place among the sections in file order (duplicates counted): an index
    // for tables kept beside the document. Valid until a section is erased.
    size_t Ordinal() const { return ordinal; }
    const std::string &Name() const { return name; }

  private:
    friend class TIniFile;
    // A key line, or (key empty) any other line kept verbatim in `value`.
    struct Line {
      std::string key;
      std::string value;
    };
    std::string name;
    std::vector<Line> lines;
    size_t keyCount = 0;
    size_t ordinal = 0;
    // Lower-cased key -> line, built once a section holds many keys.
    std::unique_ptr<std::unordered_map<std::string, size_t>> index;
    // Line of the first key named `key`, or npos.
    size_t FindKey(std::string_view key) const;
    void Added(size_t line);
    void RebuildIndex();
  };

private:
  Section *FindSection(std::string_view section) const;
  Section &AddSection(std::string_view name);
  void RebuildSectionIndex();

  std::string fileName_;
  fsys::Status loadFailure_;          // the last Load's, unless the file was missing
  std::vector<std::string> preamble_; // lines before the first section
  std::deque<Section> sections_;      // stable addresses while sections are added
  // Name (a view of the section's own name) -> the first section so named.
  std::unordered_map<std::string_view, Section *, NameHash, NameEqual> sectionIndex_;
};
