#pragma once
// The commands of one window: one QAction per command, made from a table,
// reached through the window's own enum (so a misspelt command does not
// compile), each with its handler and its enabling rule side by side.
//
//   enum class TMyAction { Open, Close, Count_ };
//   const ui::TActionDef kDefs[] = {{"OpenAction", u"開く(&O)", "Ctrl+O"}, ...}; // enum order
//   ui::TActionSet<TMyAction> actions(this, kDefs);
//   actions.Bind(TMyAction::Open, [this] { Open(); }, [this] { return CanOpen(); });
//
// A handler runs only while its rule holds (a menu or a shortcut may still
// show a state gone stale), and after it every command's state follows its
// rule, once: the updates asked for while it runs (by the selection or the
// memo it changes, by a command it triggers) wait for its end. Events that
// are no command ask with Update(), or UpdateSoon() to fold a burst into
// one update once the event loop runs. A command with
// a handler and no rule is always enabled; a command without a handler
// stays disabled (it is shown, but not built yet).
#include <QAction>
#include <QString>

#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

class QTimer;
class QWidget;

// A window lists its commands once, as an X-macro of rows
// X(name, caption, shortcut, hint, image, tag, checkable, keepsEdit) (the
// columns after the name as far as needed); these make the enum and the
// table from it, so the two cannot drift apart.
#define ORVANE_ACTION_ID(name, ...) name,
#define ORVANE_ACTION_DEF(name, ...) {#name, __VA_ARGS__},

namespace ui {

struct TActionDef {
  const char *name = ""; // object name: settings and tests find the command by it
  const char16_t *caption = u"";
  const char *shortcut = "";  // portable text form, "" for none
  const char16_t *hint = u""; // status line and tool tip, "" for none
  int image = 0;              // image list index, 0 for none
  int tag = 0;                // the command's Tag, where it is observable
  bool checkable = false;
  bool keepsEdit = false; // acts on the edit in progress: no BeforeEach step for it
};

class TActionTable {
public:
  // Makes the actions of `defs` (in the order of the window's enum) as
  // children of `owner`, all disabled.
  TActionTable(QWidget *owner, const TActionDef *defs, int count);
  ~TActionTable();
  TActionTable(const TActionTable &) = delete;
  TActionTable &operator=(const TActionTable &) = delete;

  QAction *At(int index) const { return actions_[index]; }
  int Count() const { return static_cast<int>(actions_.size()); }
  // Runs before every handler (before its rule is asked), except those of
  // the commands that keep the edit.
  void BeforeEach(std::function<void(int index)> step) { before_ = std::move(step); }
  void Bind(int index, std::function<void()> handler, std::function<bool()> enabled = {});
  // The same for a handler that serves several commands: it is given the
  // command's Tag from the table.
  void BindTagged(int index, std::function<void(int tag)> handler,
                  std::function<bool()> enabled = {});
  // An enabling rule for a command handled elsewhere (a check mark that is
  // only read, a command of a widget of its own).
  void Rule(int index, std::function<bool()> enabled);
  // Enables every command by its rule (at the end of the command running,
  // if one is).
  void Update() const;
  // Update() once the events now waiting are handled; asked again before
  // that, it still runs once.
  void UpdateSoon();
  // Forgets every rule (the window is going; its commands stay as they are
  // and no handler runs any more).
  void Clear();

private:
  void Run(int index, const std::function<void()> &handler);

  std::vector<QAction *> actions_;
  std::vector<std::function<bool()>> rules_;
  std::vector<int> tags_;
  std::vector<bool> keepsEdit_;
  std::function<void(int)> before_;
  std::vector<QMetaObject::Connection> handlers_;
  std::unique_ptr<QTimer> update_;
  int running_ = 0; // handlers under way, one inside another
};

template <class Id> class TActionSet : public TActionTable {
public:
  template <int N>
  TActionSet(QWidget *owner, const TActionDef (&defs)[N]) : TActionTable(owner, defs, N) {
    static_assert(N == static_cast<int>(Id::Count_), "one definition per command, in enum order");
  }
  QAction *operator[](Id id) const { return At(static_cast<int>(id)); }
  void Bind(Id id, std::function<void()> handler, std::function<bool()> enabled = {}) {
    TActionTable::Bind(static_cast<int>(id), std::move(handler), std::move(enabled));
  }
  void BindTagged(Id id, std::function<void(int tag)> handler, std::function<bool()> enabled = {}) {
    TActionTable::BindTagged(static_cast<int>(id), std::move(handler), std::move(enabled));
  }
  void Rule(Id id, std::function<bool()> enabled) {
    TActionTable::Rule(static_cast<int>(id), std::move(enabled));
  }
  // Adds the commands to a menu or tool bar in order; Id::Count_ stands for
  // a separator.
  template <class Container> void AddTo(Container *to, std::initializer_list<Id> ids) const {
    for (Id id : ids) {
      if (id == Id::Count_)
        to->addSeparator();
      else
        to->addAction((*this)[id]);
    }
  }
};

} // namespace ui
