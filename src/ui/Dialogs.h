#pragma once
// The one dialog service of the program: open file, save file, choose
// directory, choose font, input text. Windows ask through the CP932 helpers at
// the end of this header; tests answer in place of a person and read back
// exactly what was asked.
//
// Program code:
//   ui::FileDialogOptions o;
//   o.title = QStringLiteral(u"登録するファイルを指定");
//   o.filter = QStringLiteral(u"すべてのﾌｧｲﾙ(*.*)|*.*|ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt");
//   o.mustExist = true;
//   std::string path;                       // CP932
//   if (!ui::OpenFileName(this, o, path)) return;
//
// Test code:
//   ui::ScriptedDialogs dialogs({ui::DialogAnswer::Accept(nativePath)});
//   ... run the command ...
//   QCOMPARE(dialogs.Asked()[0].title, QStringLiteral(u"登録するファイルを指定"));
//
// Paths in answers are the OS form (as Qt's file dialog returns them); the
// helpers turn them into CP932 and refuse, with a visible explanation, a path
// CP932 cannot name.
#include "ui/ScriptedAnswers.h"

#include <QFont>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>

class QWidget;

namespace ui {

enum class DialogKind { OpenFile, SaveFile, Directory, Font, InputText };

struct DialogRequest {
  DialogKind kind = DialogKind::OpenFile;
  QWidget *parent = nullptr;
  QString title;                 // window title (the input box's caption)
  QString prompt;                // InputText: the text above the field; Directory: its use
  QString filter;                // file dialogs: the program's list "desc|patterns|desc|patterns"
  int filterIndex = 1;           // 1-based, the entry of `filter` preselected
  QString defaultSuffix;         // without the dot; added when the typed name has none
  QString initial;               // preset: OS path of the file or directory, or the input text
  QFont font;                    // Font: the preset
  bool mustExist = false;        // OpenFile: only an existing file is accepted
  bool confirmOverwrite = false; // SaveFile: replacing a file is asked first (default No)
  bool createMissing =
      false; // Directory: a typed directory that does not exist is created after asking
  // Directory: `initial` is the folder chosen last time, shown selected in
  // its parent rather than opened.
  bool preselect = false;
  bool refuseReadOnly = false;  // SaveFile: an existing read-only file is refused
  bool folderMustExist = false; // SaveFile: the chosen file's folder must exist
};

struct DialogAnswer {
  bool accepted = false;
  QString text;        // OS path of the file or directory, or the typed text
  int filterIndex = 1; // 1-based, the entry of the filter in force
  QFont font;
  bool replaceAgreed = false; // SaveFile: the dialog itself asked to replace the existing file

  static DialogAnswer Accept(const QString &text, int filterIndex = 1) {
    DialogAnswer a;
    a.accepted = true;
    a.text = text;
    a.filterIndex = filterIndex;
    return a;
  }
  static DialogAnswer AcceptFont(const QFont &font) {
    DialogAnswer a;
    a.accepted = true;
    a.font = font;
    return a;
  }
  static DialogAnswer Cancel() { return {}; }
};

// Shows the dialog (or asks the installed hook) and returns what was chosen.
DialogAnswer RunDialog(const DialogRequest &request);

// Replaces the real dialogs. Returns the hook installed before; an empty hook
// restores the real dialogs.
using DialogHook = std::function<DialogAnswer(const DialogRequest &)>;
DialogHook SetDialogHook(DialogHook hook);

// For tests: answers dialogs from a queue and records every request for its
// lifetime. A dialog asked when the queue is empty is counted in Unscripted()
// and cancelled.
class ScriptedDialogs : public ScriptedAnswers<DialogRequest, DialogAnswer> {
public:
  explicit ScriptedDialogs(std::initializer_list<DialogAnswer> answers = {});
  ~ScriptedDialogs();

private:
  DialogHook previous_;
};

// "desc|patterns|..." as Qt name filters: patterns separated by ";" become
// space-separated, and "*.*" becomes "*" (on this platform a name need not
// have a dot). The description is shown as it stands.
QStringList NameFiltersFromPipeList(const QString &pipeFilter);

// --- CP932 helpers used by the windows -------------------------------------

struct FileDialogOptions {
  QString title;
  QString filter;      // "desc|patterns|..."
  int filterIndex = 1; // in: preselected; see `chosenFilter` below
  QString defaultSuffix;
  std::string initialPath; // CP932: preset file (or directory) path
  // The kind of file asked for ("Text", "Html", ...): the dialog starts in
  // the folder last chosen for this kind (remembered per user), with the
  // name of `initialPath`; the folder of a chosen file is remembered.
  std::string folderKind;
  bool mustExist = false;
  bool confirmOverwrite = false;
  bool refuseReadOnly = false;  // a read-only file is explained and the dialog asked again
  bool folderMustExist = false; // so is a file in a folder that does not exist
};

// True and `path` (CP932) set when the user confirmed a file CP932 can name.
// `chosenFilter`, when given, receives the 1-based filter entry in force.
bool OpenFileName(QWidget *parent, const FileDialogOptions &options, std::string &path,
                  int *chosenFilter = nullptr);
bool SaveFileName(QWidget *parent, const FileDialogOptions &options, std::string &path,
                  int *chosenFilter = nullptr);

// `dir` (CP932) is the start directory in and the chosen one out, with a
// trailing separator. With `createMissing` a chosen directory that does not
// exist is created after the user agreed; a refusal or failure is false.
// With `folderKind`, it starts in the directory last chosen for that kind
// when there is one, and remembers the one chosen. `prompt`, when given, says
// in the dialog what the folder is for.
bool SelectDirectory(QWidget *parent, const QString &title, std::string &dir,
                     bool createMissing = false, const std::string &folderKind = {},
                     const QString &prompt = {});

// A title (CP932) as the name of a file to propose: separators and control
// characters become "_"; "export" when nothing usable is left. `suffix`
// (".txt") follows.
std::string FileNameOfTitle(const std::string &title, const std::string &suffix);

// The folder last chosen for a kind of file, with its separator; empty when
// none is remembered or it is gone.
std::string LastFolder(const std::string &folderKind);

bool SelectFont(QWidget *parent, const QString &title, QFont &font);

// Input box. `text` (CP932) is the preset in and the typed text out. Text CP932
// cannot hold is explained and the box is shown again with it.
bool InputText(QWidget *parent, const QString &caption, const QString &prompt, std::string &text);

} // namespace ui
