// The item file reader over any bytes: header and text parse the same from
// memory and from a file on disk, and what is read, stored again, reads back
// as stored (nothing of a user's item changes by opening and saving it).
#include "FuzzSupport.h"

#include "store/NodeFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::FdCheck fds;
  const std::string_view bytes = fuzz::Bytes(data, size);

  TNodeFiles parsed;
  TStringList warnings;
  parsed.ParseHeader(bytes, &warnings);
  parsed.ParseBody(bytes);
  FUZZ_CHECK(parsed.BodyOffset >= 0 && static_cast<size_t>(parsed.BodyOffset) <= size);

  {
    fuzz::Scratch dir;
    // Fields the file lacks keep their defaults; copying them (the update
    // time above all) keeps the comparison to what the file says.
    TNodeFiles opened = parsed;
    opened.Body.clear();
    opened.FilePath = dir.Path("20240101000000_0.txt");
    fuzz::WriteBytes(opened.FilePath, bytes);
    TStringList openWarnings;
    FUZZ_CHECK(opened.Open(true, &openWarnings));
    FUZZ_CHECK(opened.Serialize() == parsed.Serialize());
    FUZZ_CHECK(openWarnings.size() == warnings.size());

    TNodeFiles headerOnly = parsed;
    headerOnly.FilePath = opened.FilePath;
    FUZZ_CHECK(headerOnly.Open(false) && headerOnly.Body.empty());
  }

  const std::string stored = parsed.Serialize();
  TNodeFiles again = parsed;
  again.Body.clear();
  TStringList againWarnings;
  again.ParseHeader(stored, &againWarnings);
  again.ParseBody(stored);
  FUZZ_CHECK(againWarnings.empty());
  FUZZ_CHECK(again.Title == parsed.Title && again.Author == parsed.Author);
  FUZZ_CHECK(again.AttachFiles == parsed.AttachFiles);
  FUZZ_CHECK(again.Line == parsed.Line && again.Column == parsed.Column);
  FUZZ_CHECK(again.Body.size() == parsed.Body.size());
  FUZZ_CHECK(again.Serialize() == stored);

  return 0;
}
