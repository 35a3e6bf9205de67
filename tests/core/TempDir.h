#pragma once
// A fresh directory under the system's temp dir, removed with everything in it.
#include "support/Printers.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TempDir {
public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "orvane-test-XXXXXX").string();
    char *p = mkdtemp(tmpl.data());
    path_ = p ? p : tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;

  // With the trailing separator, as the program keeps directory paths.
  std::string Dir() const { return path_ + "/"; }
  std::string Path(const std::string &name) const { return path_ + "/" + name; }

  void Write(const std::string &name, const std::string &bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }
  std::string Read(const std::string &name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

private:
  std::string path_;
};
