#include "cli/Command.h"

#include "export/Exchange.h"
#include "store/FileSystem.h"

#include <ostream>

namespace cli {

namespace {

// A CP932 message of the program (CR LF between its lines) on one line.
std::string ShowMessage(std::string_view cp932Message) {
  std::string m(cp932Message);
  for (size_t p; (p = m.find("\r\n")) != std::string::npos;)
    m.replace(p, 2, " ");
  return Show(m);
}

int Import(Call &call) {
  std::ostream &err = call.err;
  if (call.operands.size() != 2) {
    err << "orvane-cli import: expected an exchange file and a directory\n";
    return kUsage;
  }
  std::string file, dir;
  if (!ArgPath(call.operands[0], file, err) || !ArgPath(call.operands[1], dir, err))
    return kFailed;
  if (!fsys::FileExists(file)) {
    err << "orvane-cli import: " << Escape(call.operands[0]) << ": no such file\n";
    return kFailed;
  }
  const TImportResult r = ImportExchangeFileInto(file, dir);
  if (r.ok())
    return kOk;
  err << "orvane-cli import: " << ShowMessage(r.Message) << "\n";
  if (!r.Failure.ok())
    err << "  " << Escape(r.Failure.Text()) << "\n";
  if (r.FilesLeft > 0)
    err << "  " << r.FilesLeft << " files written before the import stopped could not be "
        << "removed from " << Show(r.TargetDir) << "\n";
  return kFailed;
}

} // namespace

extern const Command kImport{
    .name = "import",
    .summary = "make a new project from an exchange file",
    .help = "usage: orvane-cli import FILE DIR\n"
            "\n"
            "Writes the tree file and the item files packed in the exchange file FILE\n"
            "into the directory DIR, which must not exist yet or be empty. Block names\n"
            "that would lead out of DIR, and a name given to two blocks, stop the import.\n"
            "MainTree.dat is written last; an import that stops removes the files it\n"
            "wrote (and DIR, when it made it).\n"
            "Prints nothing on success. Exits 0, 1 with the reason, 2 for a wrong\n"
            "command line.\n",
    .run = Import};

} // namespace cli
