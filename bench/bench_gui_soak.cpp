// Soak: an open editor and another program writing the same project for
// minutes. A writer process appends a numbered line to a random item file
// every 100 ms (three in four by a rename, one in four in place, each only
// when the file is still what it read), while the editor walks to a random
// item every 50 ms, types a numbered line before it leaves, and saves every
// 10 s. The editor's questions get the answer Enter gives (keep both). At the
// end every numbered line of either side must be in some item file, and no
// error box may have been shown.
// Usage: bench_gui_soak [items=10000] [seconds=300] [dir]
//        (offscreen: QT_QPA_PLATFORM=offscreen)
#include "ProjectGenerator.h"
#include "editor/VaveDataBase.h"
#include "editor/VaveMain.h"
#include "store/FileSystem.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::vector<std::string> ItemFiles(const std::string &dir) {
  std::vector<std::string> files;
  for (const auto &e : fs::directory_iterator(dir))
    if (e.path().extension() == ".txt")
      files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

// The numbered lines "<prefix><n>" found in every item file.
std::set<long> Found(const std::string &dir, const std::string &prefix) {
  std::set<long> found;
  for (const std::string &path : ItemFiles(dir)) {
    std::string bytes;
    (void)fsys::ReadFile(path, bytes); // unreadable counts as holding no edit
    for (size_t at = bytes.find(prefix); at != std::string::npos; at = bytes.find(prefix, at + 1)) {
      size_t end = at + prefix.size();
      long n = 0;
      bool digits = false;
      while (end < bytes.size() && bytes[end] >= '0' && bytes[end] <= '9') {
        n = n * 10 + (bytes[end++] - '0');
        digits = true;
      }
      if (digits)
        found.insert(n);
    }
  }
  return found;
}

// The other program: appends "ext-<n>" lines, logs each one written.
int Writer(const std::string &dir, int seconds, const std::string &logPath) {
  const std::vector<std::string> files = ItemFiles(dir);
  std::mt19937 rng(7);
  std::ofstream log(logPath);
  const auto end = Clock::now() + std::chrono::seconds(seconds);
  long n = 0, refused = 0;
  while (Clock::now() < end) {
    const std::string &path = files[rng() % files.size()];
    const std::string line = "ext-" + std::to_string(n) + "\r\n";
    bool written = false;
    for (int attempt = 0; attempt < 5 && !written; ++attempt) {
      std::string bytes;
      fsys::Stamp seen;
      if (!fsys::ReadFile(path, bytes, &seen))
        break;
      bytes += line;
      if (rng() % 4 == 0) {
        // In place, as some text editors save.
        if (fsys::CheckStamp(path, seen) != fsys::DiskChange::None) {
          ++refused;
          continue;
        }
        const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
        written = fd >= 0 &&
                  ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        if (fd >= 0)
          ::close(fd);
      } else {
        fsys::WriteOptions options;
        options.expect = &seen;
        fsys::Status s = fsys::WriteFile(path, bytes, options);
        written = s.ok();
        if (!written)
          ++refused;
      }
    }
    if (written)
      log << n << "\n" << std::flush;
    ++n;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  std::fprintf(stderr, "writer: %ld edits tried, %ld writes refused and tried again\n", n, refused);
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  if (argc == 5 && std::string(argv[1]) == "--writer")
    return Writer(argv[2], std::atoi(argv[3]), argv[4]);

  QApplication app(argc, argv);
  const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 300;
  std::string dir = argc > 3 ? argv[3] : (fs::temp_directory_path() / "orvane-bench-soak").string();
  fs::remove_all(dir);
  fs::create_directories(dir);
  dir += "/";
  bench::Generate(dir, count);
  const std::string log = dir.substr(0, dir.size() - 1) + ".writer-log";

  int questions = 0, errors = 0, other = 0;
  ui::SetMessageBoxHook([&](const ui::MessageBoxRequest &r) {
    if (r.icon == ui::MsgIcon::Error) {
      ++errors;
      std::fprintf(stderr, "error shown: %s\n", r.text.toUtf8().constData());
    } else if (r.buttons == ui::MsgButtons::YesNoCancel) {
      ++questions;
    } else {
      ++other;
      std::fprintf(stderr, "asked: %s\n", r.text.toUtf8().constData());
    }
    return r.defaultButton;
  });

  auto *w = new TVaveMainForm;
  if (!w->OpenProjectDir(dir))
    return 1;
  QProcess writer;
  writer.setProcessChannelMode(QProcess::ForwardedChannels);
  writer.start(QString::fromLocal8Bit(argv[0]),
               {QStringLiteral("--writer"), QString::fromStdString(dir), QString::number(seconds),
                QString::fromStdString(log)});
  writer.waitForStarted();

  std::mt19937 rng(11);
  std::vector<TProjectNode *> nodes;
  long typed = 0;
  int saves = 0;
  QTimer walk, save;
  QObject::connect(&walk, &QTimer::timeout, [&] {
    nodes.clear();
    for (TProjectNode *n = w->RootNode(); n; n = n->GetNext())
      nodes.push_back(n);
    if (w->CurrentNode()) {
      QPlainTextEdit *memo = w->FileText();
      memo->moveCursor(QTextCursor::End);
      memo->insertPlainText(QStringLiteral("\ned-%1").arg(typed++));
    }
    w->VaveDataBase()->SelectNode(nodes[rng() % nodes.size()]);
  });
  QObject::connect(&save, &QTimer::timeout, [&] {
    w->SaveProject();
    ++saves;
  });
  walk.start(50);
  save.start(10000);
  const auto started = Clock::now();
  QTimer::singleShot(seconds * 1000, [&] {
    walk.stop();
    save.stop();
    w->SaveProject();
    ++saves;
    w->close();
    app.quit();
  });
  app.exec();
  writer.waitForFinished(60000);
  const double ran = std::chrono::duration<double>(Clock::now() - started).count();

  std::set<long> written;
  {
    std::ifstream in(log);
    for (long n; in >> n;)
      written.insert(n);
  }
  const std::set<long> ext = Found(dir, "ext-"), ed = Found(dir, "ed-");
  long lostExt = 0, lostEd = 0;
  for (long n : written)
    lostExt += !ext.count(n);
  for (long n = 0; n < typed; ++n)
    lostEd += !ed.count(n);
  std::printf("%d items, %.0f s: %zu writes by the other program, %ld lines typed in the editor, "
              "%d saves\n",
              count, ran, written.size(), typed, saves);
  std::printf("questions answered with keep both: %d; other questions: %d; error boxes: %d\n",
              questions, other, errors);
  std::printf("lines lost: %ld of the other program's, %ld of the editor's\n", lostExt, lostEd);
  return lostExt + lostEd + errors == 0 ? 0 : 1;
}
