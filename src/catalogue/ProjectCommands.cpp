// The catalogue's project commands: open, choose the root folder, create a
// project, make a shortcut file (and register its type with the desktop),
// delete a project, import an exchange file, show a project's properties, set
// the author.
#include "catalogue/ProjectCommands.h"

#include "editor/RecoveryCommands.h"

#include "catalogue/DesktopRegistration.h"
#include "catalogue/OpenEditors.h"
#include "catalogue/ProjectControlForm.h"
#include "catalogue/ProjectList.h"
#include "catalogue/ProjectPropertyForm.h"
#include "editor/VaveMain.h"
#include "store/Codec.h"
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
#include <QLayout>
#include <QMainWindow>
#include <QProgressDialog>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace {

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

// The folders (not links) directly in `dir`, by name: a delete never goes
// into them.
QStringList FoldersIn(const std::string &dir) {
  std::vector<fsys::Entry> entries;
  QStringList names;
  if (fsys::ListDirectory(dir, entries))
    for (const fsys::Entry &e : entries)
      if (e.isDirectory && !e.isSymlink)
        names << ui::PathToQString(e.name);
  names.sort();
  return names;
}

// A project name becomes one directory directly below the root: nothing that
// would name another place.
bool UsableProjectName(const std::string &name) {
  return name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

} // namespace

TProjectCommands::TProjectCommands(TCatalogueContext &catalogue) : cat_(catalogue) {}

void TProjectCommands::Bind() {
  using A = TCatalogueAction;
  const auto selected = [this] { return cat_.List().Selected() != nullptr; };
  TCatalogueActions &a = cat_.Actions();
  a.Bind(A::SelectFolderAction, [this] { SelectFolderAction(); });
  a.Bind(A::CreateProjectAction, [this] { CreateProjectAction(); });
  a.Bind(A::PopupCreateMenu, [this] { CreateProjectAction(); });
  a.Bind(A::ImportAction, [this] { ImportAction(); });
  a.Bind(A::RecoveryAction, [this] { RecoveryAction(); });
  a.Bind(A::AuthorAction, [this] { AuthorAction(); });
  a.Bind(
      A::OpenProjectAction, [this] { OpenProjectAction(); }, selected);
  a.Bind(
      A::PopupOpenMenu, [this] { OpenProjectAction(); }, selected);
  a.Bind(
      A::CreateShortcutAction, [this] { CreateShortcutAction(); }, selected);
  a.Bind(
      A::PopupShortcutMenu, [this] { CreateShortcutAction(); }, selected);
  a.Bind(
      A::DeleteProjectAction, [this] { DeleteProjectAction(); }, selected);
  a.Bind(
      A::PopupDeleteMenu, [this] { DeleteProjectAction(); }, selected);
  a.Bind(
      A::PropertyAction, [this] { PropertyAction(); }, selected);
  a.Bind(
      A::PopupPropertyMenu, [this] { PropertyAction(); }, selected);
}

// ------------------------------------------------------------------ open ----

void TProjectCommands::OpenProjectAction() {
  TProjectData *entry = cat_.List().Selected();
  if (!entry)
    return;
  cat_.OpenEditors().OpenProject(entry);
}

// --------------------------------------------------------- choose folder ----

void TProjectCommands::SelectFolderAction() {
  std::string dir = cat_.RootDir();
  if (dir.empty() && !ui::PathFromQString(QDir::homePath(), dir))
    dir.clear();
  if (ui::SelectDirectory(cat_.Window(), QStringLiteral(u"ﾌｫﾙﾀﾞの指定"), dir, true, {},
                          QStringLiteral(u"プロジェクトを置くフォルダを選んで下さい。"
                                         u"プロジェクトはそれぞれ、このフォルダの中の"
                                         u"フォルダになります。\n"
                                         u"取り消すと、ホームフォルダの Orvane を使います。"))) {
    cat_.SetRootDir(AddPathSeparator(dir));
    RememberRootDir();
    cat_.List().RefreshProjectList();
    return;
  }
  if (!cat_.RootDir().empty())
    return;
  // Without a root a folder in the home directory serves. Never the
  // program's own: installed, that is a system folder (writable to root),
  // and in a build tree cleaning the build would take the projects with it.
  std::string home;
  if (!ui::PathFromQString(QDir::homePath(), home))
    home = "/tmp";
  cat_.SetRootDir(AddPathSeparator(AddPathSeparator(home) + "Orvane"));
  const fsys::Status made = fsys::CreateDirectories(cat_.RootDir());
  QString text = QStringLiteral(u"プロジェクトディレクトリが指定されていません\r\n"
                                u"デフォルトディレクトリ(") +
                 ui::PathToQString(cat_.RootDir()) + QStringLiteral(u")を使用します");
  if (!made) // said in the same box: projects cannot be made there until it is
    text += QStringLiteral(u"\r\n\r\nそのフォルダを作成できません") + ui::FileErrorText(made);
  cat_.ShowMessageBox(text, made ? ui::MsgIcon::Information : ui::MsgIcon::Warning,
                      ui::MsgButtons::Ok);
  RememberRootDir();
  cat_.List().RefreshProjectList();
}

void TProjectCommands::RememberRootDir() {
  // Kept at once, not only when the catalogue closes: a session that ends
  // without closing it should not ask for the folder again.
  TRegIniFile reg;
  reg.WriteString("Main", "RootDir", cat_.RootDir());
  (void)reg.UpdateFile(); // a convenience, as all settings: written again at the close
}

// ---------------------------------------------------------------- create ----

void TProjectCommands::CreateProjectAction() {
  if (cat_.RootDir().empty()) {
    SelectFolderAction();
    if (cat_.RootDir().empty())
      return;
  }
  std::string name;
  for (;;) {
    if (!ui::InputText(cat_.Window(), QStringLiteral(u"プロジェクトの作成"),
                       QStringLiteral(u"新しいプロジェクト名を指定して下さい"), name))
      return;
    if (UsableProjectName(name))
      break;
    cat_.ShowMessageBox(QStringLiteral(u"プロジェクト名に \"/\" は使えません\r\n"
                                       u"\".\" と \"..\" だけの名前も使えません"),
                        ui::MsgIcon::Warning, ui::MsgButtons::Ok);
  }
  const std::string base = AddPathSeparator(cat_.RootDir());
  std::string candidate = base + name;
  // A file of the name blocks it as much as a directory does.
  for (int n = 0; fsys::Exists(candidate); ++n)
    candidate = base + name + std::to_string(n);
  if (fsys::Status s = fsys::CreateDirectories(candidate); !s) {
    cat_.ShowMessageBox(QStringLiteral(u"プロジェクトのディレクトリを作成できません") +
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
  TProjectItem *item = cat_.List().AddRow(std::move(entry));
  if (!cat_.OpenEditors().OpenProject(e)) {
    // The editor has said why; no project came to be, so neither a row nor
    // the empty directory stays.
    cat_.List().RemoveRow(item);
    (void)fsys::RemoveDirectory(candidate); // an empty folder left over holds nothing of the user's
    return;
  }
  // The date column stays empty until the editor reports its first save.
  cat_.List().SortProjectList();
  cat_.List().MakeCurrent(e);
  cat_.ShowCount();
}

// -------------------------------------------------------------- shortcut ----

void TProjectCommands::CreateShortcutAction() {
  TProjectData *entry = cat_.List().Selected();
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
  if (!ui::SaveFileName(cat_.Window(), o, path))
    return;
  TIniFile ini(path); // an existing file keeps everything but the one key
  ini.WriteString("Project", "Directory", entry->Directory);
  if (fsys::Status s = ini.UpdateFile(); !s) {
    cat_.ShowMessageBox(QStringLiteral(u"ショートカットファイルを作成できません") +
                            ui::FileErrorText(s),
                        ui::MsgIcon::Error, ui::MsgButtons::Ok);
    return;
  }
  RegisterShortcutType();
}

void TProjectCommands::RegisterShortcutType() {
  if (desktop::RegisterShortcutType(QCoreApplication::applicationFilePath()) ==
      desktop::Registration::Failed)
    cat_.ShowMessageBox(QStringLiteral(u"レジストリを変更できません"), ui::MsgIcon::Error,
                        ui::MsgButtons::Ok);
}

// ---------------------------------------------------------------- delete ----

void TProjectCommands::DeleteProjectAction() {
  TProjectData *entry = cat_.List().Selected();
  if (!entry)
    return;
  const std::string dir = entry->Directory;
  const QString title = ui::ToQString(entry->Title); // the entry may go with its editor
  // Its recovery copies go with it: a new project of the same name later
  // must not be offered them.
  const std::vector<recovery::Copy> copies =
      recovery::CopiesOf(TRecoveryCommands::Root(), dir, entry->Identity, true);
  // Two projects may share a title: the folder says which one goes.
  if (cat_.ShowMessageBox(
          QStringLiteral(u"プロジェクト\"") + title + QStringLiteral(u"\"を削除します\r\n") +
              ui::PathToQString(RemovePathSeparator(dir)) +
              (copies.empty()
                   ? QString()
                   : QString::fromUtf16(u"\r\n保存されていない変更の復元データ %1 件も削除します")
                         .arg(copies.size())) +
              QStringLiteral(u"\r\nよろしいですか?"),
          ui::MsgIcon::Warning, ui::MsgButtons::YesNo, ui::MsgAnswer::No) != ui::MsgAnswer::Yes)
    return;
  // An editor on the project goes first; if its user keeps it, so do the files.
  if (TVaveMainForm *editor = cat_.OpenEditors().FindEditor(dir))
    if (!editor->close())
      return;

  bool removed = false;
  fsys::Status failed; // the first file that could not go, and why
  QStringList left;    // the folders a delete leaves whole
  if (IsSymbolicLink(dir)) {
    // The project lives elsewhere; only the link to it goes.
    failed = fsys::DeleteFile(RemovePathSeparator(dir));
    removed = failed.ok();
  } else {
    ui::BusyCursor busy;
    // Files and links go (a link, never what it points to); real
    // subdirectories and their content stay. A file that cannot be deleted
    // keeps the folder, which is then reported.
    QProgressDialog progress(QStringLiteral(u"プロジェクト\"") + title +
                                 QStringLiteral(u"\"のファイルを削除しています"),
                             QString(), 0, 0, cat_.Window());
    progress.setWindowTitle(cat_.Caption());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(1000);
    QElapsedTimer shown;
    shown.start();
    failed = fsys::DeleteFilesIn(dir, [&](size_t done, size_t total) {
      if (done != total && shown.elapsed() < 50)
        return;
      shown.restart();
      progress.setMaximum(static_cast<int>(std::min<size_t>(total, INT_MAX)));
      progress.setValue(static_cast<int>(std::min<size_t>(done, INT_MAX)));
    });
    const fsys::Status gone = fsys::RemoveDirectory(dir);
    removed = gone.ok();
    if (!removed && failed.ok() && gone.code != ENOTEMPTY)
      failed = gone;
    if (!removed)
      left = FoldersIn(dir);
  }
  if (removed)
    for (const recovery::Copy &c : copies)
      (void)recovery::Remove(TRecoveryCommands::Root(), c.entry.Path); // listed by check otherwise
  if (!removed) {
    // What stays, and why: a file that could not go, a folder of its own.
    QString text = QStringLiteral(u"ディレクトリ\"") + ui::PathToQString(dir) +
                   QStringLiteral(u"\"が削除できません") + ui::FileErrorText(failed);
    if (!left.isEmpty())
      text += QStringLiteral(u"\r\n\r\n次のフォルダは中身ごと残しました: ") +
              left.join(QStringLiteral(", "));
    cat_.ShowMessageBox(text, ui::MsgIcon::Error, ui::MsgButtons::Ok);
  }
  // The list as the disk now is; the selection on the row that took this
  // one's place.
  cat_.List().RefreshProjectList();
}

void TProjectCommands::RecoveryAction() {
  const std::vector<recovery::Copy> orphans = cat_.List().Orphans();
  if (orphans.empty()) {
    cat_.ShowMessageBox(QString::fromUtf16(u"行き先のない復元データはありません"),
                        ui::MsgIcon::Information, ui::MsgButtons::Ok);
    return;
  }
  const std::string root = TRecoveryCommands::Root();
  for (size_t i = 0; i < orphans.size(); ++i) {
    const recovery::Entry &e = orphans[i].entry;
    const QString where =
        QStringLiteral("  %1 / %2\r\n").arg(i + 1).arg(orphans.size()) + ui::PathToQString(e.Path);
    ui::MsgAnswer answer = ui::MsgAnswer::No;
    if (orphans[i].damaged()) {
      answer = cat_.ShowMessageBox(QString::fromUtf16(u"壊れていて読み込めない復元データです。") +
                                       where + ui::FileErrorText(orphans[i].status),
                                   ui::MsgIcon::Warning, ui::MsgButtons::OkCancel,
                                   ui::MsgAnswer::Cancel);
      if (answer != ui::MsgAnswer::Ok)
        continue;
    } else {
      ui::MessageBoxRequest r;
      r.parent = cat_.Window();
      r.caption = cat_.Caption();
      r.text = QString::fromUtf16(u"プロジェクトが見つからない復元データがあります。") + where +
               QString::fromUtf16(u"\r\n元の場所: ") + ui::PathToQString(e.Dir) +
               QStringLiteral(" (") + ui::ToQString(e.Made) + QStringLiteral(")\r\n") +
               QString::fromUtf16(u"内容: アイテムの本文 %1 件").arg(e.Items.size()) +
               QString::fromUtf16(u"\r\n新しいプロジェクトとして復元しますか?");
      r.icon = ui::MsgIcon::Question;
      r.buttons = ui::MsgButtons::YesNoCancel;
      r.defaultButton = ui::MsgAnswer::Yes;
      r.labels = {QString::fromUtf16(u"復元する(&R)"), QString::fromUtf16(u"破棄する(&D)"),
                  QString::fromUtf16(u"後で決める(&L)")};
      answer = ui::ShowMessageBox(r);
    }
    if (answer == ui::MsgAnswer::Yes) {
      std::string dir;
      for (int n = 1; dir.empty() || fsys::Exists(dir); ++n)
        dir = cat_.RootDir() + cp932::FromUtf8("復元データ").bytes + std::to_string(n) + "/";
      fsys::Status made = fsys::CreateDirectories(dir);
      if (made)
        made = recovery::MakeProject(e, dir, cp932::FromUtf8("復元データ ").bytes + e.Made,
                                     cat_.Author());
      if (!made) {
        cat_.ShowMessageBox(QString::fromUtf16(u"プロジェクトを作成できません") +
                                ui::FileErrorText(made),
                            ui::MsgIcon::Error, ui::MsgButtons::Ok);
        continue;
      }
    } else if (answer == ui::MsgAnswer::Cancel ||
               (!orphans[i].damaged() &&
                cat_.ShowMessageBox(
                    QString::fromUtf16(u"復元データを破棄しますか?\r\n元に戻すことはできません。"),
                    ui::MsgIcon::Warning, ui::MsgButtons::YesNo,
                    ui::MsgAnswer::No) != ui::MsgAnswer::Yes)) {
      continue;
    }
    if (fsys::Status s = recovery::Remove(root, e.Path); !s)
      cat_.ShowMessageBox(QString::fromUtf16(u"復元データを削除できません") + ui::FileErrorText(s),
                          ui::MsgIcon::Error, ui::MsgButtons::Ok);
  }
  cat_.List().RefreshProjectList();
}

// --------------------------------------------------------- import, author ----

TProjectControlForm *TProjectCommands::MakeControlWindow() {
  if (!control_)
    control_ = new TProjectControlForm(cat_.Window());
  return control_;
}

TProjectControlForm *TProjectCommands::ControlWindow() const { return control_.data(); }

void TProjectCommands::ImportAction() {
  if (cat_.RootDir().empty()) {
    SelectFolderAction();
    if (cat_.RootDir().empty())
      return;
  }
  if (MakeControlWindow()->ShowControl(TProjectControlForm::ImportPage, cat_.RootDir()))
    cat_.List().RefreshProjectList();
}

void TProjectCommands::AuthorAction() {
  TProjectControlForm *control = MakeControlWindow();
  // The import page can be used from here too, into the current root.
  control->ImportRoot = cat_.RootDir();
  cat_.SetAuthor(control->EditAuthor(cat_.Author()));
  // The caption up to its first "[" keeps whatever stands before the name.
  QMainWindow *window = cat_.Window();
  QString caption = window->windowTitle();
  if (const qsizetype at = caption.indexOf(QLatin1Char('[')); at >= 0)
    caption.truncate(at);
  window->setWindowTitle(caption + QStringLiteral("[") + ui::ToQString(cat_.Author()) +
                         QStringLiteral("]"));
  if (control->ImportedInDisplay())
    cat_.List().RefreshProjectList();
}

// ------------------------------------------------------------ properties ----

TProjectPropertyForm *TProjectCommands::PropertyWindow() const { return property_.data(); }

void TProjectCommands::PropertyAction() {
  TProjectData *entry = cat_.List().Selected();
  if (!entry)
    return;
  if (!property_)
    property_ = new TProjectPropertyForm(cat_.Window());
  TProjectPropertyForm *w = property_;
  // Left and top edges with the catalogue's; a window taller than the
  // catalogue ends at its bottom instead, as long as its top stays on screen.
  w->ensurePolished();
  if (w->layout())
    w->layout()->activate();
  const QMainWindow *window = cat_.Window();
  const QRect catalogue = window->frameGeometry();
  QRect own = w->frameGeometry();
  // Never shown, its frame is not known yet: it gets the catalogue's title
  // bar, and at the bottom a border as at the sides (a dialog of fixed size
  // has no resize handle there).
  if (own.size() == w->size())
    own.setHeight(own.height() + (window->geometry().top() - catalogue.top()) +
                  (window->geometry().left() - catalogue.left()));
  int top = catalogue.top();
  if (own.height() > catalogue.height()) {
    const int aligned = catalogue.bottom() - own.height() + 1;
    if (aligned > 0)
      top = aligned;
  }
  w->move(catalogue.left(), top);
  w->ShowProperties(entry->Directory);
}
