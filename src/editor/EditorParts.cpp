#include "editor/EditorParts.h"

#include "store/LibUnit.h"
#include "store/Project.h"
#include "ui/ErrorText.h"
#include "ui/MessageBox.h"
#include "ui/Text.h"

#include <QLabel>
#include <QStandardItemModel>
#include <QStatusBar>

#include <algorithm>

namespace {

// Header strip: fixed labels and width limits (0 = no limit).
struct SectionSpec {
  const char16_t *label;
  int min, max;
  Qt::Alignment align;
};
const SectionSpec kSections[7] = {
    {u"", 0, 0, Qt::AlignLeft},    {u"著者", 2, 40, Qt::AlignLeft},
    {u"", 2, 1000, Qt::AlignLeft}, {u"更新日時", 2, 60, Qt::AlignCenter},
    {u"", 2, 130, Qt::AlignLeft},  {u"作成日時", 2, 60, Qt::AlignCenter},
    {u"", 2, 130, Qt::AlignLeft},
};

// Up to this many malformed-header warnings are shown one by one while a
// project loads; the rest are counted in one closing message.
constexpr int kMaxHeaderWarnings = 10;
// Items whose file could not be read are named in one box, up to this many.
constexpr size_t kMaxMissingListed = 10;

} // namespace

TItemHeader::TItemHeader(QWidget *parent)
    : QHeaderView(Qt::Horizontal, parent), model_(new QStandardItemModel(0, 7, this)) {
  setObjectName(QStringLiteral("PagePropertyHeader"));
  setModel(model_);
  setSectionsClickable(false);
  setSectionsMovable(false);
  setMinimumSectionSize(2);
  setStretchLastSection(false);
  for (int i = 0; i < 7; ++i) {
    auto *item = new QStandardItem(QString::fromUtf16(kSections[i].label));
    item->setTextAlignment(kSections[i].align | Qt::AlignVCenter);
    model_->setHorizontalHeaderItem(i, item);
  }
  setFixedHeight(std::max(17, fontMetrics().height() + 4));
  connect(this, &QHeaderView::sectionResized, this, [this](int i, int, int size) {
    int lo = kSections[i].min, hi = kSections[i].max;
    int clamped = hi ? std::clamp(size, lo, hi) : std::max(size, lo);
    if (clamped != size)
      resizeSection(i, clamped);
  });
}

void TItemHeader::Show(const TNodeFiles &f) {
  model_->horizontalHeaderItem(0)->setText(ui::ToQString(f.Title));
  model_->horizontalHeaderItem(2)->setText(ui::ToQString(f.Author));
  model_->horizontalHeaderItem(4)->setText(QString::fromStdString(f.Update.ToString()));
  model_->horizontalHeaderItem(6)->setText(QString::fromStdString(f.FirstEdition.ToString()));
}

void TItemHeader::SetTitle(const QString &title) {
  model_->horizontalHeaderItem(0)->setText(title);
}

void MakeStatusPanels(QStatusBar *bar, QLabel *(&panels)[3]) {
  bar->setObjectName(QStringLiteral("StatusBar"));
  bar->setSizeGripEnabled(true);
  const int widths[3] = {100, 60, 50};
  for (int i = 0; i < 3; ++i) {
    panels[i] = new QLabel(bar);
    panels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    panels[i]->setMinimumWidth(widths[i]);
    if (i == 1)
      panels[i]->setAlignment(Qt::AlignCenter);
    if (i < 2)
      bar->addWidget(panels[i]);
    else
      bar->addWidget(panels[i], 1);
  }
  panels[1]->setText(QStringLiteral("0 : 1"));
}

void ReportLoadProblems(QWidget *parent, const TLoadReport &report, const QString &caption) {
  auto box = [&](const QString &text) {
    ui::ShowMessageBox(parent, text, caption, ui::MsgIcon::Warning, ui::MsgButtons::Ok);
  };
  const int warnings = static_cast<int>(report.HeaderWarnings.size());
  for (int i = 0; i < std::min(warnings, kMaxHeaderWarnings); ++i)
    box(ui::ToQString(report.HeaderWarnings[i]));
  if (warnings > kMaxHeaderWarnings)
    box(QString::fromUtf16(u"ほかに %1 件のヘッダの形式の誤りがありました")
            .arg(warnings - kMaxHeaderWarnings));
  const std::vector<TProjectNode *> &missing = report.Missing;
  if (missing.empty())
    return;
  QString text = QString::fromUtf16(u"次のアイテムのファイルを読み込めません。"
                                    u"ファイルが戻るまで読み取り専用で表示し、"
                                    u"ツリーにはそのまま残します");
  const size_t shown = std::min<size_t>(missing.size(), kMaxMissingListed);
  for (size_t i = 0; i < shown; ++i)
    text += QStringLiteral("\r\n") + ui::PathToQString(missing[i]->Data()->Files.FilePath);
  if (missing.size() > shown)
    text +=
        QStringLiteral("\r\n") + QString::fromUtf16(u"ほかに %1 件").arg(missing.size() - shown);
  box(text);
}

void OfferToFinishStoppedSave(QWidget *parent, const std::string &dir) {
  // A save stopped after its new tree file was complete: that file is the
  // tree the user last saved. Using it (the default) completes the save and
  // keeps the older tree file as the backup, so either way nothing is lost.
  const std::string treeFile = TProject::TreeFilePath(dir);
  if (const std::string stopped = TProjectTree::StoppedSaveFile(treeFile); !stopped.empty()) {
    const QString text =
        QString::fromUtf16(u"保存が途中で終わったツリーファイルがあります\r\n") +
        ui::PathToQString(stopped) +
        QString::fromUtf16(u"\r\n\r\nツリーファイルより新しい、最後に保存したツリーです。"
                           u"これを使って保存を終わらせますか?\r\n"
                           u"(今のツリーファイルは MainTree.dat.ord に残ります。"
                           u"いいえでは今のツリーファイルで開きます)");
    // No title yet: the box names the project by its folder.
    const QString folder = ui::PathToQString(ExtractFileName(RemovePathSeparator(dir)));
    if (ui::ShowMessageBox(parent, text, folder, ui::MsgIcon::Warning, ui::MsgButtons::YesNo,
                           ui::MsgAnswer::Yes) == ui::MsgAnswer::Yes)
      if (fsys::Status s = TProjectTree::FinishStoppedSave(treeFile); !s)
        ui::ShowMessageBox(parent,
                           QString::fromUtf16(u"ツリーファイルを置き換えられません") +
                               ui::FileErrorText(s),
                           folder, ui::MsgIcon::Error, ui::MsgButtons::Ok);
  }
}

bool AskAttachUnreached(QWidget *parent, const TLoadReport &report, const std::string &dir,
                        const QString &caption) {
  // Items no child list reaches stay in the tree file whatever the answer;
  // attaching them changes the tree, so that is not the default.
  if (!report.RootLoaded || report.Unreached.empty())
    return false;
  constexpr size_t kListed = 10;
  QString text = QString::fromUtf16(u"次のアイテムはツリーファイルにありますが、子の番号の抜けか"
                                    u"重複のため、ツリーのどこからもたどれません。"
                                    u"保存してもツリーファイルにそのまま残します");
  for (size_t i = 0; i < report.Unreached.size() && i < kListed; ++i)
    text += QStringLiteral("\r\n") + ui::PathToQString(dir + report.Unreached[i].FileName);
  if (report.Unreached.size() > kListed)
    text += QStringLiteral("\r\n") +
            QString::fromUtf16(u"ほかに %1 件").arg(report.Unreached.size() - kListed);
  text += QString::fromUtf16(u"\r\n\r\nルートアイテムの最後の子としてツリーにつなぎますか?");
  return ui::ShowMessageBox(parent, text, caption, ui::MsgIcon::Warning, ui::MsgButtons::YesNo,
                            ui::MsgAnswer::No) == ui::MsgAnswer::Yes;
}
