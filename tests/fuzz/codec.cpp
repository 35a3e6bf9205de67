// The codec over any bytes. CP932 -> UTF-8 never fails and never loses:
// encoding the decoded text gives the same bytes back, every character
// mappable (raw bytes come back from their private code points, duplicate
// codes from their variation selectors). The other way, any UTF-8 encodes
// without crashing, each unmappable character is reported with a '?' in its
// place, and what did encode is itself a fixed point of the round trip.
#include "FuzzSupport.h"

#include "store/Codec.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string_view bytes = fuzz::Bytes(data, size);

  const std::string utf8 = cp932::ToUtf8(bytes);
  const cp932::Encoded back = cp932::FromUtf8(utf8);
  FUZZ_CHECK(back.ok());
  FUZZ_CHECK(back.bytes == bytes);

  const cp932::Encoded enc = cp932::FromUtf8(bytes);
  FUZZ_CHECK(static_cast<size_t>(std::count(enc.bytes.begin(), enc.bytes.end(), '?')) >=
             enc.unmappable.size());
  const cp932::Encoded again = cp932::FromUtf8(cp932::ToUtf8(enc.bytes));
  FUZZ_CHECK(again.ok() && again.bytes == enc.bytes);

  // The character walks agree with each other.
  const size_t last = cp932::LastCharStart(bytes);
  FUZZ_CHECK((last == std::string_view::npos) == bytes.empty());
  if (!bytes.empty())
    FUZZ_CHECK(last < size && cp932::LastCharIs(bytes, bytes[last]) == (last == size - 1));
  FUZZ_CHECK(cp932::LowerAscii(bytes).size() == size);
  return 0;
}
