// The fuzz targets as ordinary programs: every file of the directories (or
// the files) named on the command line goes through the target once, in name
// order. A target that finds a broken promise aborts, and the test fails.
#include "FuzzSupport.h"

#include <algorithm>
#include <filesystem>
#include <vector>

int main(int argc, char **argv) {
  namespace fs = std::filesystem;
  std::vector<std::string> inputs;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    if (fs::is_directory(argv[i], ec)) {
      for (const auto &e : fs::directory_iterator(argv[i]))
        if (e.is_regular_file())
          inputs.push_back(e.path().string());
    } else if (fs::is_regular_file(argv[i], ec)) {
      inputs.push_back(argv[i]);
    } else if (fs::exists(argv[i], ec)) {
      std::fprintf(stderr, "not a file or directory: %s\n", argv[i]);
      return 2;
    } // a missing directory: a target without regression inputs yet
  }
  std::sort(inputs.begin(), inputs.end());
  for (const std::string &path : inputs) {
    const std::string bytes = fuzz::ReadBytes(path);
    fuzz::currentInput = path.c_str();
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
  }
  std::printf("%zu inputs replayed\n", inputs.size());
  return inputs.empty() ? 1 : 0;
}
