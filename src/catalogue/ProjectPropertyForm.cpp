#include "catalogue/ProjectPropertyForm.h"

#include "store/LibUnit.h"
#include "ui/BusyCursor.h"
#include "ui/FramedLabel.h"
#include "ui/MessageBox.h"
#include "ui/ProgramIcon.h"
#include "ui/ReportList.h"
#include "ui/Shell.h"
#include "ui/Text.h"

#include <QDateTime>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

enum Column { NameColumn, SizeColumn, TitleColumn, AuthorColumn, CreatedColumn, UpdatedColumn };

// Each column's least width and what it typically holds: an item file's
// name, a size in the hundreds of megabytes, a date. Where the font in use
// needs more room for that, the column gets it, so nothing common is cut.
struct ColumnDef {
  const char16_t *header;
  int width;
  const char16_t *sample;
};
constexpr ColumnDef kColumns[] = {{u"ファイル名", 120, u"200012312359590.txt"},
                                  {u"サイズ", 80, u"999,999,999byte"},
                                  {u"タイトル", 120, u""},
                                  {u"著者", 60, u""},
                                  {u"作成日", 120, u"0000/00/00 00:00:00"},
                                  {u"更新日", 120, u"0000/00/00 00:00:00"}};
// Room for the cell's own margins on both sides.
constexpr int kCellPadding = 16;

constexpr int kRecordRole = Qt::UserRole;
constexpr int kSizeRole = Qt::UserRole + 1;

// A row sorts by size as a number, the other columns as their text (the
// dates are written so that text order is time order).
class TFileRow : public QTreeWidgetItem {
public:
  using QTreeWidgetItem::QTreeWidgetItem;
  bool operator<(const QTreeWidgetItem &other) const override {
    const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
    if (column == SizeColumn)
      return data(SizeColumn, kSizeRole).toULongLong() <
             other.data(SizeColumn, kSizeRole).toULongLong();
    return QTreeWidgetItem::operator<(other);
  }
};

QLabel *Named(QLabel *label, const char *name) {
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

QString DateText(const TDateTime &d) { return QString::fromLatin1(d.ToString()); }

} // namespace

TProjectPropertyForm::TProjectPropertyForm(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ProjectPropertyForm"));
  setWindowTitle(QStringLiteral(u"プロジェクトのプロパティ"));
  // Resizable (a project of many files wants a taller list), no help button.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
  setSizeGripEnabled(true);

  image_ = Named(new QLabel(this), "Image1");
  image_->setFixedSize(32, 32);
  image_->setPixmap(ui::ProgramIcon().pixmap(32, 32));
  image_->installEventFilter(this);

  lastUpdate_ = Named(new QLabel(this), "LastUpdateCaption");
  directory_ = Named(new QLabel(this), "DirectoryCaption");
  directory_->setTextFormat(Qt::PlainText);
  directory_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  openFolder_ = new QPushButton(QStringLiteral(u"開く(&E)"), this);
  openFolder_->setObjectName(QStringLiteral("OpenProjectFolder"));
  openFolder_->setAutoDefault(false);

  list_ = new QTreeWidget(this);
  list_->setObjectName(QStringLiteral("FileListView"));
  list_->setColumnCount(static_cast<int>(std::size(kColumns)));
  QStringList headers;
  for (const ColumnDef &c : kColumns)
    headers << QString::fromUtf16(c.header);
  list_->setHeaderLabels(headers);
  const QFontMetrics metrics(list_->font());
  int listWidth = 0;
  for (int i = 0; i < list_->columnCount(); ++i) {
    const int width =
        std::max(kColumns[i].width,
                 metrics.horizontalAdvance(QString::fromUtf16(kColumns[i].sample)) + kCellPadding);
    list_->setColumnWidth(i, width);
    listWidth += width;
  }
  list_->headerItem()->setTextAlignment(SizeColumn, Qt::AlignRight | Qt::AlignVCenter);
  list_->header()->setStretchLastSection(false);
  ui::MakeFlatRows(list_);
  // The directory's order first; a header click sorts by that column.
  list_->header()->setSectionsClickable(true);
  list_->setSortingEnabled(true);
  list_->sortByColumn(-1, Qt::AscendingOrder);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The selected row stays as marked when the focus is on a button.
  QPalette pal = list_->palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
    pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
  list_->setPalette(pal);
  list_->setMinimumSize(listWidth + 2 * list_->frameWidth() +
                            list_->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4,
                        240);
  list_->installEventFilter(this);

  closeButton_ = new QPushButton(QStringLiteral(u"閉じる(&C)"), this);
  closeButton_->setObjectName(QStringLiteral("CloseButton"));
  closeButton_->setDefault(true);

  auto *info = new QGridLayout;
  info->addWidget(new ui::FramedLabel(QStringLiteral(u"プロジェクト情報"), this), 0, 0, 1, 3);
  info->addWidget(image_, 0, 3, 2, 1, Qt::AlignRight | Qt::AlignTop);
  info->addWidget(new QLabel(QStringLiteral(u"最終更新"), this), 1, 0);
  info->addWidget(lastUpdate_, 1, 1, 1, 2);
  info->addWidget(new QLabel(QStringLiteral(u"ディレクトリ"), this), 2, 0);
  info->addWidget(directory_, 2, 1);
  info->addWidget(openFolder_, 2, 2, 1, 2);
  info->setColumnStretch(1, 1);

  auto *buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(closeButton_);

  auto *layout = new QVBoxLayout(this);
  layout->addLayout(info);
  layout->addSpacing(6);
  layout->addWidget(new ui::FramedLabel(QStringLiteral(u"ファイル情報"), this));
  layout->addWidget(list_, 1);
  layout->addLayout(buttons);

  connect(openFolder_, &QPushButton::clicked, this, &TProjectPropertyForm::OpenProjectFolderClick);
  connect(closeButton_, &QPushButton::clicked, this, &QDialog::reject);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { OpenSelectedFile(); });
  // Esc ends in reject() as in every dialog.
}

TProjectPropertyForm::~TProjectPropertyForm() = default;

bool TProjectPropertyForm::Fill(const std::string &dir) {
  ui::BusyCursor busy;
  TProjectProperties read = ReadProjectProperties(dir);
  if (!read.IsProject)
    return false;
  properties_ = std::move(read);

  // One insertion of every row, the view redrawn once.
  list_->setUpdatesEnabled(false);
  list_->clear();
  const QLocale locale;
  const QString byte = QStringLiteral("byte");
  QList<QTreeWidgetItem *> rows;
  rows.reserve(static_cast<qsizetype>(properties_.Files.size()));
  for (size_t i = 0; i < properties_.Files.size(); ++i) {
    const TPropertyFile &f = properties_.Files[i];
    auto *row = new TFileRow;
    row->setText(NameColumn, ui::ToQString(f.Name));
    row->setData(NameColumn, kRecordRole, static_cast<qulonglong>(i));
    row->setText(SizeColumn, locale.toString(static_cast<qulonglong>(f.Size)) + byte);
    row->setData(SizeColumn, kSizeRole, static_cast<qulonglong>(f.Size));
    row->setTextAlignment(SizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    if (f.IsItem) {
      row->setText(TitleColumn, ui::ToQString(f.Item.Title));
      row->setText(AuthorColumn, ui::ToQString(f.Item.Author));
      row->setText(CreatedColumn, DateText(f.Item.FirstEdition));
      row->setText(UpdatedColumn, DateText(f.Item.Update));
    }
    rows.push_back(row);
  }
  list_->addTopLevelItems(rows);
  list_->setUpdatesEnabled(true);
  // Without a root the caption stays as it was.
  if (properties_.HasRootTitle)
    setWindowTitle(QStringLiteral(u"「") + ui::ToQString(properties_.RootTitle) +
                   QStringLiteral(u"」のプロパティ"));

  directory_->setText(ui::PathToQString(RemovePathSeparator(properties_.ProjectDir)));
  lastUpdate_->setText(QDateTime::fromSecsSinceEpoch(properties_.TreeFileTime)
                           .toString(QStringLiteral(u"yyyy年MM月dd日 HH時mm分ss秒")));
  return true;
}

void TProjectPropertyForm::ShowProperties(const std::string &dir) {
  if (!Fill(dir)) {
    ui::ShowMessageBox(parentWidget() ? parentWidget() : this,
                       QStringLiteral(u"正常なプロジェクトではありません"), QString(),
                       ui::MsgIcon::Error, ui::MsgButtons::Ok);
    return;
  }
  list_->setFocus();
  exec();
}

void TProjectPropertyForm::OpenProjectFolderClick() {
  if (!properties_.ProjectDir.empty())
    ui::ShellOpen(this, properties_.ProjectDir, "");
}

void TProjectPropertyForm::OpenSelectedFile() {
  const QList<QTreeWidgetItem *> selected = list_->selectedItems();
  if (selected.isEmpty())
    return;
  const size_t i = selected.front()->data(NameColumn, kRecordRole).toULongLong();
  if (i < properties_.Files.size())
    ui::ShellOpen(this, properties_.Files[i].Path, "");
}

void TProjectPropertyForm::Image1Click() {
  ui::ShowMessageBox(this, QStringLiteral(u"別に何も無いですよ ^^;"), QString(),
                     ui::MsgIcon::Information, ui::MsgButtons::Ok);
}

bool TProjectPropertyForm::eventFilter(QObject *watched, QEvent *event) {
  if (watched == list_ && event->type() == QEvent::KeyPress) {
    auto *key = static_cast<QKeyEvent *>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      // Enter opens the row; it must not reach the dialog's default button.
      OpenSelectedFile();
      return true;
    }
  }
  if (watched == image_ && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
    Image1Click();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}
