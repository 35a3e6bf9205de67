// The editor windows of the catalogue: opening projects in them, shortcut
// files, the editors' reports, and closing them.
#include "catalogue/OpenEditors.h"

#include "catalogue/ProjectList.h"
#include "editor/VaveMain.h"
#include "store/FileSystem.h"
#include "store/IniFile.h"
#include "store/LibUnit.h"
#include "store/Project.h"
#include "ui/Text.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QMainWindow>

#include <algorithm>
#include <exception>

namespace {

// The same directory: the same text once both end in a separator, or the
// same directory on disk reached by another path.
bool SameDirectory(const std::string &a, const std::string &b) {
  if (a.empty() || b.empty())
    return false;
  return AddPathSeparator(a) == AddPathSeparator(b) || fsys::SameFile(a, b);
}

} // namespace

TOpenEditors::TOpenEditors(TCatalogueContext &catalogue) : cat_(catalogue) {}

TOpenEditors::~TOpenEditors() {
  for (const auto &editor : editors_)
    if (editor) {
      editor->disconnect(cat_.Window());
      delete editor.data();
    }
}

std::vector<TVaveMainForm *> TOpenEditors::Editors() const {
  std::vector<TVaveMainForm *> out;
  for (const auto &e : editors_)
    if (e && !e->IsClosing() && !e->OpenFailed())
      out.push_back(e.data());
  return out;
}

TVaveMainForm *TOpenEditors::FindEditor(const std::string &directory) const {
  for (TVaveMainForm *e : Editors())
    if (e->IsShowing(directory))
      return e;
  return nullptr;
}

bool TOpenEditors::OpenProject(TProjectData *entry) {
  if (!entry)
    return false;
  // No hourglass here: the editor shows its own while it loads, and one
  // over the editor's messages would hide that they wait for the user.
  // A new project has a directory of its own that no editor can show yet.
  if (!entry->IsNew)
    if (TVaveMainForm *open = FindEditor(entry->Directory)) {
      entry->EditorWindow = open;
      open->WM_ACTIVATE_EDITOR();
      return true;
    }
  try {
    // Not a child of the catalogue: an editor is a window of its own that
    // neither minimises with the catalogue nor stays above it. The catalogue
    // still closes every editor it made before it goes.
    auto *editor = new TVaveMainForm(nullptr);
    editors_.erase(std::remove(editors_.begin(), editors_.end(), nullptr), editors_.end());
    editors_.emplace_back(editor);
    entry->EditorWindow = editor;
    // Shortcut editors report their saves too, so a row of the same project
    // shows the new date.
    QMainWindow *window = cat_.Window();
    QObject::connect(editor, &TVaveMainForm::projectSaved, window,
                     [this](TVaveMainForm *from, const std::string &dir, const TDateTime &date,
                            const std::string &title) { ProjectSaved(from, dir, date, title); });
    if (entry->FromShortcut)
      QObject::connect(editor, &TVaveMainForm::editorClosing, window,
                       [this](TVaveMainForm *from) { ShortcutEditorClosed(from); });
    else
      QObject::connect(editor, &TVaveMainForm::editorClosing, window,
                       [this](TVaveMainForm *from) { EditorClosed(from); });
    editor->SetAuthor(cat_.Author());
    bool ok = false;
    if (entry->IsNew) {
      ok = editor->NewProject(entry->Directory, entry->Title);
      entry->IsNew = false;
    } else {
      ok = editor->OpenProjectDir(entry->Directory);
    }
    // A failed editor has told the user and closes itself.
    if (!ok)
      entry->EditorWindow = nullptr;
    return ok;
  } catch (const std::exception &e) {
    // What the editor could not get (memory, a thread) is told, not dropped.
    entry->EditorWindow = nullptr;
    cat_.ShowMessageBox(QString::fromUtf16(u"プロジェクトを開けません\r\n") +
                            ui::PathToQString(entry->Directory) + QStringLiteral("\r\n") +
                            QString::fromLocal8Bit(e.what()),
                        ui::MsgIcon::Error, ui::MsgButtons::Ok);
    return false;
  } catch (...) {
    entry->EditorWindow = nullptr;
    cat_.ShowMessageBox(QString::fromUtf16(u"プロジェクトを開けません\r\n") +
                            ui::PathToQString(entry->Directory),
                        ui::MsgIcon::Error, ui::MsgButtons::Ok);
    return false;
  }
}

// -------------------------------------------------------------- reports ----

void TOpenEditors::ProjectSaved(TVaveMainForm *, const std::string &dir, const TDateTime &date,
                                const std::string &title) {
  TProjectList &list = cat_.List();
  int found = -1;
  for (int i = 0; i < list.RowCount() && found < 0; ++i) {
    const TProjectData *entry = list.Row(i);
    if (!entry)
      cat_.ShowMessageBox(QStringLiteral(u"みにゃ～"), ui::MsgIcon::None, ui::MsgButtons::Ok);
    else if (entry->Directory == dir)
      found = i;
  }
  // An editor opened from a shortcut may name the directory another way.
  for (int i = 0; i < list.RowCount() && found < 0; ++i)
    if (list.Row(i) && SameDirectory(list.Row(i)->Directory, dir))
      found = i;
  if (found < 0)
    return;
  TProjectData *e = list.Row(found);
  e->Title = title;
  e->LastUpdate = date;
  e->IsNew = false;
  list.ShowRow(list.Item(found));
  list.SortProjectList();
}

TProjectData *TOpenEditors::ForgetEditor(const std::vector<TProjectData *> &entries,
                                         TVaveMainForm *editor, const QString &complaint) {
  for (TProjectData *e : entries) {
    if (!e) {
      cat_.ShowMessageBox(complaint, ui::MsgIcon::None, ui::MsgButtons::Ok);
      continue;
    }
    if (e->EditorWindow == editor) {
      e->EditorWindow = nullptr;
      return e;
    }
  }
  return nullptr;
}

void TOpenEditors::EditorClosed(TVaveMainForm *editor) {
  TProjectList &list = cat_.List();
  std::vector<TProjectData *> rows;
  for (int i = 0; i < list.RowCount(); ++i)
    rows.push_back(list.Row(i));
  // The project just closed is the one the user is most likely to reopen.
  TProjectData *closed = ForgetEditor(rows, editor, QStringLiteral(u"にゃ～"));
  if (closed && !cat_.Closing())
    list.MakeCurrent(closed);
  for (int i = 0; closed && i < list.RowCount(); ++i)
    if (list.Row(i) == closed)
      list.ShowRow(list.Item(i)); // its recovery mark went with the close
}

void TOpenEditors::ShortcutEditorClosed(TVaveMainForm *editor) {
  std::vector<TProjectData *> entries;
  for (const auto &e : shortcutProjects_)
    entries.push_back(e.get());
  ForgetEditor(entries, editor, QStringLiteral(u"ふにゃ～"));
  if (!cat_.Closing())
    cat_.ComeForward();
}

void TOpenEditors::ApplicationDeactivate() {
  TProjectList &list = cat_.List();
  try {
    for (int i = 0; i < list.RowCount(); ++i)
      if (TProjectData *e = list.Row(i); e && e->EditorWindow) {
        QEvent deactivate(QEvent::WindowDeactivate);
        QCoreApplication::sendEvent(e->EditorWindow.data(), &deactivate);
      }
  } catch (...) {
    cat_.ShowMessageBox(QStringLiteral(u"にゃう"), ui::MsgIcon::None, ui::MsgButtons::Ok);
  }
}

// ------------------------------------------------------------ shortcuts ----

bool TOpenEditors::OpenShortcutFile(const QString &nativePath) {
  // Relative names mean this process's working directory; the directory a
  // shortcut names relatively means the shortcut's own folder.
  const QFileInfo named(nativePath);
  std::string path, folder;
  const bool nameable = !nativePath.isEmpty() &&
                        ui::PathFromQString(named.absoluteFilePath(), path) &&
                        ui::PathFromQString(named.absolutePath(), folder);
  std::string dir;
  if (nameable && fsys::DirectoryExists(path)) {
    // A project directory itself, as a terminal user names it.
    if (!fsys::FileExists(TProject::TreeFilePath(path))) {
      cat_.ShowMessageBox(QStringLiteral(u"正常なプロジェクトではありません\r\n") + nativePath,
                          ui::MsgIcon::Error, ui::MsgButtons::Ok);
      return false;
    }
    dir = AddPathSeparator(path);
  } else {
    if (!nameable || !fsys::FileExists(path)) {
      cat_.ShowMessageBox(QStringLiteral(u"ショートカットファイルが見つかりません"),
                          ui::MsgIcon::Error, ui::MsgButtons::Ok);
      return false;
    }
    dir = TIniFile(path).ReadString("Project", "Directory", "");
    if (!dir.empty() && dir[0] != '/')
      dir = AddPathSeparator(folder) + dir;
    if (dir.empty() || !fsys::DirectoryExists(dir)) {
      cat_.ShowMessageBox(QStringLiteral(u"プロジェクトが見つかりません"), ui::MsgIcon::Error,
                          ui::MsgButtons::Ok);
      return false;
    }
  }
  auto entry = std::make_unique<TProjectData>();
  entry->Directory = dir;
  entry->IsNew = false;
  entry->FromShortcut = true;
  TProjectData *e = entry.get();
  shortcutProjects_.push_back(std::move(entry));
  return OpenProject(e);
}

void TOpenEditors::WMShortcutHandover(const std::optional<QString> &argument) {
  if (!argument) {
    cat_.ComeForward();
    return;
  }
  // A blank argument is still an argument: it names no shortcut file.
  qsizetype blanks = 0;
  while (blanks < argument->size() && argument->at(blanks) == QLatin1Char(' '))
    ++blanks;
  OpenShortcutFile(argument->mid(blanks));
}

// -------------------------------------------------------------- closing ----

bool TOpenEditors::CloseEditors() {
  // Rows first, then shortcut entries, then editors no entry knows any more.
  TProjectList &list = cat_.List();
  std::vector<QPointer<TVaveMainForm>> order;
  for (int i = 0; i < list.RowCount(); ++i)
    if (TProjectData *e = list.Row(i); e && e->EditorWindow)
      order.push_back(e->EditorWindow);
  for (const auto &e : shortcutProjects_)
    if (e && e->EditorWindow)
      order.push_back(e->EditorWindow);
  order.insert(order.end(), editors_.begin(), editors_.end());
  for (const QPointer<TVaveMainForm> &editor : order) {
    if (!editor || editor->IsClosing())
      continue;
    // An editor whose user chose Cancel keeps its text and the catalogue.
    if (!editor->close())
      return false;
  }
  return true;
}
