#pragma once
// Text between the core (CP932 bytes) and Qt widgets (QString). Every window
// converts here and nowhere else.
//
//   label->setText(ui::ToQString(item.Title));
//   std::string title;
//   if (!ui::FromQStringOrExplain(this, caption, edit->text(), title))
//     return; // the user has been told which characters cannot be kept
//
// Decoding never fails and never loses: bytes that are not valid CP932 come
// back as private code points that encode to the same bytes. Encoding refuses
// text CP932 cannot hold (emoji, rare CJK) instead of storing '?' for it, so
// what the screen shows is what the disk holds.
#include <QString>

#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace ui {

QString ToQString(std::string_view cp932);

// True and `out` set when every character of `text` has a CP932 form. On false
// `out` is left unchanged and `unmappable` (when given) lists the offending
// characters in order, each once.
bool FromQString(const QString &text, std::string &out,
                 std::vector<char32_t> *unmappable = nullptr);

// FromQString that tells the user through the message seam (ui::ShowMessageBox,
// warning icon, OK) which characters cannot be kept. `caption` is the box's
// title; `parent` may be null.
bool FromQStringOrExplain(QWidget *parent, const QString &caption, const QString &text,
                          std::string &out);

// The explanation shown by FromQStringOrExplain, for windows that refuse input
// on the fly (validators, paste handlers) and show it their own way.
QString UnmappableExplanation(const std::vector<char32_t> &unmappable);

// File paths. The OS form of a path is what Qt's file widgets, URLs and
// QFileInfo use; the CP932 form is what the core and the files hold.
QString PathToQString(std::string_view cp932Path);
// False when CP932 cannot name the file exactly (the OS name would not come
// back from the CP932 form); `out` is then left unchanged.
bool PathFromQString(const QString &nativePath, std::string &out);
// The message shown where such a path is refused; `paths` one per line.
QString UnnamablePathExplanation(const QStringList &paths);

} // namespace ui
