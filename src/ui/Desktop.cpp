#include "ui/Desktop.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFont>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

#include <initializer_list>
#include <utility>

namespace {

const char16_t *const kFixedPitch[] = {
    u"ＭＳ ゴシック", u"MS ゴシック", u"MS Gothic",  u"BIZ UDゴシック",
    u"BIZ UDGothic",  u"Osaka－等幅", u"Osaka-Mono", u"Terminal",
};
const char16_t *const kProportional[] = {
    u"ＭＳ Ｐゴシック", u"MS Pゴシック", u"MS PGothic",          u"MS UI Gothic",
    u"メイリオ",        u"Meiryo",       u"Meiryo UI",           u"游ゴシック",
    u"游ゴシック体",    u"Yu Gothic",    u"Yu Gothic UI",        u"BIZ UDPゴシック",
    u"BIZ UDPGothic",   u"Osaka",        u"ヒラギノ角ゴ Pro W3",
};
const char16_t *const kSerif[] = {
    u"ＭＳ 明朝",    u"MS 明朝",     u"MS Mincho",     u"ＭＳ Ｐ明朝", u"MS P明朝",
    u"MS PMincho",   u"游明朝",      u"游明朝体",      u"Yu Mincho",   u"BIZ UD明朝",
    u"BIZ UDMincho", u"BIZ UDP明朝", u"BIZ UDPMincho",
};

// The installed ones of `wanted`, in that order.
QStringList Installed(std::initializer_list<const char *> wanted, const QStringList &families) {
  QStringList out;
  for (const char *name : wanted)
    if (families.contains(QLatin1String(name), Qt::CaseInsensitive))
      out << QString::fromLatin1(name);
  return out;
}

template <size_t N> void Substitute(const char16_t *const (&names)[N], const QStringList &by) {
  if (by.isEmpty())
    return;
  for (const char16_t *name : names)
    QFont::insertSubstitutions(QString::fromUtf16(name), by);
}

// Turns Shift+F10 into the keyboard's context menu event, as Qt makes it for
// the Menu key: at the text cursor or the current item of the widget.
class TShiftF10 : public QObject {
public:
  using QObject::QObject;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
      return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_F10 || key->modifiers() != Qt::ShiftModifier)
      return false;
    auto *w = static_cast<QWidget *>(watched);
    if (!w->isEnabled())
      return false;
    // An item view's menu is about its current item (the pointer's place
    // being the viewport's, as for a click).
    QPoint at = w->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
    if (auto *view = qobject_cast<QAbstractItemView *>(w))
      at = view->visualRect(view->currentIndex()).center();
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, w->mapToGlobal(at), Qt::NoModifier);
    QApplication::sendEvent(w, &menu);
    return true;
  }
};

} // namespace

namespace ui {

void SubstituteWindowsFonts() {
  static bool done = false;
  if (std::exchange(done, true))
    return;
  const QStringList families = QFontDatabase::families();
  const QStringList sans = Installed({"Noto Sans CJK JP", "IPAPGothic", "VL PGothic"}, families);
  const QStringList mono =
      Installed({"Noto Sans Mono CJK JP", "IPAGothic", "VL Gothic"}, families) + sans;
  const QStringList serif = Installed({"Noto Serif CJK JP", "IPAPMincho", "IPAMincho"}, families);
  Substitute(kFixedPitch, mono);
  Substitute(kProportional, sans);
  Substitute(kSerif, serif.isEmpty() ? sans : serif);
}

void OpenContextMenusWithShiftF10() {
  static QPointer<QObject> installed;
  if (installed || !qApp)
    return;
  installed = new TShiftF10(qApp);
  qApp->installEventFilter(installed);
}

} // namespace ui
