#pragma once
// The one message box of the program. Every window asks the user through
// ShowMessageBox, so that a test can answer instead of a person and read back
// exactly what was asked.
//
// Program code:
//   if (ui::ShowMessageBox(this, text, caption, ui::MsgIcon::Information,
//                          ui::MsgButtons::YesNoCancel) == ui::MsgAnswer::Yes) ...
//
// Test code:
//   ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Yes});
//   ... run the command ...
//   QCOMPARE(boxes.Asked().size(), 1u);
//   QCOMPARE(boxes.Asked()[0].text, expectedText);
//   QCOMPARE(boxes.Unscripted(), 0);
//
// Texts are kept exactly as given (CR LF included) so tests compare them with
// the program's texts; the real box shows CR LF as a plain line break.
#include "ui/ScriptedAnswers.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

namespace ui {

enum class MsgIcon { None, Information, Question, Warning, Error };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No };

struct MessageBoxRequest {
  QWidget *parent = nullptr;
  QString text;
  QString caption; // the box's title as shown (after the default below)
  MsgIcon icon = MsgIcon::None;
  MsgButtons buttons = MsgButtons::Ok;
  MsgAnswer defaultButton = MsgAnswer::Ok; // what Enter answers
  // The buttons' own words, in the order of `buttons` (Yes, No, Cancel), for
  // a question whose answers "yes" and "no" would not say; empty: the usual.
  QStringList labels;
};

// Modal box owned by `parent` (may be null). An empty `caption` takes the
// title of parent's window. Returns the button pressed; closing the box
// without a button counts as Cancel where there is one, else as No or Ok.
// Enter answers `defaultButton` (the first button when not given); a question
// whose first answer would lose something names its safe answer here.
MsgAnswer ShowMessageBox(QWidget *parent, const QString &text, const QString &caption, MsgIcon icon,
                         MsgButtons buttons, std::optional<MsgAnswer> defaultButton = std::nullopt);

// The same with everything given; an empty caption as above, the default
// button as given.
MsgAnswer ShowMessageBox(MessageBoxRequest request);

// The answer a box gives when it is dismissed without choosing.
MsgAnswer DismissAnswer(MsgButtons buttons);

// Replaces the real box. Returns the hook that was installed before; an empty
// hook restores the real box.
using MessageBoxHook = std::function<MsgAnswer(const MessageBoxRequest &)>;
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

// For tests: answers boxes from a queue and records every box asked, for its
// lifetime (then the previous hook is back). A box asked when the queue is
// empty is counted in Unscripted() and dismissed (DismissAnswer), so a missing
// answer never blocks a test and never says Yes by accident.
class ScriptedMessageBoxes : public ScriptedAnswers<MessageBoxRequest, MsgAnswer> {
public:
  explicit ScriptedMessageBoxes(std::initializer_list<MsgAnswer> answers = {});
  ~ScriptedMessageBoxes();

private:
  MessageBoxHook previous_;
};

} // namespace ui
