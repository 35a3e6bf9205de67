#pragma once
// The find commands: a key typed into the find dialog searched in the
// current item or through the whole project, and the tag jump (the word at
// the caret, or the selected text). The memo's engine searches the shown
// item; a project-wide search looks through the texts the project holds in
// memory (search/ProjectSearch.h) and shows only the item where it stops.
#include "editor/EditorContext.h"

#include <QDialog>

#include <string>

class QLineEdit;
class QRadioButton;

// The modeless find dialog: the key and the direction, nothing else.
class TFindDialog : public QDialog {
  Q_OBJECT
public:
  explicit TFindDialog(QWidget *parent);
  QString FindText() const;
  void SetFindText(const QString &text);
  bool Down() const; // the direction chosen: downwards
  QLineEdit *KeyBox() const { return key_; }

signals:
  void find(); // the user confirmed the dialog

private:
  QLineEdit *key_ = nullptr;
  QRadioButton *down_ = nullptr;
};

class TFindCommands {
public:
  explicit TFindCommands(TEditorContext &editor);
  void Bind();

  TFindDialog *Dialog() const { return dialog_; }
  // The search state, for tests.
  int Mode() const { return mode_; }
  bool Forward() const { return forward_; }

private:
  enum class TSender { None, Dialog, Action };
  void StartSearch(int tag);
  void TagJump(int tag);
  // One find step; `actionTag` is the Tag of the action that asked.
  void FindStep(TSender sender, int actionTag = 0);
  void RememberStart();
  void NotFound(const QString &key);
  // The start item, when it is still in the tree.
  TProjectNode *StartNode() const;

  TEditorContext &ed_;
  TFindDialog *dialog_ = nullptr;
  int mode_ = 0; // the Tag of the command that started the search
  bool forward_ = true;
  TProjectNode *startNode_ = nullptr;
  int startPos_ = 0;
  int startLen_ = 0;
};
