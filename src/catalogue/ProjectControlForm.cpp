#include "catalogue/ProjectControlForm.h"

#include "export/Exchange.h"
#include "store/LibUnit.h"
#include "ui/BusyCursor.h"
#include "ui/Dialogs.h"
#include "ui/ErrorText.h"
#include "ui/FramedLabel.h"
#include "ui/MessageBox.h"
#include "ui/Text.h"
#include "ui/TextGuard.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

QWidget *NamedPage(QWidget *parent, const char *name) {
  auto *page = new QWidget(parent);
  page->setObjectName(QString::fromLatin1(name));
  return page;
}

QLineEdit *NamedEdit(QWidget *parent, const char *name) {
  auto *edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  return edit;
}

// A name goes into every item file's header line and the settings file: a
// line break or other control character would split those lines.
bool HasControlCharacter(const QString &text) {
  for (QChar c : text)
    if (c.unicode() < 0x20 || c.unicode() == 0x7F)
      return true;
  return false;
}

} // namespace

TProjectControlForm::TProjectControlForm(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ProjectControlForm"));
  setWindowTitle(QStringLiteral(u"プロジェクト管理"));
  // Resizable, so that a long file path can be seen whole; no help button.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setSizeGripEnabled(true);

  pages_ = new QTabWidget(this);
  pages_->setObjectName(QStringLiteral("PageControl"));

  QWidget *importPage = NamedPage(pages_, "ImportSheet");
  projectName_ = NamedEdit(importPage, "ProjectName");
  projectName_->setText(QStringLiteral(u"新しいプロジェクト"));
  exportFileName_ = NamedEdit(importPage, "ExportFileName");
  exportFileName_->setMinimumWidth(260);
  ui::LeaveUnguarded(exportFileName_); // a file name: refused whole when used
  browseButton_ = new QPushButton(QStringLiteral(u">>(&B)"), importPage);
  browseButton_->setObjectName(QStringLiteral("BrowseButton"));
  browseButton_->setAutoDefault(false);
  auto *fileRow = new QHBoxLayout;
  fileRow->addWidget(exportFileName_, 1);
  fileRow->addWidget(browseButton_);
  auto *importLayout = new QVBoxLayout(importPage);
  importLayout->addWidget(new ui::FramedLabel(QStringLiteral(u"プロジェクト名"), importPage));
  importLayout->addWidget(projectName_);
  importLayout->addSpacing(6);
  importLayout->addWidget(new ui::FramedLabel(QStringLiteral(u"インポートファイル"), importPage));
  importLayout->addLayout(fileRow);
  importLayout->addStretch(1);
  pages_->addTab(importPage, QStringLiteral(u"インポート"));

  QWidget *authorPage = NamedPage(pages_, "AuthorSheet");
  authorBox_ = NamedEdit(authorPage, "AuthorBox");
  auto *authorLayout = new QVBoxLayout(authorPage);
  authorLayout->addWidget(new ui::FramedLabel(QStringLiteral(u"著者名"), authorPage));
  authorLayout->addWidget(authorBox_);
  authorLayout->addStretch(1);
  pages_->addTab(authorPage, QStringLiteral(u"著者設定"));

  startButton_ = new QPushButton(QStringLiteral(u"実行(&S)"), this);
  startButton_->setObjectName(QStringLiteral("StartControlButton"));
  startButton_->setDefault(true); // Enter in a field runs the page
  cancelButton_ = new QPushButton(QStringLiteral(u"閉じる(&C)"), this);
  cancelButton_->setObjectName(QStringLiteral("CancelButton"));
  cancelButton_->setAutoDefault(false);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(startButton_);
  buttons->addWidget(cancelButton_);

  auto *layout = new QVBoxLayout(this);
  layout->addWidget(pages_);
  layout->addLayout(buttons);

  connect(startButton_, &QPushButton::clicked, this, &TProjectControlForm::StartControlButtonClick);
  connect(cancelButton_, &QPushButton::clicked, this, &TProjectControlForm::CancelButtonClick);
  connect(browseButton_, &QPushButton::clicked, this, &TProjectControlForm::BrowseButtonClick);
  // Esc and the close box end in reject(): the window closes and keeps
  // ImportResult and AuthorName as they are.
}

bool TProjectControlForm::ShowControl(int page, const std::string &root) {
  if (page == ImportPage || page == AuthorPage)
    pages_->setCurrentIndex(page);
  ImportRoot = root.empty() ? std::string() : AddPathSeparator(root);
  ImportResult = false;
  imported_ = false;
  (pages_->currentIndex() == ImportPage ? projectName_ : authorBox_)->setFocus();
  exec();
  return imported_;
}

std::string TProjectControlForm::EditAuthor(const std::string &current) {
  pages_->setCurrentIndex(AuthorPage);
  authorBox_->setText(ui::ToQString(current));
  AuthorName = current;
  // The import page stays usable; the caller sees through ImportedInDisplay
  // whether it was used.
  ImportResult = false;
  imported_ = false;
  authorBox_->selectAll();
  authorBox_->setFocus();
  exec();
  return AuthorName;
}

void TProjectControlForm::StartControlButtonClick() {
  if (pages_->currentIndex() == ImportPage) {
    ImportResult = ImportExchangeFile();
    return; // open for the next import
  }
  const QString text = authorBox_->text();
  if (HasControlCharacter(text)) {
    Tell(QStringLiteral(u"著者名に改行や制御文字は使えません"), true);
    return;
  }
  std::string name;
  if (!ui::FromQStringOrExplain(this, windowTitle(), text, name))
    return;
  AuthorName = name;
  accept();
}

void TProjectControlForm::CancelButtonClick() { reject(); }

void TProjectControlForm::BrowseButtonClick() {
  ui::FileDialogOptions o;
  o.filter = QStringLiteral(u"ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt|すべてのﾌｧｲﾙ(*.*)|*.*");
  o.defaultSuffix = QStringLiteral("txt");
  o.mustExist = true;
  ui::PathFromQString(exportFileName_->text(), o.initialPath);
  std::string path;
  if (ui::OpenFileName(this, o, path))
    exportFileName_->setText(ui::PathToQString(path));
}

bool TProjectControlForm::ImportExchangeFile() {
  const QString badRequest =
      QStringLiteral(u"エクスポートされたファイルが見つからないか、プロジェクト名が不正です");
  const QString nameText = projectName_->text();
  if (nameText.isEmpty()) {
    Tell(badRequest, true);
    return false;
  }
  std::string name;
  if (!ui::FromQStringOrExplain(this, windowTitle(), nameText, name))
    return false;
  // One directory directly below the root, nothing that names another place.
  if (!IsPlainImportName(name)) {
    Tell(QStringLiteral(u"プロジェクト名\"") + nameText +
             QStringLiteral(u"\"は使えません\r\n"
                            u"\"/\" と \"\\\" を含む名前、\".\" と \"..\" は"
                            u"プロジェクト名にできません"),
         true);
    return false;
  }
  if (ImportRoot.empty()) {
    Tell(QStringLiteral(u"インポート先のフォルダが決まっていません\r\n"
                        u"カタログの「ﾌｫﾙﾀﾞの指定」で指定して下さい"),
         true);
    return false;
  }
  // A relative name means the program's working directory, as the dialog would.
  const QString fileText = exportFileName_->text();
  std::string file;
  if (!fileText.isEmpty() && !ui::PathFromQString(QFileInfo(fileText).absoluteFilePath(), file)) {
    Tell(ui::UnnamablePathExplanation({fileText}), true);
    return false;
  }

  TImportResult r;
  {
    ui::BusyCursor busy;
    r = ::ImportExchangeFile(file, ImportRoot, name);
  }
  // A run that stopped part-way and could not remove what it wrote leaves a
  // directory to be listed (and deleted) in the catalogue.
  if (r.ok() || r.FilesLeft > 0)
    imported_ = true;
  QString text = ui::ToQString(r.Message);
  if (!r.Failure.ok())
    text += ui::FileErrorText(r.Failure);
  Tell(text, !r.ok());
  return r.ok();
}

void TProjectControlForm::Tell(const QString &text, bool failed) {
  ui::ShowMessageBox(this, text, windowTitle(),
                     failed ? ui::MsgIcon::Warning : ui::MsgIcon::Information, ui::MsgButtons::Ok);
}
