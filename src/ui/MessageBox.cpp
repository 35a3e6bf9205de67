#include "ui/MessageBox.h"

#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include <utility>

namespace ui {
namespace {

MessageBoxHook &Hook() {
  static MessageBoxHook hook;
  return hook;
}

QMessageBox::Icon ToQt(MsgIcon icon) {
  switch (icon) {
  case MsgIcon::Information:
    return QMessageBox::Information;
  case MsgIcon::Question:
    return QMessageBox::Question;
  case MsgIcon::Warning:
    return QMessageBox::Warning;
  case MsgIcon::Error:
    return QMessageBox::Critical;
  case MsgIcon::None:
    break;
  }
  return QMessageBox::NoIcon;
}

MsgAnswer RunRealBox(const MessageBoxRequest &r) {
  QMessageBox box(ToQt(r.icon), r.caption,
                  QString(r.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                  QMessageBox::NoButton, r.parent);
  // The labels are the program's own, in Japanese, whatever Qt translations exist.
  struct Btn {
    MsgAnswer answer;
    const char16_t *label;
    QMessageBox::ButtonRole role;
  };
  std::vector<Btn> wanted;
  switch (r.buttons) {
  case MsgButtons::Ok:
    wanted = {{MsgAnswer::Ok, u"OK", QMessageBox::AcceptRole}};
    break;
  case MsgButtons::OkCancel:
    wanted = {{MsgAnswer::Ok, u"OK", QMessageBox::AcceptRole},
              {MsgAnswer::Cancel, u"キャンセル", QMessageBox::RejectRole}};
    break;
  case MsgButtons::YesNo:
    wanted = {{MsgAnswer::Yes, u"はい(&Y)", QMessageBox::YesRole},
              {MsgAnswer::No, u"いいえ(&N)", QMessageBox::NoRole}};
    break;
  case MsgButtons::YesNoCancel:
    wanted = {{MsgAnswer::Yes, u"はい(&Y)", QMessageBox::YesRole},
              {MsgAnswer::No, u"いいえ(&N)", QMessageBox::NoRole},
              {MsgAnswer::Cancel, u"キャンセル", QMessageBox::RejectRole}};
    break;
  }
  std::vector<QPushButton *> buttons;
  for (size_t i = 0; i < wanted.size(); ++i)
    buttons.push_back(box.addButton(i < static_cast<size_t>(r.labels.size())
                                        ? r.labels[static_cast<qsizetype>(i)]
                                        : QString::fromUtf16(wanted[i].label),
                                    wanted[i].role));
  for (size_t i = 0; i < wanted.size(); ++i)
    if (wanted[i].answer == r.defaultButton)
      box.setDefaultButton(buttons[i]);
  MsgAnswer dismiss = DismissAnswer(r.buttons);
  for (size_t i = 0; i < wanted.size(); ++i)
    if (wanted[i].answer == dismiss)
      box.setEscapeButton(buttons[i]);
  box.exec();
  for (size_t i = 0; i < wanted.size(); ++i)
    if (box.clickedButton() == buttons[i])
      return wanted[i].answer;
  return dismiss;
}

} // namespace

MsgAnswer DismissAnswer(MsgButtons buttons) {
  switch (buttons) {
  case MsgButtons::OkCancel:
  case MsgButtons::YesNoCancel:
    return MsgAnswer::Cancel;
  case MsgButtons::YesNo:
    return MsgAnswer::No;
  case MsgButtons::Ok:
    break;
  }
  return MsgAnswer::Ok;
}

MsgAnswer ShowMessageBox(QWidget *parent, const QString &text, const QString &caption, MsgIcon icon,
                         MsgButtons buttons, std::optional<MsgAnswer> defaultButton) {
  MessageBoxRequest r;
  r.parent = parent;
  r.text = text;
  r.caption = caption;
  if (r.caption.isEmpty() && parent)
    r.caption = parent->window()->windowTitle();
  r.icon = icon;
  r.buttons = buttons;
  r.defaultButton = defaultButton ? *defaultButton
                    : (buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel)
                        ? MsgAnswer::Yes
                        : MsgAnswer::Ok;
  return ShowMessageBox(std::move(r));
}

MsgAnswer ShowMessageBox(MessageBoxRequest r) {
  if (r.caption.isEmpty() && r.parent)
    r.caption = r.parent->window()->windowTitle();
  if (Hook())
    return Hook()(r);
  return RunRealBox(r);
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
  return std::exchange(Hook(), std::move(hook));
}

ScriptedMessageBoxes::ScriptedMessageBoxes(std::initializer_list<MsgAnswer> answers)
    : ScriptedAnswers(answers) {
  previous_ = SetMessageBoxHook(
      [this](const MessageBoxRequest &r) { return Next(r, DismissAnswer(r.buttons)); });
}

ScriptedMessageBoxes::~ScriptedMessageBoxes() { SetMessageBoxHook(std::move(previous_)); }

} // namespace ui
