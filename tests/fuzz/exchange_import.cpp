// The exchange import over any file: into a fresh directory inside a fresh
// parent, it writes nothing outside that directory, only plain files directly
// in it, one per block, and its report agrees with what is on disk: a failed
// import leaves nothing behind.
#include "FuzzSupport.h"

#include "export/Exchange.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::FdCheck fds;
  const std::string_view bytes = fuzz::Bytes(data, size);
  fuzz::Scratch parent;
  const std::string exchange = parent.Path("project.exc");
  fuzz::WriteBytes(exchange, bytes);
  // A neighbour that an escaping name could hit.
  fuzz::WriteBytes(parent.Path("MainTree.dat"), "[Root]\r\nFileName=a.txt\r\n");
  const std::string target = parent.Path("imported");
  const auto before = fuzz::Snapshot(parent.Dir());

  const TImportResult r = ImportExchangeFileInto(exchange, target);

  auto after = fuzz::Snapshot(parent.Dir());
  size_t files = 0;
  for (auto it = after.begin(); it != after.end();) {
    if (it->first.rfind("imported/", 0) == 0) {
      const std::string name = it->first.substr(9);
      FUZZ_CHECK(name.find('/') == std::string::npos); // nothing in subdirectories
      FUZZ_CHECK(S_ISREG(std::stoul(it->second)));
      ++files;
      it = after.erase(it);
    } else {
      ++it;
    }
  }
  if (after.count("imported")) {
    FUZZ_CHECK(S_ISDIR(std::stoul(after["imported"])));
    after.erase("imported");
  }
  FUZZ_CHECK(after == before);
  FUZZ_CHECK(files <= static_cast<size_t>(r.FilesWritten));
  FUZZ_CHECK(r.FilesWritten >= 0);
  if (r.ok())
    FUZZ_CHECK(r.Failure.ok());
  // No block overwrote another; a failed import leaves no half project.
  FUZZ_CHECK(files == static_cast<size_t>(r.ok() ? r.FilesWritten : r.FilesLeft));

  return 0;
}
