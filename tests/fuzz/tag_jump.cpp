// The tag-jump parser over any reference text, with a base directory that
// holds a few files: it never crashes, and what it returns names an existing
// file.
#include "FuzzSupport.h"

#include "engine/MemoJump.h"
#include "store/FileSystem.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::FdCheck fds;
  const std::string tag(fuzz::Bytes(data, size));
  fuzz::Scratch dir;
  for (const char *name : {"a.txt", "my file.txt", "notes-2024.txt", "x", "(1)"})
    fuzz::WriteBytes(dir.Path(name), "one\r\ntwo\r\n");

  TMemoJump jump;
  jump.BaseDirectory = dir.Dir();
  std::string fileName, keyWord;
  int line = 0, column = 1;
  const bool found = jump.ParseTagJump(tag, fileName, line, column, keyWord);
  if (found) {
    FUZZ_CHECK(fsys::FileExists(fileName));
  } else {
    FUZZ_CHECK(fileName.empty());
  }

  // The key search primitives over the same bytes.
  const std::string_view text(tag);
  const std::string_view key = text.substr(0, std::min<size_t>(3, text.size()));
  size_t at = TMemoJump::FindKey(text, key, size / 2, size);
  if (at != std::string_view::npos)
    FUZZ_CHECK(at + key.size() <= size && text.substr(at, key.size()) == key);
  for (size_t i = 0; i < size; i += TMemoJump::CharLength(text, i))
    FUZZ_CHECK(TMemoJump::CharLength(text, i) >= 1);

  return 0;
}
