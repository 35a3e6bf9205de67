#pragma once
// The commands of one window: one QAction per command, made from a table,
// reached through the window's own enum (so a misspelt command does not
// compile), each with its handler and its enabling rule side by side.
//
//   enum class TMyAction { Open, Close, Count_ };
//   const ui::TActionDef kDefs[] = {{"OpenAction", u"開く(&O)", "Ctrl+O"}, ...}; // enum order
//   ui::TActionSet<TMyAction> actions(this, kDefs);
//   actions.Bind(TMyAction::Open, [this] { Open(); }, [this] { return CanOpen(); });
//   actions.Update(); // from the window's updateActionStates(), and only there
//
// A command with a handler and no rule is always enabled; a command without
// a handler stays disabled (it is shown, but not built yet).
#include <QAction>
#include <QString>

#include <functional>
#include <initializer_list>
#include <vector>

class QWidget;

namespace ui {

struct TActionDef {
  const char *name = ""; // object name: settings and tests find the command by it
  const char16_t *caption = u"";
  const char *shortcut = "";  // portable text form, "" for none
  const char16_t *hint = u""; // status line and tool tip, "" for none
  int image = 0;              // image list index, 0 for none
  int tag = 0;                // the command's Tag, where it is observable
  bool checkable = false;
};

class TActionTable {
public:
  // Makes the actions of `defs` (in the order of the window's enum) as
  // children of `owner`, all disabled.
  TActionTable(QWidget *owner, const TActionDef *defs, int count);

  QAction *At(int index) const { return actions_[index]; }
  int Count() const { return static_cast<int>(actions_.size()); }
  // Runs before every handler bound from now on, in the order connected.
  void BeforeEach(std::function<void(int index)> step) { before_ = std::move(step); }
  void Bind(int index, std::function<void()> handler, std::function<bool()> enabled = {});
  // An enabling rule for a command handled elsewhere (a check mark that is
  // only read, a command of a widget of its own).
  void Rule(int index, std::function<bool()> enabled);
  // Enables every command by its rule.
  void Update() const;
  // Forgets every rule (the window is going; its commands stay as they are).
  void Clear();

private:
  std::vector<QAction *> actions_;
  std::vector<std::function<bool()>> rules_;
  std::function<void(int)> before_;
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
