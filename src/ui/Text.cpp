#include "ui/Text.h"

#include "store/Codec.h"
#include "store/FileSystem.h"
#include "ui/MessageBox.h"
#include "ui/TextGuard.h"

#include <QCoreApplication>

#include <QFile>
#include <QStringList>

#include <algorithm>

namespace ui {

QString ToQString(std::string_view cp932) {
  std::string utf8 = cp932::ToUtf8(cp932);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

bool FromQString(const QString &text, std::string &out, std::vector<char32_t> *unmappable) {
  QByteArray utf8 = text.toUtf8();
  cp932::Encoded e = cp932::FromUtf8(std::string_view(utf8.constData(), utf8.size()));
  if (e.ok()) {
    out = std::move(e.bytes);
    return true;
  }
  if (unmappable) {
    unmappable->clear();
    for (char32_t c : e.unmappable)
      if (std::find(unmappable->begin(), unmappable->end(), c) == unmappable->end())
        unmappable->push_back(c);
  }
  return false;
}

QString UnmappableExplanation(const std::vector<char32_t> &unmappable) {
  QString chars;
  for (char32_t c : unmappable) {
    if (!chars.isEmpty())
      chars += QStringLiteral(u" ");
    chars += QStringLiteral(u"「") + QString::fromUcs4(&c, 1) + QStringLiteral(u"」");
    chars += QStringLiteral(u"(U+%1)").arg(static_cast<uint>(c), 4, 16, QLatin1Char('0')).toUpper();
  }
  return QStringLiteral(u"次の文字はShift-JISで保存できないため使えません。\r\n") + chars;
}

bool FromQStringOrExplain(QWidget *parent, const QString &caption, const QString &text,
                          std::string &out) {
  std::vector<char32_t> bad;
  if (FromQString(text, out, &bad))
    return true;
  ShowMessageBox(parent, UnmappableExplanation(bad), caption, MsgIcon::Warning, MsgButtons::Ok);
  return false;
}

QString PathToQString(std::string_view cp932Path) {
  return QFile::decodeName(QByteArray::fromStdString(fsys::ToNative(cp932Path)));
}

bool PathFromQString(const QString &nativePath, std::string &out) {
  QByteArray encoded = QFile::encodeName(nativePath);
  std::string native(encoded.constData(), static_cast<size_t>(encoded.size()));
  std::string cp;
  if (!fsys::FromNative(native, cp) || fsys::ToNative(cp) != native)
    return false;
  out = std::move(cp);
  return true;
}

QString UnnamablePathExplanation(const QStringList &paths) {
  return QStringLiteral(
             u"次のファイル名にはShift-JISで表せない文字が含まれているため扱えません。\r\n") +
         paths.join(QStringLiteral("\r\n"));
}

} // namespace ui

// Every program that shows a text field of ours has this file linked: the
// guard is in place before the first window exists.
static void GuardTextFields() { ui::InstallTextGuard(); }
Q_COREAPP_STARTUP_FUNCTION(GuardTextFields)
