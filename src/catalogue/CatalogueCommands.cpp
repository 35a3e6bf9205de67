// The catalogue's commands other than opening: choose the root folder, create
// a project, make a shortcut file (and register its type with the desktop),
// delete a project, import an exchange file, show a project's properties, set
// the author, About, leave.
#include "catalogue/AboutForm.h"
#include "catalogue/DesktopRegistration.h"
#include "catalogue/ProjectControlForm.h"
#include "catalogue/ProjectPropertyForm.h"
#include "catalogue/SelectThema.h"
#include "editor/VaveMain.h"
#include "store/FileSystem.h"
#include "store/IniFile.h"
#include "store/LibUnit.h"
#include "store/RegIniFile.h"
#include "ui/BusyCursor.h"
#include "ui/Dialogs.h"
#include "ui/ErrorText.h"
#include "ui/MessageBox.h"
#include "ui/Text.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLayout>
#include <QProgressDialog>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>
#include <climits>

namespace {

std::string g_programDir; // for tests; empty: the real one

// True when `dir` is a symbolic link itself (not what it points to).
bool IsSymbolicLink(const std::string &dir) {
  const std::string path = RemovePathSeparator(dir);
  const std::string name = ExtractFileName(path);
  std::vector<fsys::Entry> entries;
  if (name.empty() || !fsys::ListDirectory(ExtractFilePath(path), entries))
    return false;
  for (const fsys::Entry &e : entries)
    if (e.name == name)
      return e.isSymlink;
  return false;
}

// A project name becomes one directory directly below the root: nothing that
// would name another place.
bool UsableProjectName(const std::string &name) {
  return name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

} // namespace

std::string TSelectThemaForm::ProgramDir() {
  if (!g_programDir.empty())
    return g_programDir;
  std::string dir;
  if (!ui::PathFromQString(QCoreApplication::applicationDirPath(), dir))
    return std::string();
  return AddPathSeparator(dir);
}

void TSelectThemaForm::SetProgramDirForTest(const std::string &dir) { g_programDir = dir; }

// --------------------------------------------------------- choose folder ----

namespace {
// True when `dir` or one of its three nearest parents holds a CMake cache.
bool IsInBuildTree(const std::string &dir) {
  std::string d = RemovePathSeparator(dir);
  for (int level = 0; level < 4 && !d.empty(); ++level) {
    if (fsys::FileExists(d + "/CMakeCache.txt"))
      return true;
    d = RemovePathSeparator(ExtractFilePath(d));
  }
  return false;
}
} // namespace

void TSelectThemaForm::SelectFolderAction() {
  std::string dir = RootDir;
  if (dir.empty() && !ui::PathFromQString(QDir::homePath(), dir))
    dir.clear();
  if (ui::SelectDirectory(this, QStringLiteral(u"ﾌｫﾙﾀﾞの指定"), dir, true)) {
    RootDir = AddPathSeparator(dir);
    RememberRootDir();
    RefreshProjectList();
    return;
  }
  if (!RootDir.empty())
    return;
  // Without a root the program's own directory serves, as long as projects
  // can be made there; an installed program's directory is not writable, and
  // a folder in the home directory takes its place.
  // A program run from its build tree does not count either: cleaning the
  // build would take the user's projects with it.
  const std::string programDir = ProgramDir();
  QString text = QStringLiteral(u"プロジェクトディレクトリが指定されていません\r\n");
  const bool inBuildTree = IsInBuildTree(programDir);
  fsys::Status made;
  if (!programDir.empty() && !inBuildTree &&
      QFileInfo(ui::PathToQString(programDir)).isWritable()) {
    RootDir = programDir;
  } else {
    std::string home;
    if (!ui::PathFromQString(QDir::homePath(), home))
      home = "/tmp";
    RootDir = AddPathSeparator(AddPathSeparator(home) + "Orvane");
    made = fsys::CreateDirectories(RootDir);
    text += QStringLiteral(u"プログラムのディレクトリ(") + ui::PathToQString(programDir) +
            (inBuildTree ? QStringLiteral(u")はビルド用のディレクトリです\r\n")
                         : QStringLiteral(u")には書き込めません\r\n"));
  }
  text += QStringLiteral(u"デフォルトディレクトリ(") + ui::PathToQString(RootDir) +
          QStringLiteral(u")を使用します");
  if (!made) // said in the same box: projects cannot be made there until it is
    text += QStringLiteral(u"\r\n\r\nそのフォルダを作成できません") + ui::FileErrorText(made);
  ShowMessageBox(text, made ? ui::MsgIcon::Information : ui::MsgIcon::Warning, ui::MsgButtons::Ok);
  RememberRootDir();
  RefreshProjectList();
}

void TSelectThemaForm::RememberRootDir() {
  // Kept at once, not only when the catalogue closes: a session that ends
  // without closing it should not ask for the folder again.
  TRegIniFile reg;
  reg.WriteString("Main", "RootDir", RootDir);
  (void)reg.UpdateFile(); // a convenience, as all settings: written again at the close
}

// ---------------------------------------------------------------- create ----

void TSelectThemaForm::CreateProjectAction() {
  if (RootDir.empty()) {
    SelectFolderAction();
    if (RootDir.empty())
      return;
  }
  std::string name;
  for (;;) {
    if (!ui::InputText(this, QStringLiteral(u"プロジェクトの作成"),
                       QStringLiteral(u"新しいプロジェクト名を指定して下さい"), name))
      return;
    if (UsableProjectName(name))
      break;
    ShowMessageBox(QStringLiteral(u"プロジェクト名に \"/\" は使えません\r\n"
                                  u"\".\" と \"..\" だけの名前も使えません"),
                   ui::MsgIcon::Warning, ui::MsgButtons::Ok);
  }
  const std::string base = AddPathSeparator(RootDir);
  std::string candidate = base + name;
  // A file of the name blocks it as much as a directory does.
  for (int n = 0; fsys::Exists(candidate); ++n)
    candidate = base + name + std::to_string(n);
  if (fsys::Status s = fsys::CreateDirectories(candidate); !s) {
    ShowMessageBox(QStringLiteral(u"プロジェクトのディレクトリを作成できません") +
                       ui::FileErrorText(s),
                   ui::MsgIcon::Error, ui::MsgButtons::Ok);
    return;
  }
  auto entry = std::make_unique<TProjectData>();
  entry->Directory = AddPathSeparator(candidate);
  entry->Title = name;
  entry->IsNew = true;
  entry->FromShortcut = false;
  TProjectData *e = entry.get();
  TProjectItem *item = AddRow(std::move(entry));
  if (!OpenProject(e)) {
    // The editor has said why; no project came to be, so neither a row nor
    // the empty directory stays.
    RemoveRow(item);
    (void)fsys::RemoveDirectory(candidate); // an empty folder left over holds nothing of the user's
    return;
  }
  // The date column stays empty until the editor reports its first save.
  SortProjectList();
  MakeCurrent(e);
  ShowCount();
}

// -------------------------------------------------------------- shortcut ----

void TSelectThemaForm::CreateShortcutAction() {
  TProjectData *entry = Selected();
  if (!entry)
    return;
  ui::FileDialogOptions o;
  o.title = QStringLiteral(u"アイデアへのショートカット作成");
  o.filter = QStringLiteral(u"ｱｲﾃﾞｱｼｮｰﾄｶｯﾄ(*.ida)|*.ida|すべてのﾌｧｲﾙ(*.*)|*.*");
  o.defaultSuffix = QStringLiteral("ida");
  o.confirmOverwrite = true;
  o.refuseReadOnly = true;
  o.folderMustExist = true;
  // Beside the project (the cleanup would take a file in it), named after it.
  o.initialPath = AddPathSeparator(ExtractFilePath(RemovePathSeparator(entry->Directory))) +
                  ui::FileNameOfTitle(entry->Title, ".ida");
  o.folderKind = "Shortcut";
  std::string path;
  if (!ui::SaveFileName(this, o, path))
    return;
  TIniFile ini(path); // an existing file keeps everything but the one key
  ini.WriteString("Project", "Directory", entry->Directory);
  if (fsys::Status s = ini.UpdateFile(); !s) {
    ShowMessageBox(QStringLiteral(u"ショートカットファイルを作成できません") + ui::FileErrorText(s),
                   ui::MsgIcon::Error, ui::MsgButtons::Ok);
    return;
  }
  RegisterShortcutType();
}

void TSelectThemaForm::RegisterShortcutType() {
  if (desktop::RegisterShortcutType(QCoreApplication::applicationFilePath()) ==
      desktop::Registration::Failed)
    ShowMessageBox(QStringLiteral(u"レジストリを変更できません"), ui::MsgIcon::Error,
                   ui::MsgButtons::Ok);
}

// ---------------------------------------------------------------- delete ----

void TSelectThemaForm::DeleteProjectAction() {
  TProjectData *entry = Selected();
  if (!entry)
    return;
  const std::string dir = entry->Directory;
  const QString title = ui::ToQString(entry->Title); // the entry may go with its editor
  // Two projects may share a title: the folder says which one goes.
  if (ShowMessageBox(
          QStringLiteral(u"プロジェクト\"") + title + QStringLiteral(u"\"を削除します\r\n") +
              ui::PathToQString(RemovePathSeparator(dir)) + QStringLiteral(u"\r\nよろしいですか?"),
          ui::MsgIcon::Warning, ui::MsgButtons::YesNo, ui::MsgAnswer::No) != ui::MsgAnswer::Yes)
    return;
  // An editor on the project goes first; if its user keeps it, so do the files.
  if (TVaveMainForm *editor = FindEditor(dir))
    if (!editor->close())
      return;

  bool removed = false;
  if (IsSymbolicLink(dir)) {
    // The project lives elsewhere; only the link to it goes.
    removed = fsys::DeleteFile(RemovePathSeparator(dir)).ok();
  } else {
    ui::BusyCursor busy;
    // Files and links go (a link, never what it points to); real
    // subdirectories and their content stay. A file that cannot be deleted
    // keeps the folder, which is then reported.
    QProgressDialog progress(QStringLiteral(u"プロジェクト\"") + title +
                                 QStringLiteral(u"\"のファイルを削除しています"),
                             QString(), 0, 0, this);
    progress.setWindowTitle(Caption());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(1000);
    QElapsedTimer shown;
    shown.start();
    (void)fsys::DeleteFilesIn(dir, [&](size_t done, size_t total) {
      if (done != total && shown.elapsed() < 50)
        return;
      shown.restart();
      progress.setMaximum(static_cast<int>(std::min<size_t>(total, INT_MAX)));
      progress.setValue(static_cast<int>(std::min<size_t>(done, INT_MAX)));
    });
    removed = fsys::RemoveDirectory(dir).ok();
  }
  if (!removed)
    ShowMessageBox(QStringLiteral(u"ディレクトリ\"") + ui::PathToQString(dir) +
                       QStringLiteral(u"\"が削除できません"),
                   ui::MsgIcon::Error, ui::MsgButtons::Ok);
  RefreshProjectList();
}

// --------------------------------------------------------- import, author ----

TProjectControlForm *TSelectThemaForm::MakeControlWindow() {
  if (!control_)
    control_ = new TProjectControlForm(this);
  return control_;
}

TProjectControlForm *TSelectThemaForm::ControlWindow() const { return control_.data(); }

void TSelectThemaForm::ImportAction() {
  if (RootDir.empty()) {
    SelectFolderAction();
    if (RootDir.empty())
      return;
  }
  if (MakeControlWindow()->ShowControl(TProjectControlForm::ImportPage, RootDir))
    RefreshProjectList();
}

void TSelectThemaForm::AuthorAction() {
  TProjectControlForm *control = MakeControlWindow();
  // The import page can be used from here too, into the current root.
  control->ImportRoot = RootDir;
  Author = control->EditAuthor(Author);
  // The caption up to its first "[" keeps whatever stands before the name.
  QString caption = windowTitle();
  if (const qsizetype at = caption.indexOf(QLatin1Char('[')); at >= 0)
    caption.truncate(at);
  setWindowTitle(caption + QStringLiteral("[") + ui::ToQString(Author) + QStringLiteral("]"));
  if (control->ImportedInDisplay())
    RefreshProjectList();
}

// ------------------------------------------------------------ properties ----

TProjectPropertyForm *TSelectThemaForm::PropertyWindow() const { return property_.data(); }

void TSelectThemaForm::PropertyAction() {
  TProjectData *entry = Selected();
  if (!entry)
    return;
  if (!property_)
    property_ = new TProjectPropertyForm(this);
  TProjectPropertyForm *w = property_;
  // Left and top edges with the catalogue's; a window taller than the
  // catalogue ends at its bottom instead, as long as its top stays on screen.
  w->ensurePolished();
  if (w->layout())
    w->layout()->activate();
  const QRect catalogue = frameGeometry();
  QRect own = w->frameGeometry();
  // Never shown, its frame is not known yet: it gets the catalogue's title
  // bar, and at the bottom a border as at the sides (a dialog of fixed size
  // has no resize handle there).
  if (own.size() == w->size())
    own.setHeight(own.height() + (geometry().top() - catalogue.top()) +
                  (geometry().left() - catalogue.left()));
  int top = catalogue.top();
  if (own.height() > catalogue.height()) {
    const int aligned = catalogue.bottom() - own.height() + 1;
    if (aligned > 0)
      top = aligned;
  }
  w->move(catalogue.left(), top);
  w->ShowProperties(entry->Directory);
}

// ----------------------------------------------------------- about, leave ----

void TSelectThemaForm::AboutAction() {
  if (!about_)
    about_ = new TAboutForm(this);
  QIcon icon = QApplication::windowIcon();
  if (icon.isNull())
    icon = style()->standardIcon(QStyle::SP_FileDialogDetailedView);
  about_->SetIcon(icon);
  about_->show();
  about_->raise();
  about_->activateWindow();
}

void TSelectThemaForm::ExitAction() { close(); }
