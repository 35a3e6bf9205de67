// The INI reader over any bytes: a document read and written again gives
// every value back, a file on disk reads as the same bytes in memory, and a
// value the program writes reads back as written.
#include "FuzzSupport.h"

#include "store/Codec.h"
#include "store/IniFile.h"

namespace {

// What WriteString keeps of a value: line breaks become spaces.
std::string OneLine(std::string_view v) {
  std::string r(v);
  for (char &c : r)
    if (c == '\r' || c == '\n')
      c = ' ';
  return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::FdCheck fds;
  const std::string_view bytes = fuzz::Bytes(data, size);

  TIniFile ini;
  ini.Parse(bytes);
  const std::string written = ini.Serialize();

  TIniFile again;
  again.Parse(written);
  // "[" + a name ending in a lone lead byte + "]" reads as a name ending in
  // the character "lead byte + ']'": such a name (never one of the
  // program's) cannot be written unambiguously, and may then meet another
  // section's name. Documents with one are only read, not compared.
  bool ambiguous = false;
  for (const std::string &section : ini.ReadSections()) {
    const size_t last = cp932::LastCharStart(section);
    ambiguous |= last != std::string::npos && last + 1 == section.size() &&
                 cp932::IsLeadByte(static_cast<unsigned char>(section[last]));
  }
  for (const std::string &section : ini.ReadSections()) {
    FUZZ_CHECK(ambiguous || again.SectionExists(section));
    for (const std::string &key : ini.ReadSection(section)) {
      const std::string *before = ini.Find(section, key);
      const std::string *after = again.Find(section, key);
      FUZZ_CHECK(before && (ambiguous || (after && *before == *after)));
      (void)ini.ReadInteger(section, key, 7);
      (void)ini.ReadBool(section, key, true);
    }
  }
  if (!ambiguous)
    FUZZ_CHECK(again.Serialize() == written);

  {
    fuzz::Scratch dir;
    const std::string path = dir.Path("MainTree.dat");
    fuzz::WriteBytes(path, bytes);
    TIniFile loaded;
    FUZZ_CHECK(loaded.Load(path));
    FUZZ_CHECK(loaded.Serialize() == written);
  }

  // A value of the program's (a title, an author) into the fuzzed document.
  const std::string_view value = bytes.substr(0, 256);
  ini.WriteString("Window", "Title", value);
  ini.WriteString("Root-C00001", "FileName", value);
  TIniFile back;
  back.Parse(ini.Serialize());
  FUZZ_CHECK(back.ReadString("Window", "Title", "?") == OneLine(value));
  FUZZ_CHECK(back.ReadString("Root-C00001", "FileName", "?") == OneLine(value));

  return 0;
}
