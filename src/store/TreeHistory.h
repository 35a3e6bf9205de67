#pragma once
// The undo history of a project's tree: every edit of a command, however
// many nodes it touches, is one step that can be taken back and done again.
// The history records what the tree reports (store/ProjectTree.h) between
// Begin and End; undo replays the step backwards, redo forwards, so every
// node comes back to its exact place with its ID, data and open state (the
// nodes themselves are kept, never copied). Item files follow as a delete
// treats them: a node a replay takes out has its file retired (".exp" at
// the next save), one it puts back has the retirement taken back.
//
//   {
//     TTreeHistory::Step step(project.History(), TTreeStep::Delete, node->Text());
//     project.RetireItemFile(node);
//     project.Tree().Delete(node);
//   }
//   project.History().Undo(); // the node is back, its file keeps its name
//
// A change of the tree's shape outside a step (a load, an item a reload
// adds) forgets the whole history: the places it recorded no longer hold.
// Labels and open states changed outside a step are not recorded.
#include "store/FileSystem.h"
#include "store/ProjectTree.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TProject;

// What a step did, to name it to the user.
enum class TTreeStep {
  NewItem,
  NewSubItem,
  Rename,
  Delete,
  Up,
  Down,
  Lift,
  Sink,
  Drag,
  Insert,
  Capture,
  FileDrop,
  Restore,
};

class TTreeHistory : private TTreeRecorder {
public:
  explicit TTreeHistory(TProject &project);
  ~TTreeHistory() override;
  TTreeHistory(const TTreeHistory &) = delete;
  TTreeHistory &operator=(const TTreeHistory &) = delete;

  // Steps nest: an inner one (a new item made by a capture) joins the outer
  // one, which keeps its kind and label. A step that changed nothing is not
  // kept; a new step drops the steps undone before it.
  void Begin(TTreeStep kind, std::string label);
  void End();
  void SetLabel(std::string label); // of the open step
  class Step {
  public:
    Step(TTreeHistory &history, TTreeStep kind, std::string label) : h_(history) {
      h_.Begin(kind, std::move(label));
    }
    ~Step() { h_.End(); }
    Step(const Step &) = delete;
    Step &operator=(const Step &) = delete;

  private:
    TTreeHistory &h_;
  };

  bool CanUndo() const { return done_ > 0; }
  bool CanRedo() const { return done_ < steps_.size(); }
  // The step the next undo / redo replays (CP932 label).
  TTreeStep UndoKind() const;
  const std::string &UndoLabel() const;
  TTreeStep RedoKind() const;
  const std::string &RedoLabel() const;
  size_t Count() const { return steps_.size(); }

  // The nodes the next undo / redo takes out of the tree whose text changed
  // since the step recorded it (in the file or in memory as last stored).
  std::vector<TProjectNode *> EditedBeforeUndo() const;
  std::vector<TProjectNode *> EditedBeforeRedo() const;
  // Whether the next undo / redo takes `node` out of the tree.
  bool UndoRemoves(const TProjectNode *node) const;
  bool RedoRemoves(const TProjectNode *node) const;
  // The nodes whose label the next undo / redo changes.
  std::vector<TProjectNode *> UndoRelabels() const;
  std::vector<TProjectNode *> RedoRelabels() const;

  struct TReplay {
    bool done = false;              // there was a step to replay
    TProjectNode *select = nullptr; // what was selected at that end of the step
    fsys::Status status;            // the first item file that could not be renamed
  };
  TReplay Undo();
  TReplay Redo();

  // The item files (also as retired, + ".exp") and attachments of the nodes
  // the steps hold out of the tree: an undo needs them where they are.
  void CollectHeldFiles(std::vector<std::string> &items,
                        std::vector<std::string> &attachments) const;

  // Every step goes (their nodes out of the tree with them).
  void Clear();

  // Told after a step ends, a replay, and a clear (what can be undone changed).
  std::function<void()> OnChange;

private:
  struct Change;
  struct StepData;

  void Placed(TProjectNode *node) override;
  void Moved(TProjectNode *node, TProjectNode *oldParent, int oldRow) override;
  void Removed(std::unique_ptr<TProjectNode> node, TProjectNode *parent, int row) override;
  void Relabelled(TProjectNode *node, const std::string &old) override;
  void ExpandedChanged(TProjectNode *node) override;
  void Cleared() override;
  bool Recording();
  void Changed();
  std::vector<TProjectNode *> Edited(const StepData &step, bool undo) const;
  bool Removes(const StepData &step, bool undo, const TProjectNode *node) const;
  std::vector<TProjectNode *> Relabels(const StepData &step) const;
  void Apply(Change &c, bool undo, fsys::Status &status);

  TProject &project_;
  std::vector<std::unique_ptr<StepData>> steps_;
  size_t done_ = 0; // steps_[0, done_) can be undone, the rest redone
  std::unique_ptr<StepData> open_;
  int depth_ = 0;
  bool replaying_ = false;
};
