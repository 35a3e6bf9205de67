#pragma once
// Text CP932 cannot hold never enters a text field of the program: it is
// dropped from what is typed, committed by an input method or pasted, the rest
// is kept, and the user is told in the status bar (or a tool tip where a window
// has none) with a beep. Nothing here opens a window that takes the focus: a
// modal box inside a key or input-method event moves the focus, and an input
// method then commits its pre-edit again, into the box's owner, again and
// again.
//
// The guard is installed on the application once, for every line edit and
// plain text editor outside Qt's own file, font and colour dialogs. It also
// drops the second copy of a pre-edit that some input methods commit into the
// widget that receives the focus after the one that was composing.
#include <QString>

#include <vector>

class QWidget;

namespace ui {

// `text` without the characters CP932 cannot hold; `dropped` (when given) lists
// them in order, each once. A duplicate-code marker is kept where it marks the
// character before it.
QString KeepStorable(const QString &text, std::vector<char32_t> *dropped = nullptr);

// Tells the user, without taking the focus, that `dropped` was not typed into
// `where`: the status bar of its main window for a few seconds, else a tool tip
// at the widget; a beep, and a line in the log. Posted to the event loop.
void TellDropped(QWidget *where, const std::vector<char32_t> &dropped);

// Installs the guard on the running application (idempotent; done at start-up).
void InstallTextGuard();

// Fields that name files keep what is typed: a name the program cannot use is
// explained when the field is used, never changed into another name.
void LeaveUnguarded(QWidget *field);

} // namespace ui
