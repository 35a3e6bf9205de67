#include "catalogue/AboutForm.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kScrollMs = 40;
constexpr int kViewportHeight = 90;

} // namespace

QString TAboutForm::VersionText() { return QStringLiteral("1.12.14"); }

TAboutForm::TAboutForm(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutForm"));
  setWindowTitle(QStringLiteral(u"Orvane のバージョン情報"));

  icon_ = new QLabel(this);
  icon_->setObjectName(QStringLiteral("ProgramIcon"));
  icon_->setFixedSize(48, 48);
  auto *title = new QLabel(QStringLiteral("Orvane"), this);
  title->setObjectName(QStringLiteral("ProductName"));
  QFont big = title->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  title->setFont(big);
  auto *version = new QLabel(QStringLiteral("ver") + VersionText(), this);
  version->setObjectName(QStringLiteral("Version"));
  auto *licence = new QLabel(
      QStringLiteral(u"フリーソフトウェアです。GNU 一般公衆利用許諾書 (GNU General Public "
                     u"License) バージョン 3 以降の条件で、再配布や改変ができます。無保証です。"),
      this);
  licence->setObjectName(QStringLiteral("License"));
  licence->setWordWrap(true);

  viewport_ = new QWidget(this);
  viewport_->setObjectName(QStringLiteral("ScrollPanel"));
  viewport_->setFixedHeight(kViewportHeight);
  viewport_->setMinimumWidth(260);
  scroll_ = new QLabel(viewport_);
  scroll_->setObjectName(QStringLiteral("ScrollText"));
  scroll_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  scroll_->setText(QStringLiteral(u"Orvane\n"
                                  u"アイデアを集めて整理するアウトライナ\n"
                                  u"\n"
                                  u"プロジェクトごとに項目のツリーと\n"
                                  u"項目ごとのテキストを持ちます。\n"
                                  u"ファイルはすべて Shift_JIS、改行は CR LF。\n"
                                  u"\n"
                                  u"ショートカットファイル (*.ida) から\n"
                                  u"プロジェクトを直接開けます。\n"
                                  u"\n"
                                  u"ご利用ありがとうございます。"));

  timer_ = new QTimer(this);
  timer_->setObjectName(QStringLiteral("ScrollTimer"));
  timer_->setInterval(kScrollMs);
  connect(timer_, &QTimer::timeout, this, &TAboutForm::ScrollTimerTimer);

  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto *head = new QHBoxLayout;
  head->addWidget(icon_);
  auto *names = new QVBoxLayout;
  names->addWidget(title);
  names->addWidget(version);
  head->addLayout(names, 1);
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(head);
  layout->addWidget(viewport_);
  layout->addWidget(licence);
  layout->addWidget(buttons);
  setLayout(layout);
}

void TAboutForm::SetIcon(const QIcon &icon) { icon_->setPixmap(icon.pixmap(48, 48)); }

QString TAboutForm::ScrollText() const { return scroll_->text(); }

bool TAboutForm::Scrolling() const { return timer_->isActive(); }

void TAboutForm::ScrollTimerTimer() {
  scroll_->resize(viewport_->width(), scroll_->sizeHint().height());
  // From just below the panel up until the last line has left it, then again.
  ++offset_;
  if (offset_ > viewport_->height() + scroll_->height())
    offset_ = 0;
  scroll_->move(0, viewport_->height() - offset_);
}

void TAboutForm::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  offset_ = 0;
  ScrollTimerTimer();
  timer_->start();
}

void TAboutForm::hideEvent(QHideEvent *event) {
  timer_->stop();
  QDialog::hideEvent(event);
}
