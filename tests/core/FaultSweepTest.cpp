// Every operation that writes a project, run again and again with its k-th
// open, write, flush, rename, link, unlink or mkdir failing (once with EIO,
// or from then on with ENOSPC), for every k the operation reaches. After each
// run every file holds its old or its new bytes, never a cut or mixed one;
// the tree file is there; the project reopens in full as it was or as it was
// meant to become; a failure is reported with its path; and once the disk is
// sound again the next attempt completes the change.
#include "ProjectFixtures.h"
#include "TempDir.h"
#include "export/Exchange.h"
#include "export/ExportText.h"
#include "store/Cleanup.h"
#include "store/FaultInjection.h"
#include "store/IniFile.h"
#include "store/Project.h"
#include "store/Recovery.h"
#include "store/RegIniFile.h"
#include "store/TreeClipboard.h"
#include "support/DiskSnapshot.h"
#include "support/ScopedHooks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <cerrno>
#include <functional>
#include <memory>

namespace {

namespace fs = std::filesystem;
using fsys::fault::Call;

using namespace snapshot;

std::string Describe(Call call, uint64_t k, bool persistent) {
  return std::string(fsys::fault::Name(call)) + " #" + std::to_string(k) +
         (persistent ? " and after (ENOSPC)" : " (EIO)");
}

// One operation on a fresh copy of the files. Start() does what comes before
// the write (a load, an edit in memory); Write() is the step that writes and
// may fail; Retry() is the user's next attempt once the disk is sound again.
class Operation {
public:
  virtual ~Operation() = default;
  virtual void Start(const std::string &box) = 0;
  virtual fsys::Status Write() = 0;
  virtual fsys::Status Retry() { return Write(); }
  // The project directories whose tree must reopen in full.
  virtual std::vector<std::string> Projects(const std::string &box) const {
    return {box + "proj/"};
  }
};

// The project of every test and a second one to copy from, made once.
struct Templates {
  TempDir proj, src;
  Templates() {
    fixture::WriteSample(proj);
    proj.Write("MainTree.dat.ord", "[Root]\r\nFileName=r.txt\r\n"); // an earlier save's
    fixture::Item(src, "s.txt", "Source");
    fixture::Item(src, "s1.txt", "S1");
    fixture::Item(src, "s2.txt", "S2");
    src.Write("MainTree.dat",
              fixture::Section("Root", {"LastIndex=2", "Child01=Root-C00000", "FileName=s.txt"}) +
                  fixture::Section("Root-C00000", {"FileName=s1.txt", "Child01=Root-C00001"}) +
                  fixture::Section("Root-C00001", {"FileName=s2.txt"}));
  }
};

// The two projects, and files beside them that no operation may touch.
void Populate(const std::string &box, const Templates &t) {
  fs::copy(t.proj.Path(""), box + "proj", fs::copy_options::recursive);
  fs::copy(t.src.Path(""), box + "src", fs::copy_options::recursive);
  fs::create_directories(box + "outside");
  std::ofstream(box + "outside/keep.txt", std::ios::binary) << "not the program's\r\n";
  std::ofstream(box + "settings.ini", std::ios::binary) << "[Main]\r\nRootDir=/x/\r\n";
}

// ---- the operations --------------------------------------------------------

class ProjectOperation : public Operation {
public:
  void Start(const std::string &box) override {
    box_ = box;
    ASSERT_TRUE(project_.Load(box + "proj/").RootLoaded);
    Edit();
  }

protected:
  virtual void Edit() {}
  TProjectNode *Node(const char *label) { return fixture::Find(project_, label); }
  TProject project_;
  std::string box_;
};

class SaveTree : public ProjectOperation {
  void Edit() override {
    project_.Tree().MoveTo(Node("B"), Node("A"), TNodeAttachMode::Insert);
    project_.Tree().SetExpanded(Node("A"), false);
  }
  fsys::Status Write() override { return project_.Save(); }
};

class StoreItem : public ProjectOperation {
  void Edit() override { Node("A1")->Data()->Files.Body = {"new text of A1", "second line"}; }
  fsys::Status Write() override { return Node("A1")->Data()->Files.Save(); }
};

class NewItem : public ProjectOperation {
  void Edit() override {
    node_ = project_.Tree().AddChild(Node("B"), "N");
    project_.InitItem(*node_->Data());
    node_->Data()->Files.Title = "N";
    node_->Data()->Files.Body = {"typed into the new item"};
  }
  // The item's file first: the tree never names a file that is not there.
  fsys::Status Write() override {
    if (fsys::Status s = node_->Data()->Files.Save(); !s)
      return s;
    return project_.Save();
  }
  TProjectNode *node_ = nullptr;
};

class DeleteItem : public ProjectOperation {
  fsys::Status Write() override {
    if (TProjectNode *a2 = Node("A2")) {
      project_.RetireItemFile(a2); // a file that cannot be retired stays as it is
      project_.Tree().Delete(a2);
    }
    return project_.Save();
  }
};

class InsertSubtree : public ProjectOperation {
  void Edit() override {
    TProject source;
    ASSERT_TRUE(source.Load(box_ + "src/").RootLoaded);
    clip_ = treeclip::Parse(treeclip::CopyText(source, source.Root()->GetFirstChild()));
  }
  fsys::Status Write() override {
    if (!inserted_) {
      inserted_ = true;
      treeclip::TInsertReport r = treeclip::Insert(project_, clip_, Node("B"), {});
      if (r.sourceMissing) // told to the user as a copy it cannot read
        return fsys::Status{"read", r.missingPath, EIO};
      if (!r.failure)
        return r.failure;
    }
    return project_.Save();
  }
  treeclip::TClip clip_;
  bool inserted_ = false;
};

class CopySubtree : public ProjectOperation {
  void Edit() override { ASSERT_TRUE(source_.Load(box_ + "src/").RootLoaded); }
  fsys::Status Write() override {
    if (!copied_) {
      copied_ = true;
      fsys::Status status;
      project_.CopySubtree(source_.Root()->GetFirstChild(), Node("A"), status);
      if (!status)
        return status;
    }
    return project_.Save();
  }
  TProject source_;
  bool copied_ = false;
};

class Export : public ProjectOperation {
public:
  explicit Export(TExportMode mode) : mode_(mode) {}
  fsys::Status Write() override {
    // Templates from a settings file of the box's: the user's is registered
    // by the first export only, and would make the runs' calls differ.
    TRegIniFile settings(box_ + "export.ini");
    TExportText engine(settings);
    const std::string out = box_ + (mode_ == TExportMode::Frames ? "frames/" : "out.txt");
    return RunExport(engine, project_, nullptr, mode_, out);
  }
  TExportMode mode_;
};

class Cleanup : public ProjectOperation {
  void Edit() override {
    std::ofstream(box_ + "proj/stale.txt", std::ios::binary) << "Title:stale\r\n\r\n";
    std::ofstream(box_ + "proj/old.txt.exp", std::ios::binary) << "Title:old\r\n\r\n";
  }
  fsys::Status Write() override {
    TCleanupReport r = DeleteUnusedFiles(project_);
    if (!r.listing)
      return r.listing;
    return r.failures.empty() ? fsys::Status{} : r.failures.front();
  }
};

class Import : public Operation {
public:
  void Start(const std::string &box) override {
    box_ = box;
    TProject p;
    ASSERT_TRUE(p.Load(box + "proj/").RootLoaded);
    TRegIniFile settings(box + "export.ini");
    TExportText engine(settings);
    ASSERT_TRUE(Ok(RunExport(engine, p, nullptr, TExportMode::Exchange, box + "outside/x.txt")));
  }
  fsys::Status Write() override {
    TImportResult r = ImportExchangeFileInto(box_ + "outside/x.txt", box_ + target_);
    if (r.Result == TImportResult::Imported)
      return {};
    return r.Failure.ok() ? fsys::Status{"import", box_ + target_, EIO} : r.Failure;
  }
  // The user picks a new folder: what the stopped import wrote stays, as no
  // project.
  fsys::Status Retry() override {
    target_ = "again/";
    return Write();
  }
  std::vector<std::string> Projects(const std::string &box) const override {
    return {box + "proj/", box + target_};
  }
  std::string box_;
  std::string target_ = "imported/";
};

// The recovery copy of an unsaved tree and text replaces an older copy; the
// project itself is never touched.
class RecoveryCopy : public ProjectOperation {
  void Edit() override {
    entry_.Dir = project_.Dir();
    entry_.Path = Root() + "copy.rcv"; // the same in every run
    entry_.Made = "2026/12/08 10:00:00";
    // No file stamps: they differ between the runs' fresh copies.
    entry_.Items.push_back({"Root-C00001", "a1.txt", "Title:A1\r\n\r\nolder copy\r\n", {}});
    ASSERT_TRUE(recovery::Write(Root(), entry_));
    project_.Tree().MoveTo(Node("B"), Node("A"), TNodeAttachMode::Insert);
    auto doc = std::make_shared<TIniFile>();
    ASSERT_TRUE(project_.Tree().BuildTreeFile(*doc));
    entry_.TreeDocument = doc;
    entry_.Items[0].Bytes = "Title:A1\r\n\r\ntyped, not stored\r\n";
  }
  fsys::Status Write() override { return recovery::Write(Root(), entry_); }
  std::string Root() const { return box_ + "state/recovery/"; }
  recovery::Entry entry_;
};

class Settings : public Operation {
  void Start(const std::string &box) override {
    ini_ = std::make_unique<TRegIniFile>(box + "settings.ini");
    ini_->WriteString("Main", "RootDir", "/somewhere/else/");
    ini_->WriteInteger("Window", "Width", 800);
  }
  fsys::Status Write() override { return ini_->UpdateFile(); }
  std::unique_ptr<TRegIniFile> ini_;
};

class Shortcut : public Operation {
  void Start(const std::string &box) override {
    ini_ = std::make_unique<TIniFile>(box + "outside/p.ida");
    ini_->WriteString("Project", "Directory", box + "proj/");
  }
  fsys::Status Write() override { return ini_->UpdateFile(); }
  std::unique_ptr<TIniFile> ini_;
};

// ---- the sweep -------------------------------------------------------------

struct Case {
  const char *name;
  std::function<std::unique_ptr<Operation>()> make;
};

class FaultSweep : public ::testing::TestWithParam<Case> {
protected:
  void SetUp() override { box_ = temp_.Dir() + "box/"; }
  void TearDown() override { fsys::fault::Disarm(); }

  std::unique_ptr<Operation> Fresh() {
    std::error_code ec;
    fs::remove_all(box_, ec);
    fs::create_directories(box_);
    Populate(box_, templates_);
    auto op = GetParam().make();
    op->Start(box_);
    return op;
  }

  TempDir temp_;
  Templates templates_;
  std::string box_;
};

TEST_P(FaultSweep, EveryFileOldOrNewAndTheNextAttemptCompletes) {
  support::ScopedClock clock(fixture::At(2026, 12, 8, 10, 0, 0));

  // The clean run: the files before and after, and how many calls of each
  // kind it makes.
  auto clean = Fresh();
  const Snapshot before = Take(box_);
  std::vector<Reopened> oldTrees, newTrees;
  for (const auto &dir : clean->Projects(box_))
    oldTrees.push_back(Reopen(dir));
  fsys::fault::Arm({});
  ASSERT_TRUE(Ok(clean->Write()));
  uint64_t counts[fsys::fault::kCallKinds];
  for (int c = 0; c < fsys::fault::kCallKinds; ++c)
    counts[c] = fsys::fault::Count(static_cast<Call>(c));
  fsys::fault::Disarm();
  const Snapshot after = Take(box_);
  ASSERT_NE(before, after) << "the operation changes nothing";
  for (const auto &dir : clean->Projects(box_))
    newTrees.push_back(Reopen(dir));
  clean.reset();
  // The sweep counts on every run making the same calls: so must a second.
  {
    auto again = Fresh();
    fsys::fault::Arm({});
    ASSERT_TRUE(Ok(again->Write()));
    for (int c = 0; c < fsys::fault::kCallKinds; ++c)
      ASSERT_EQ(fsys::fault::Count(static_cast<Call>(c)), counts[c])
          << fsys::fault::Name(static_cast<Call>(c)) << " calls differ between two clean runs";
    fsys::fault::Disarm();
  }

  int runs = 0;
  for (int c = 0; c < fsys::fault::kCallKinds; ++c) {
    const Call call = static_cast<Call>(c);
    for (uint64_t k = 1; k <= counts[c]; ++k) {
      for (bool persistent : {false, true}) {
        SCOPED_TRACE(Describe(call, k, persistent));
        auto op = Fresh();
        fsys::fault::Arm({call, k, persistent ? ENOSPC : EIO, persistent});
        const fsys::Status status = op->Write();
        const bool fired = fsys::fault::Fired();
        fsys::fault::Disarm();
        ++runs;
        ASSERT_TRUE(fired) << "the call was not reached again";

        // Every file holds its old or its new bytes, or is not there where
        // it was not there before or after.
        const auto mixed = Mixed(before, after, Take(box_), [&](const std::string &p, bool is) {
          return is && call == Call::Unlink && IsLeftover(p);
        });
        for (const auto &p : mixed)
          ADD_FAILURE() << p;

        // Each project reopens in full, as it was or as it became.
        const auto dirs = op->Projects(box_);
        for (size_t i = 0; i < dirs.size(); ++i) {
          const Reopened r = Reopen(dirs[i]);
          EXPECT_TRUE(r == oldTrees[i] || r == newTrees[i]) << dirs[i] << " reopens as " << Text(r);
        }

        // A failure is told, with the file it concerns; a success is real.
        if (status) {
          for (size_t i = 0; i < dirs.size(); ++i)
            EXPECT_EQ(Reopen(dirs[i]), newTrees[i]) << "success reported, old tree on disk";
        } else {
          EXPECT_FALSE(status.path.empty()) << status.Text();
        }
        if (!status) {
          // The user tries again on a sound disk: the change completes.
          const fsys::Status again = op->Retry();
          EXPECT_TRUE(Ok(again)) << again.Text();
          const auto retried = op->Projects(box_);
          for (size_t i = 0; i < dirs.size(); ++i) {
            const Reopened r = Reopen(retried[i]);
            EXPECT_TRUE(r.loaded || !newTrees[i].loaded) << retried[i];
            EXPECT_EQ(r.missing, newTrees[i].missing) << retried[i] << " " << r.outline;
          }
        }
        if (HasFailure())
          return; // the first broken step says enough
      }
    }
  }
  EXPECT_GT(runs, 0);
  RecordProperty("runs", runs);
}

INSTANTIATE_TEST_SUITE_P(
    Writes, FaultSweep,
    ::testing::Values(
        Case{"SaveTree", [] { return std::make_unique<SaveTree>(); }},
        Case{"StoreItem", [] { return std::make_unique<StoreItem>(); }},
        Case{"NewItem", [] { return std::make_unique<NewItem>(); }},
        Case{"DeleteItem", [] { return std::make_unique<DeleteItem>(); }},
        Case{"InsertSubtree", [] { return std::make_unique<InsertSubtree>(); }},
        Case{"CopySubtree", [] { return std::make_unique<CopySubtree>(); }},
        Case{"ExportText", [] { return std::make_unique<Export>(TExportMode::Text); }},
        Case{"ExportFrames", [] { return std::make_unique<Export>(TExportMode::Frames); }},
        Case{"Cleanup", [] { return std::make_unique<Cleanup>(); }},
        Case{"Import", [] { return std::make_unique<Import>(); }},
        Case{"RecoveryCopy", [] { return std::make_unique<RecoveryCopy>(); }},
        Case{"Settings", [] { return std::make_unique<Settings>(); }},
        Case{"Shortcut", [] { return std::make_unique<Shortcut>(); }}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
