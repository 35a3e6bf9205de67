#include "ui/Dialogs.h"

#include "ui/ErrorText.h"

#include "store/FileSystem.h"
#include "store/LibUnit.h"
#include "store/RegIniFile.h"
#include "ui/MessageBox.h"
#include "ui/Text.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

#include <utility>

namespace ui {
namespace {

DialogHook &Hook() {
  static DialogHook hook;
  return hook;
}

// The 1-based entry of `filters` the dialog reports in force. With the details
// hidden Qt may report the shown text (the description alone) instead of the
// entry; the entry is found by either form.
int FilterIndex(const QStringList &filters, const QString &selected) {
  qsizetype i = filters.indexOf(selected);
  if (i < 0) {
    static const QRegularExpression lastParens(QStringLiteral("^(.*)\\([^()]*\\)$"));
    for (qsizetype k = 0; k < filters.size() && i < 0; ++k) {
      QRegularExpressionMatch m = lastParens.match(filters[k]);
      if (m.hasMatch() && m.captured(1).simplified() == selected.simplified())
        i = k;
    }
  }
  return i >= 0 ? static_cast<int>(i) + 1 : 1;
}

// Why a chosen save target cannot be used, or empty when it can.
QString SaveTargetRefusal(const DialogRequest &r, const QString &osPath) {
  if (r.kind != DialogKind::SaveFile)
    return {};
  QFileInfo fi(osPath);
  if (r.folderMustExist && !QFileInfo(fi.absolutePath()).isDir())
    return QDir::toNativeSeparators(fi.absolutePath()) +
           QStringLiteral(u"\r\nフォルダが存在しません。フォルダを確認して下さい。");
  // The owner's write bit decides, as for every write of the program, so that
  // even a superuser leaves a read-only file as it is.
  if (r.refuseReadOnly && fi.exists() &&
      (!fi.isWritable() || !fi.permissions().testFlag(QFileDevice::WriteOwner)))
    return QDir::toNativeSeparators(fi.absoluteFilePath()) +
           QStringLiteral(u"\r\n読み取り専用のファイルです。別の名前を指定して下さい。");
  return {};
}

// Replacing an existing file is asked here, for Qt's dialog, a native one and
// a scripted answer alike, in Japanese and with No as the answer Enter gives:
// the safe one.
bool ReplaceAgreed(const DialogRequest &r, const QString &osPath) {
  if (r.kind != DialogKind::SaveFile || !r.confirmOverwrite || !QFileInfo::exists(osPath))
    return true;
  const QString shown = QDir::toNativeSeparators(QFileInfo(osPath).absoluteFilePath());
  return ShowMessageBox(r.parent, shown + QStringLiteral(u" は既に存在します。\r\n上書きしますか?"),
                        r.title, MsgIcon::Warning, MsgButtons::YesNo,
                        MsgAnswer::No) == MsgAnswer::Yes;
}

// Qt's own dialog, checking what the program needs before it closes: a refused
// save target is explained while the dialog stays open with what was typed,
// and a typed directory that does not exist yet may be handed back to be
// created.
class FileDialog : public QFileDialog {
public:
  FileDialog(const DialogRequest &r) : QFileDialog(r.parent, r.title), request_(r) {}

  QString chosen() const { return chosen_; }

  // Qt greys out the accept button while the typed directory does not exist;
  // a mouse user must be able to choose one to be created as well.
  void AllowMissingDirectory() {
    auto *name = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    auto *box = findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    if (!name || !box)
      return;
    connect(name, &QLineEdit::textChanged, this, [box](const QString &text) {
      if (QPushButton *ok = box->button(QDialogButtonBox::Open); ok && !text.trimmed().isEmpty())
        ok->setEnabled(true);
    });
  }

protected:
  void accept() override {
    const QStringList files = selectedFiles();
    if (files.isEmpty())
      return QFileDialog::accept();
    const QString file = files.front();
    if (request_.kind == DialogKind::Directory && request_.createMissing &&
        !QFileInfo::exists(file) && !QFileInfo(file).fileName().isEmpty()) {
      chosen_ = file;
      return QDialog::accept();
    }
    if (QString why = SaveTargetRefusal(request_, file); !why.isEmpty()) {
      ShowMessageBox(this, why, windowTitle(), MsgIcon::Warning, MsgButtons::Ok);
      return;
    }
    if (!ReplaceAgreed(request_, file))
      return; // the dialog stays open with what was typed
    replaceAsked_ = request_.kind == DialogKind::SaveFile && request_.confirmOverwrite;
    QFileDialog::accept();
    if (result() == QDialog::Accepted)
      chosen_ = file;
  }

public:
  bool replaceAsked() const { return replaceAsked_; }

private:
  DialogRequest request_;
  QString chosen_;
  bool replaceAsked_ = false;
};

DialogAnswer RunFileDialog(const DialogRequest &r) {
  FileDialog dlg(r);
  // Typing the name of a directory yet to be created needs Qt's own dialog.
  if (r.createMissing) {
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.AllowMissingDirectory();
  }
  // What the chosen folder is for, above Qt's own dialog.
  if (!r.prompt.isEmpty()) {
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    if (auto *grid = qobject_cast<QGridLayout *>(dlg.layout())) {
      auto *prompt = new QLabel(r.prompt, &dlg);
      prompt->setObjectName(QStringLiteral("Prompt"));
      prompt->setWordWrap(true);
      grid->addWidget(prompt, grid->rowCount(), 0, 1, grid->columnCount());
    }
  }
  const QStringList filters = NameFiltersFromPipeList(r.filter);
  switch (r.kind) {
  case DialogKind::OpenFile:
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(r.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    break;
  case DialogKind::SaveFile:
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setOption(QFileDialog::DontConfirmOverwrite); // asked by ReplaceAgreed instead
    break;
  default:
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOption(QFileDialog::ShowDirsOnly);
    break;
  }
  if (!filters.isEmpty()) {
    // The program's descriptions already show their patterns; Qt would add
    // them a second time.
    dlg.setOption(QFileDialog::HideNameFilterDetails);
    dlg.setNameFilters(filters);
    dlg.selectNameFilter(filters.value(r.filterIndex - 1, filters.front()));
  }
  if (!r.defaultSuffix.isEmpty())
    dlg.setDefaultSuffix(r.defaultSuffix);
  if (!r.initial.isEmpty()) {
    QFileInfo fi(r.initial);
    const QFileInfo folder(QDir::cleanPath(fi.absoluteFilePath()));
    if (fi.isDir() && r.preselect && !folder.isRoot()) {
      // Shown from its parent, its name ready to take: a folder that holds
      // the frame set of a big project would keep the dialog listing
      // thousands of pages before it takes a key.
      dlg.setDirectory(folder.absolutePath());
      dlg.selectFile(folder.fileName());
    } else if (fi.isDir()) {
      dlg.setDirectory(r.initial);
    } else {
      dlg.setDirectory(fi.absolutePath());
      dlg.selectFile(fi.fileName());
    }
  }
  if (dlg.exec() != QDialog::Accepted)
    return DialogAnswer::Cancel();
  QString chosen = dlg.chosen();
  if (chosen.isEmpty() && !dlg.selectedFiles().isEmpty()) // a native dialog
    chosen = dlg.selectedFiles().front();
  if (chosen.isEmpty())
    return DialogAnswer::Cancel();
  DialogAnswer a = DialogAnswer::Accept(chosen, FilterIndex(filters, dlg.selectedNameFilter()));
  a.replaceAgreed = dlg.replaceAsked();
  return a;
}

DialogAnswer RunRealDialog(const DialogRequest &r) {
  switch (r.kind) {
  case DialogKind::OpenFile:
  case DialogKind::SaveFile:
  case DialogKind::Directory:
    return RunFileDialog(r);
  case DialogKind::Font: {
    bool ok = false;
    QFont f = QFontDialog::getFont(&ok, r.font, r.parent, r.title);
    return ok ? DialogAnswer::AcceptFont(f) : DialogAnswer::Cancel();
  }
  case DialogKind::InputText: {
    bool ok = false;
    QString s =
        QInputDialog::getText(r.parent, r.title, r.prompt, QLineEdit::Normal, r.initial, &ok);
    return ok ? DialogAnswer::Accept(s) : DialogAnswer::Cancel();
  }
  }
  return DialogAnswer::Cancel();
}

// Runs a file dialog and brings its answer into CP932. A refused save target
// (a native dialog or a scripted answer may hand one back) is explained, and
// an existing file not agreed to be replaced is kept; then the dialog is
// asked again, starting from it.
bool AskForPath(DialogRequest r, std::string &path, int *chosenFilter) {
  DialogAnswer a;
  for (;;) {
    a = RunDialog(r);
    if (!a.accepted || a.text.isEmpty())
      return false;
    QString why = SaveTargetRefusal(r, a.text);
    if (why.isEmpty() && (a.replaceAgreed || ReplaceAgreed(r, a.text)))
      break;
    if (!why.isEmpty())
      ShowMessageBox(r.parent, why, r.title, MsgIcon::Warning, MsgButtons::Ok);
    r.initial = a.text;
    r.filterIndex = a.filterIndex;
  }
  std::string cp;
  if (!PathFromQString(a.text, cp)) {
    ShowMessageBox(r.parent, UnnamablePathExplanation({a.text}), QString(), MsgIcon::Warning,
                   MsgButtons::Ok);
    return false;
  }
  path = std::move(cp);
  if (chosenFilter)
    *chosenFilter = a.filterIndex;
  return true;
}

// The settings' section of the folders last chosen, one value per kind.
constexpr char kFolderSection[] = "Folders";

void RememberFolder(const std::string &folderKind, const std::string &dir) {
  if (folderKind.empty() || dir.empty())
    return;
  TRegIniFile reg;
  reg.WriteString(kFolderSection, folderKind, AddPathSeparator(dir));
  (void)reg.UpdateFile(); // a convenience: not worth a message when it fails
}

DialogRequest FileRequest(DialogKind kind, QWidget *parent, const FileDialogOptions &o) {
  DialogRequest r;
  r.kind = kind;
  r.parent = parent;
  r.title = o.title;
  r.filter = o.filter;
  r.filterIndex = o.filterIndex;
  r.defaultSuffix = o.defaultSuffix;
  r.initial = PathToQString(o.initialPath);
  if (std::string last = LastFolder(o.folderKind); !last.empty())
    r.initial = PathToQString(last + ExtractFileName(o.initialPath));
  r.mustExist = o.mustExist;
  r.confirmOverwrite = o.confirmOverwrite;
  r.refuseReadOnly = o.refuseReadOnly;
  r.folderMustExist = o.folderMustExist;
  return r;
}

} // namespace

DialogAnswer RunDialog(const DialogRequest &request) {
  if (Hook())
    return Hook()(request);
  return RunRealDialog(request);
}

DialogHook SetDialogHook(DialogHook hook) { return std::exchange(Hook(), std::move(hook)); }

ScriptedDialogs::ScriptedDialogs(std::initializer_list<DialogAnswer> answers)
    : ScriptedAnswers(answers) {
  previous_ =
      SetDialogHook([this](const DialogRequest &r) { return Next(r, DialogAnswer::Cancel()); });
}

ScriptedDialogs::~ScriptedDialogs() { SetDialogHook(std::move(previous_)); }

QStringList NameFiltersFromPipeList(const QString &pipeFilter) {
  QStringList out;
  const QStringList parts = pipeFilter.split(QLatin1Char('|'));
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns;
    for (const QString &p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      QString t = p.trimmed();
      patterns << (t == QStringLiteral("*.*") ? QStringLiteral("*") : t);
    }
    // Qt reads the patterns from the last parentheses of an entry.
    out << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return out;
}

std::string FileNameOfTitle(const std::string &title, const std::string &suffix) {
  QString name = ToQString(title);
  static const QRegularExpression unfit(QStringLiteral("[/\\x00-\\x1f\\x7f]"));
  name.replace(unfit, QStringLiteral("_"));
  name = name.trimmed();
  std::string cp;
  if (name.isEmpty() || name == QStringLiteral(".") || name == QStringLiteral("..") ||
      !FromQString(name, cp))
    cp = "export";
  return cp + suffix;
}

std::string LastFolder(const std::string &folderKind) {
  if (folderKind.empty())
    return {};
  const TRegIniFile reg;
  const std::string dir = reg.ReadString(kFolderSection, folderKind, "");
  if (dir.empty() || !fsys::DirectoryExists(dir))
    return {};
  return AddPathSeparator(dir);
}

bool OpenFileName(QWidget *parent, const FileDialogOptions &options, std::string &path,
                  int *chosenFilter) {
  if (!AskForPath(FileRequest(DialogKind::OpenFile, parent, options), path, chosenFilter))
    return false;
  RememberFolder(options.folderKind, ExtractFilePath(path));
  return true;
}

bool SaveFileName(QWidget *parent, const FileDialogOptions &options, std::string &path,
                  int *chosenFilter) {
  if (!AskForPath(FileRequest(DialogKind::SaveFile, parent, options), path, chosenFilter))
    return false;
  RememberFolder(options.folderKind, ExtractFilePath(path));
  return true;
}

bool SelectDirectory(QWidget *parent, const QString &title, std::string &dir, bool createMissing,
                     const std::string &folderKind, const QString &prompt) {
  DialogRequest r;
  r.kind = DialogKind::Directory;
  r.parent = parent;
  r.title = title;
  r.prompt = prompt;
  const std::string last = LastFolder(folderKind);
  r.initial = PathToQString(last.empty() ? dir : last);
  r.preselect = !last.empty();
  r.createMissing = createMissing;
  std::string chosen;
  if (!AskForPath(r, chosen, nullptr))
    return false;
  chosen = AddPathSeparator(chosen);
  if (!fsys::DirectoryExists(chosen)) {
    if (!createMissing)
      return false;
    QString shown = ToQString(chosen);
    if (ShowMessageBox(parent, shown + QStringLiteral(u" は存在しません。\r\n作成しますか?"),
                       QString(), MsgIcon::Question, MsgButtons::YesNo) != MsgAnswer::Yes)
      return false;
    if (fsys::Status s = fsys::CreateDirectories(chosen); !s) {
      ShowMessageBox(parent, QStringLiteral(u"フォルダを作成できませんでした。") + FileErrorText(s),
                     QString(), MsgIcon::Error, MsgButtons::Ok);
      return false;
    }
  }
  dir = std::move(chosen);
  RememberFolder(folderKind, dir);
  return true;
}

bool SelectFont(QWidget *parent, const QString &title, QFont &font) {
  DialogRequest r;
  r.kind = DialogKind::Font;
  r.parent = parent;
  r.title = title;
  r.font = font;
  DialogAnswer a = RunDialog(r);
  if (!a.accepted)
    return false;
  font = a.font;
  return true;
}

bool InputText(QWidget *parent, const QString &caption, const QString &prompt, std::string &text) {
  DialogRequest r;
  r.kind = DialogKind::InputText;
  r.parent = parent;
  r.title = caption;
  r.prompt = prompt;
  r.initial = ToQString(text);
  for (;;) {
    DialogAnswer a = RunDialog(r);
    if (!a.accepted)
      return false;
    if (FromQStringOrExplain(parent, caption, a.text, text))
      return true;
    r.initial = a.text; // ask again with what was typed, so nothing is lost
  }
}

} // namespace ui
