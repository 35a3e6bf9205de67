#pragma once
// Commands on the item text: date and time, the clipboard and undo commands
// on the memo and on a label being edited, taking back the changes of the
// current item, and clearing the caret memory of every item.
#include "editor/EditorContext.h"

#include <QObject>

class TDateTime;

class TTextCommands : public QObject {
public:
  explicit TTextCommands(TEditorContext &editor);
  void Bind();

  // "yyyy/mm/dd(aaa)" with the Japanese weekday, and "hh:nn:ss".
  static QString DateText(const TDateTime &t);
  static QString TimeText(const TDateTime &t);

protected:
  // The label editor's cut, copy and paste keys act on the whole label.
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void InsertDateTimeAction(int tag); // 0 date, 1 time
  void ClipboardTextAction(int tag);  // 0 undo, 1 cut, 2 copy, 3 paste, 4 select all
  void UndoItemMidifyAction();
  void ClearCursorPosMenuClick();
  bool Writable() const;

  TEditorContext &ed_;
};
