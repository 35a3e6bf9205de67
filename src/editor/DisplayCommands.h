#pragma once
// The item attributes and the display: ToDo and Completion, word wrap, font,
// colours, the hint line, hiding at the top edge of the screen, and the
// tree's keyboard rules (Enter goes to the text; arrow keys walk without
// showing every item they pass).
#include "editor/EditorContext.h"

#include <QColor>
#include <QObject>

class QTimer;
class TWindowData;
class THelpGuide;

class TDisplayCommands : public QObject {
public:
  // Where the window stands when hiding at the top edge of the screen.
  enum class THideState : unsigned char { Normal = 0, ShownAtTop = 1, Peeking = 2, Hidden = 3 };

  explicit TDisplayCommands(TEditorContext &editor);
  ~TDisplayCommands() override;
  // Binds the commands and sets up timers, hint line, colours and the event
  // watch on window, tree and status bar.
  void Bind();

  // The display switches and the font from the project's window settings,
  // and back.
  void ApplyWindowSettings(const TWindowData &w);
  void CollectWindowSettings(TWindowData &w) const;

  // The item's marks onto the check marks, icons and the memo's read-only state.
  void RefreshAttributes(TProjectNode *node);
  // An arrow key is held in the tree: the item reached is shown on release.
  bool KeyWalking() const { return keyWalking_; }

  THideState HideState() const { return hideState_; }
  void SetHideState(THideState state);
  int SweepStartX() const { return sweepStartX_; }
  // Hiding needs window moves; a compositor that refuses them (Wayland) has none.
  static bool HideSupported();
  // The window lost the activation (also told by the catalogue when the
  // application is deactivated).
  void FormDeactivate();
  // The designed colours of memo and tree (used while UseDefaultColorMenu is off).
  static QColor DesignedMemoColor();
  static QColor DesignedTreeColor();

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void SelectMark(bool completion);
  void WordWrapMenuClick();
  void HideMenuClick();
  void SelectFontMenuClick();
  void UseDefaultColorMenuClick();
  void ShowHintMenuClick();
  void StatusBarClick();
  void EndKeyWalk();
  bool Checked(TEditorAction a);

  TEditorContext &ed_;
  THideState hideState_ = THideState::Normal;
  int sweepStartX_ = 0;           // where a sweep over the hidden strip began, 0 = none
  QTimer *expandTimer_ = nullptr; // ends a peek
  QTimer *slideTimer_ = nullptr;  // limits the time for a sweep
  THelpGuide *helpGuide_ = nullptr;
  QObject *sweepEvents_ = nullptr; // on the application while hidden
  bool keyWalking_ = false;
};
