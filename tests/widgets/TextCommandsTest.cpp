// The editor's text, attribute and display commands over real projects in
// temporary directories: ToDo and Completion with the project lock, word wrap,
// colours and font, date and time, clipboard commands on memo and label,
// undoing changes, clearing the caret memory, the hint line, the tree's
// keyboard rules and hiding at the top edge.
#include "EditorFixture.h"
#include "EditorTestProject.h"
#include "support/ScopedHooks.h"

#include "editor/DisplayCommands.h"
#include "editor/PlainTextMemo.h"
#include "editor/TextCommands.h"
#include "ui/Dialogs.h"
#include "ui/ImageList.h"
#include "ui/MessageBox.h"

#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>

namespace {

QImage IconImage(const QIcon &icon) { return icon.pixmap(16, 16).toImage(); }

QImage TreeIcon(TVaveMainForm &w, TProjectNode *node) {
  QVariant v = w.VaveDataBase()->model()->data(w.VaveDataBase()->IndexOf(node), Qt::DecorationRole);
  return IconImage(v.value<QIcon>());
}

QImage Image(int index) { return IconImage(images::Icon(index)); }

bool LabelEditable(TVaveMainForm &w, TProjectNode *node) {
  return w.VaveDataBase()->model()->flags(w.VaveDataBase()->IndexOf(node)) & Qt::ItemIsEditable;
}

bool Enabled(TVaveMainForm &w, TEditorAction action) {
  w.updateActionStates();
  return w.Action(action)->isEnabled();
}

// Opens the test project in a shown, active window.
std::unique_ptr<OpenEditor> Open(const EditorTestProject &p) {
  return std::make_unique<OpenEditor>(p.Root(), EditorOptions{{}, true});
}

void SendKey(QWidget *to, QEvent::Type type, int key, bool autoRepeat = false) {
  QKeyEvent e(type, key, Qt::NoModifier, QString(), autoRepeat);
  QApplication::sendEvent(to, &e);
}

void MoveMouse(QWidget *w, int globalX) {
  QPointF global(globalX, 2);
  QMouseEvent e(QEvent::MouseMove, w->mapFromGlobal(global), global, Qt::NoButton, Qt::NoButton,
                Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

void Click(QWidget *w) { QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5)); }

} // namespace

class TextCommandsTest : public QObject {
  Q_OBJECT

private slots:
  void init() { QApplication::clipboard()->clear(); }

  void toDoAndCompletionSetIconsReadOnlyAndItemFile() {
    EditorTestProject p;
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::No});
    auto e = Open(p);
    QPointer<TVaveMainForm> w = e->w;
    TProjectNode *a = FindItem(*w, "Root-C00000");
    QAction *todo = w->Action(TEditorAction::SelectToDoAction);
    QAction *done = w->Action(TEditorAction::SelectCompletionAction);
    QCOMPARE(TreeIcon(*w, a), Image(images::Page));
    QCOMPARE(IconImage(todo->icon()), Image(images::ToDoOff));

    todo->trigger();
    QVERIFY(todo->isChecked());
    QVERIFY(a->Data()->Files.ToDo);
    QCOMPARE(IconImage(todo->icon()), Image(images::ToDoOn));
    QCOMPARE(TreeIcon(*w, a), Image(images::ToDoOn));
    QVERIFY(!w->FileText()->isReadOnly());

    done->trigger();
    QCOMPARE(IconImage(done->icon()), Image(images::CompletionOn));
    QCOMPARE(TreeIcon(*w, a), Image(images::ToDoOn)); // ToDo wins for the icon
    QVERIFY(w->FileText()->isReadOnly());
    QVERIFY(!LabelEditable(*w, a));
    QVERIFY(!Enabled(*w, TEditorAction::InsertDateAction));
    QVERIFY(!w->ProjectLocked());
    todo->trigger();
    QCOMPARE(TreeIcon(*w, a), Image(images::CompletionOn));

    // Leaving the item writes the marks; the next item is editable again.
    QVERIFY(w->VaveDataBase()->SelectNode(FindItem(*w, "Root-C00002")));
    QByteArray file = p.dir.Read("a.txt");
    QVERIFY(file.contains("ToDo:false\r\nCompletion:true\r\n"));
    QVERIFY(!w->FileText()->isReadOnly());
    QVERIFY(!todo->isChecked());
    QVERIFY(!done->isChecked());
    QCOMPARE(IconImage(done->icon()), Image(images::CompletionOff));
    QVERIFY(Enabled(*w, TEditorAction::InsertDateAction));
    // Back on the completed item: read-only again, mark shown.
    QVERIFY(w->VaveDataBase()->SelectNode(a));
    QVERIFY(done->isChecked());
    QVERIFY(w->FileText()->isReadOnly());
    QVERIFY(!w->MemoModified());
    e.reset();
  }

  void completingTheRootLocksTheProjectUntilUndone() {
    EditorTestProject p;
    ui::ScriptedMessageBoxes boxes;
    auto e = Open(p);
    QPointer<TVaveMainForm> w = e->w;
    TProjectNode *b = FindItem(*w, "Root-C00002");
    QApplication::clipboard()->setText(QStringLiteral("clip"));
    QVERIFY(w->VaveDataBase()->SelectNode(w->RootNode()));
    w->Action(TEditorAction::SelectCompletionAction)->trigger();
    QVERIFY(w->ProjectLocked());
    QVERIFY(p.dir.Read("r.txt").contains("Completion:false")); // not yet stored
    QVERIFY(w->VaveDataBase()->SelectNode(b));
    QVERIFY(p.dir.Read("r.txt").contains("Completion:true"));
    // Every item of a locked project is read-only: memo, label, text commands.
    QVERIFY(w->ProjectLocked());
    QVERIFY(w->FileText()->isReadOnly());
    QVERIFY(!LabelEditable(*w, b));
    QVERIFY(!w->VaveTreeEditing(b));
    w->updateActionStates();
    for (const char *name : {"InsertDateAction", "InsertTimeAction", "PastClipTextAction",
                             "CutToClipAction", "UndoItemMidifyAction"})
      QVERIFY2(!ActionNamed(*w, name)->isEnabled(), name);
    QVERIFY(Enabled(*w, TEditorAction::SelectAllAction));
    QVERIFY(Enabled(*w, TEditorAction::SelectCompletionAction)); // the way out of the lock

    // Un-completing the root unlocks at once, without a selection change.
    QVERIFY(w->VaveDataBase()->SelectNode(w->RootNode()));
    w->Action(TEditorAction::SelectCompletionAction)->trigger();
    QVERIFY(!w->ProjectLocked());
    QVERIFY(!w->FileText()->isReadOnly());
    QVERIFY(LabelEditable(*w, b));
    QVERIFY(Enabled(*w, TEditorAction::PastClipTextAction));
    QVERIFY(w->VaveDataBase()->SelectNode(b));
    QVERIFY(!w->FileText()->isReadOnly());

    // A project opened with a completed root starts locked.
    w->Action(TEditorAction::SaveProjectAction)->trigger();
    QVERIFY(w->VaveDataBase()->SelectNode(w->RootNode()));
    w->Action(TEditorAction::SelectCompletionAction)->trigger();
    w->Action(TEditorAction::SaveProjectAction)->trigger();
    e.reset(); // the first window goes before the second opens
    e = Open(p);
    w = e->w;
    QVERIFY(w->ProjectLocked());
    QVERIFY(w->FileText()->isReadOnly());
    e.reset();
  }

  void wordWrapKeepsLineAndColumn() {
    EditorTestProject p;
    ui::ScriptedMessageBoxes boxes;
    auto e = Open(p);
    QPointer<TVaveMainForm> w = e->w;
    w->resize(400, 300);
    QString longLine;
    for (int i = 0; i < 40; ++i)
      longLine += QStringLiteral("word%1 ").arg(i);
    w->FileText()->setPlainText(QStringLiteral("top\n") + longLine + QStringLiteral("\nend"));
    w->MemoJump().JumpTo(1, 150);
    QAction *wrap = w->Action(TEditorAction::WordWrapMenu);
    for (bool expected : {true, false, true}) {
      wrap->trigger();
      QCOMPARE(wrap->isChecked(), expected);
      QCOMPARE(w->FileText()->lineWrapMode(),
               expected ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
      QCOMPARE(w->MemoJump().CaretLine(), 1);
      QCOMPARE(w->MemoJump().CaretColumn(), 150);
      QCOMPARE(w->StatusPanel(1)->text(), QStringLiteral("1 : 150"));
    }
    e.reset();
  }

  void colourFontAndExportEntries() {
    EditorTestProject p;
    ui::ScriptedMessageBoxes boxes;
    auto e = Open(p);
    QPointer<TVaveMainForm> w = e->w;
    auto base = [](QWidget *x) { return x->palette().color(QPalette::Base); };
    QCOMPARE(base(w->FileText()), QColor(251, 241, 213));
    QCOMPARE(base(w->VaveDataBase()), QColor(249, 233, 170));
    w->Action(TEditorAction::UseDefaultColorMenu)->trigger();
    QCOMPARE(base(w->FileText()), QApplication::palette().color(QPalette::Base));
    QCOMPARE(base(w->VaveDataBase()), QApplication::palette().color(QPalette::Base));
    w->Action(TEditorAction::UseDefaultColorMenu)->trigger();
    QCOMPARE(base(w->FileText()), QColor(251, 241, 213));

    QFont chosen(QStringLiteral("Noto Sans Mono CJK JP"));
    chosen.setPointSize(21);
    {
      ui::ScriptedDialogs dialogs({ui::DialogAnswer::Cancel()});
      w->Action(TEditorAction::SelectFontMenu)->trigger();
      QCOMPARE(dialogs.Asked().size(), size_t(1));
      QCOMPARE(dialogs.Asked()[0].font, w->FileText()->font());
      QVERIFY(!w->TreeModified());
    }
    ui::ScriptedDialogs dialogs({ui::DialogAnswer::AcceptFont(chosen)});
    w->Action(TEditorAction::SelectFontMenu)->trigger();
    QVERIFY(w->TreeModified());
    QCOMPARE(w->FileText()->font().pointSize(), 21);
    QCOMPARE(w->VaveDataBase()->font().pointSize(), 21);
    QCOMPARE(w->MemoJump().LineHeight, TPlainTextMemo::FontLineHeight(w->FileText()));

    QVERIFY(Enabled(*w, TEditorAction::ItemTextOutAction));
    QVERIFY(Enabled(*w, TEditorAction::ItemHtmlOutAction));
    w->VaveDataBase()->ClearTree(); // no item shown
    QVERIFY(!Enabled(*w, TEditorAction::ItemTextOutAction));
    QVERIFY(!Enabled(*w, TEditorAction::ItemHtmlOutAction));
    QVERIFY(!Enabled(*w, TEditorAction::InsertDateAction));
    e.reset();
  }

  void dateAndTimeWhateverTheLocale() {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EditorTestProject p;
    ui::ScriptedMessageBoxes boxes;
    auto e = Open(p);
    QPointer<TVaveMainForm> w = e->w;
    support::ScopedClock clock(At(2000, 11, 8, 21, 13, 30));
    // The selection is replaced.
    w->MemoJump().SetCaret(0);
    w->MemoJump().SelectFromCaret(5); // "first"
    w->Action(TEditorAction::InsertDateAction)->trigger();
    QCOMPARE(w->FileText()->toPlainText().split('\n')[0], QStringLiteral(u"2000/11/08(水) line"));
    w->Action(TEditorAction::InsertTimeAction)->trigger();
    QCOMPARE(w->FileText()->toPlainText().split('\n')[0],
             QStringLiteral(u"2000/11/08(水)21:13:30 line"));
    QVERIFY(w->MemoModified());
    // Every weekday, Sunday first.
    const QString days = QStringLiteral(u"日月火水木金土");
    for (int d = 0; d < 7; ++d)
      QCOMPARE(TTextCommands::DateText(At(2000, 11, 5 + d, 0, 0, 0)),
               QStringLiteral("2000/11/%1(").arg(5 + d, 2, 10, QLatin1Char('0')) + days[d] + ')');
    QCOMPARE(TTextCommands::TimeText(At(2000, 1, 1, 7, 5, 9)), QStringLiteral("07:05:09"));
    QLocale::setDefault(saved);
    e.reset();
  }

  void clipboardCommandsFollowFocusAndLabel() {
    EditorTestProject p;
    ui::ScriptedMessageBoxes boxes;
    auto e = Open(p);
    QPointer<TVaveMainForm> w = e->w;
    QPlainTextEdit *memo = w->FileText();
    QClipboard *clip = QApplication::clipboard();
    QVERIFY(!Enabled(*w, TEditorAction::CopyToClipAction));   // nothing selected
    QVERIFY(!Enabled(*w, TEditorAction::PastClipTextAction)); // nothing to paste
    QVERIFY(Enabled(*w, TEditorAction::SelectAllAction));

    memo->setFocus();
    w->Action(TEditorAction::SelectAllAction)->trigger();
    QVERIFY(Enabled(*w, TEditorAction::CopyToClipAction));
    w->Action(TEditorAction::CopyToClipAction)->trigger();
    QCOMPARE(clip->text(), QStringLiteral("first line\nsecond line\nthird"));
    QVERIFY(Enabled(*w, TEditorAction::PastClipTextAction)); // follows the clipboard
    clip->setText(QStringLiteral("pasted"));
    w->Action(TEditorAction::PastClipTextAction)->trigger();
    QCOMPARE(memo->toPlainText(), QStringLiteral("pasted"));
    QVERIFY(Enabled(*w, TEditorAction::UndoAction));
    w->Action(TEditorAction::UndoAction)->trigger();
    QCOMPARE(memo->toPlainText(), QStringLiteral("first line\nsecond line\nthird"));

    // While a label is edited the commands act on the whole label.
    TVaveDataBase *tree = w->VaveDataBase();
    TProjectNode *b = FindItem(*w, "Root-C00002");
    QVERIFY(tree->SelectNode(b));
    tree->setFocus();
    tree->StartLabelEdit(b);
    QVERIFY(tree->IsEditingLabel());
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(editor);
    editor->setText(QStringLiteral("Bxyz"));
    editor->setSelection(1, 2);
    clip->setText(QStringLiteral(u"新しい名前"));
    w->Action(TEditorAction::PastClipTextAction)->trigger();
    QCOMPARE(editor->text(), QStringLiteral(u"新しい名前"));
    QCOMPARE(memo->toPlainText(), QStringLiteral("bee")); // the memo is untouched
    editor->setText(QStringLiteral("Bxyz"));
    editor->setSelection(1, 2);
    QTest::keySequence(editor, QKeySequence::Paste);
    QCOMPARE(editor->text(), QStringLiteral(u"新しい名前"));
    editor->setSelection(0, 2);
    QTest::keySequence(editor, QKeySequence::Copy);
    QCOMPARE(clip->text(), QStringLiteral("B")); // the label, not the selected part
    // Enter still commits the label rather than leaving the tree.
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(!tree->IsEditingLabel());
    QCOMPARE(b->Text(), TestDir::Name(QStringLiteral(u"新しい名前")));
    e.reset();
  }

  void undoChangesRestoresTheStoredText() {
    EditorTestProject p;
    ui::ScriptedMessageBoxes boxes;
    auto e = Open(p);
    QPointer<TVaveMainForm> w = e->w;
    QVERIFY(!Enabled(*w, TEditorAction::UndoItemMidifyAction));
    w->FileText()->moveCursor(QTextCursor::End);
    QTest::keyClicks(w->FileText(), "XYZ");
    QVERIFY(w->MemoModified());
    QVERIFY(Enabled(*w, TEditorAction::UndoItemMidifyAction));
    w->Action(TEditorAction::UndoItemMidifyAction)->trigger();
    QCOMPARE(w->FileText()->toPlainText(), QStringLiteral("first line\nsecond line\nthird"));
    QVERIFY(!w->MemoModified());
    QCOMPARE(w->MemoJump().GetSelStart(), 0);
    QVERIFY(!Enabled(*w, TEditorAction::UndoItemMidifyAction));

    // After a store, the stored text is what comes back.
    QTest::keyClicks(w->FileText(), "kept ");
    QVERIFY(w->StoreItem(w->CurrentNode()));
    QTest::keyClicks(w->FileText(), "dropped ");
    w->Action(TEditorAction::UndoItemMidifyAction)->trigger();
    QCOMPARE(w->FileText()->toPlainText(), QStringLiteral("kept first line\nsecond line\nthird"));
    QVERIFY(p.dir.Read("a.txt").contains("kept first line"));
    e.reset();
  }

  void clearingCaretPositionsWritesEveryItem() {
    EditorTestProject p;
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::No, ui::MsgAnswer::Yes});
    auto e = Open(p);
    QPointer<TVaveMainForm> w = e->w;
    const QStringList files{"r.txt", "a.txt", "a1.txt", "b.txt"};
    QByteArray before = p.dir.Read("a.txt");
    w->Action(TEditorAction::ClearCursorPosMenu)->trigger(); // No: nothing changes
    QCOMPARE(boxes.Asked()[0].text,
             QStringLiteral(u"すべての項目のカーソル位置をクリアします。よろしいですか?"));
    QCOMPARE(boxes.Asked()[0].icon, ui::MsgIcon::Warning);
    QCOMPARE(boxes.Asked()[0].buttons, ui::MsgButtons::YesNo);
    QCOMPARE(boxes.Asked()[0].defaultButton, ui::MsgAnswer::No);
    QCOMPARE(p.dir.Read("a.txt"), before);

    QTest::keyClicks(w->FileText(), "edit ");
    w->Action(TEditorAction::ClearCursorPosMenu)->trigger();
    QCOMPARE(boxes.Asked().size(), size_t(2));
    for (const QString &f : files)
      QVERIFY2(p.dir.Read(f).contains("Line:0\r\nColumn:1\r\n"), qPrintable(f));
    QVERIFY(p.dir.Read("a.txt").contains("edit ")); // the edit is stored with it
    QCOMPARE(w->CurrentNode(), FindItem(*w, "Root-C00000"));
    QCOMPARE(w->StatusPanel(1)->text(), QStringLiteral("0 : 1"));
    QVERIFY(w->VaveDataBase()->SelectNode(FindItem(*w, "Root-C00002")));
    QCOMPARE(w->MemoJump().GetSelStart(), 0);
    e.reset();
  }

  void clearingCaretPositionsGoesOnPastAnUnwritableItem() {
    EditorTestProject p;
    // Make B's file the largest, so that a size limit fails only its write.
    QByteArray big = p.dir.Read("b.txt");
    big.replace("bee", QByteArray(300, 'e'));
    p.dir.Write("b.txt", big);
    ui::ScriptedMessageBoxes boxes({ui::MsgAnswer::Yes, ui::MsgAnswer::Ok});
    auto e = Open(p);
    QPointer<TVaveMainForm> w = e->w;
    qint64 others = 0;
    for (const char *f : {"r.txt", "a.txt", "a1.txt"})
      others = std::max<qint64>(others, p.dir.Read(f).size());
    QVERIFY(p.dir.Read("b.txt").size() > others + 20);
    {
      FileSizeLimit limit(others + 10);
      w->Action(TEditorAction::ClearCursorPosMenu)->trigger();
    }
    QCOMPARE(boxes.Asked().size(), size_t(2));
    const QString message = boxes.Asked()[1].text;
    QVERIFY(message.contains(p.dir.Native("b.txt")));
    QVERIFY(!message.contains(p.dir.Native("a.txt")));
    QCOMPARE(boxes.Asked()[1].icon, ui::MsgIcon::Error);
    for (const char *f : {"r.txt", "a.txt", "a1.txt"})
      QVERIFY2(p.dir.Read(f).contains("Line:0\r\nColumn:1\r\n"), f);
    QVERIFY(p.dir.Read("b.txt").contains("Line:0\r\nColumn:2\r\n"));
    e.reset();
  }

  void hintLineShowsHintsOnlyWhileOn() {
    EditorTestProject p;
    ui::ScriptedMessageBoxes boxes;
    auto e = Open(p);
    QPointer<TVaveMainForm> w = e->w;
    QLabel *panel = w->StatusPanel(2);
    const QString hint = w->Action(TEditorAction::WordWrapMenu)->statusTip();
    auto tip = [&](const QString &text) {
      QStatusTipEvent e(text);
      QApplication::sendEvent(w->FileText(), &e);
    };
    // A new project's settings have the hint line on.
    QVERIFY(w->Action(TEditorAction::ShowHintMenu)->isChecked());
    tip(hint);
    QCOMPARE(panel->text(), QStringLiteral(u"ﾋﾝﾄ : ﾃｷｽﾄを右端で折り返します"));
    tip(QString());
    QCOMPARE(panel->text(), QString());
    tip(QStringLiteral("short|long part"));
    QCOMPARE(panel->text(), QStringLiteral(u"ﾋﾝﾄ : long part"));

    w->Action(TEditorAction::ShowHintMenu)->trigger(); // off: the caption comes back
    QCOMPARE(panel->text(), QStringLiteral(u"企画"));
    tip(hint);
    QCOMPARE(panel->text(), QStringLiteral(u"企画"));
    QVERIFY(w->statusBar()->currentMessage().isEmpty()); // the panels are never covered
    QVERIFY(panel->isVisible());

    // The setting is saved and applied on opening.
    w->Action(TEditorAction::SaveProjectAction)->trigger();
    e.reset(); // the first window goes before the second opens
    e = Open(p);
    w = e->w;
    QVERIFY(!w->Action(TEditorAction::ShowHintMenu)->isChecked());
    tip(hint);
    QCOMPARE(w->StatusPanel(2)->text(), QStringLiteral(u"企画"));
    w->Action(TEditorAction::ShowHintMenu)->trigger();
    tip(hint);
    QCOMPARE(w->StatusPanel(2)->text(), QStringLiteral(u"ﾋﾝﾄ : ﾃｷｽﾄを右端で折り返します"));
    e.reset();
  }

  void treeKeysWalkWithoutShowingAndEnterGoesToTheMemo() {
    EditorTestProject p;
    ui::ScriptedMessageBoxes boxes;
    auto e = Open(p);
    QPointer<TVaveMainForm> w = e->w;
    TVaveDataBase *tree = w->VaveDataBase();
    TProjectNode *a = FindItem(*w, "Root-C00000");
    TProjectNode *b = FindItem(*w, "Root-C00002");
    tree->setFocus();
    QVERIFY(tree->hasFocus());

    // A held key: presses (the later ones repeated) move the selection, the
    // memo keeps the item of the start until the release.
    SendKey(tree, QEvent::KeyPress, Qt::Key_Down);
    QCOMPARE(tree->Selected(), b);
    QCOMPARE(w->CurrentNode(), a);
    QCOMPARE(w->FileText()->toPlainText(), QStringLiteral("first line\nsecond line\nthird"));
    SendKey(tree, QEvent::KeyRelease, Qt::Key_Up, true);
    SendKey(tree, QEvent::KeyPress, Qt::Key_Up, true);
    SendKey(tree, QEvent::KeyRelease, Qt::Key_Up, true);
    SendKey(tree, QEvent::KeyPress, Qt::Key_Up, true);
    QCOMPARE(tree->Selected(), w->RootNode());
    QCOMPARE(w->CurrentNode(), a);
    SendKey(tree, QEvent::KeyRelease, Qt::Key_Up);
    QCOMPARE(w->CurrentNode(), w->RootNode());
    QCOMPARE(w->FileText()->toPlainText(), QStringLiteral(u"ルートの本文"));
    QCOMPARE(w->StatusPanel(0)->text(), QStringLiteral("ID:Root"));

    // A key that moves nothing keeps the shown text and its edits.
    QTest::keyClicks(w->FileText(), "typed ");
    tree->setFocus();
    SendKey(tree, QEvent::KeyPress, Qt::Key_Up);
    SendKey(tree, QEvent::KeyRelease, Qt::Key_Up);
    QVERIFY(w->FileText()->toPlainText().startsWith(QStringLiteral("typed ")));
    QVERIFY(w->MemoModified());

    // Focus leaving the tree while the key is held ends the walk too.
    SendKey(tree, QEvent::KeyPress, Qt::Key_Down);
    QCOMPARE(tree->Selected(), a);
    QVERIFY(p.dir.Read("r.txt").contains("typed "));
    w->FileText()->setFocus();
    QCOMPARE(w->CurrentNode(), a);
    QCOMPARE(w->FileText()->toPlainText(), QStringLiteral("first line\nsecond line\nthird"));

    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Return);
    QVERIFY(w->FileText()->hasFocus());
    e.reset();
  }

  void hidingAtTheTopEdge() {
    if (!TDisplayCommands::HideSupported())
      QSKIP("no window moves on this platform");
    EditorTestProject p;
    ui::ScriptedMessageBoxes boxes;
    auto e = Open(p);
    QPointer<TVaveMainForm> w = e->w;
    QAction *hide = w->Action(TEditorAction::HideMenu);
    QVERIFY(Enabled(*w, TEditorAction::HideMenu));
    w->move(100, 0);
    const int height = w->frameGeometry().height();
    w->Display().FormDeactivate(); // not checked yet: stays
    QCOMPARE(w->y(), 0);
    hide->trigger();
    QVERIFY(hide->isChecked());
    w->Display().FormDeactivate();
    QCOMPARE(w->Display().HideState(), TDisplayCommands::THideState::Hidden);
    QCOMPARE(w->y(), 4 - height);

    // A sweep of 40, a pause past the sweep time, another 40: no peek.
    MoveMouse(w, 300);
    MoveMouse(w, 340);
    QVERIFY(w->findChild<QTimer *>(QStringLiteral("SlideTimer"))->isActive());
    QMetaObject::invokeMethod(w->findChild<QTimer *>(QStringLiteral("SlideTimer")), "timeout");
    QCOMPARE(w->Display().SweepStartX(), 0);
    QVERIFY(!w->findChild<QTimer *>(QStringLiteral("SlideTimer"))->isActive());
    MoveMouse(w, 380);
    MoveMouse(w, 420);
    QCOMPARE(w->Display().HideState(), TDisplayCommands::THideState::Hidden);
    MoveMouse(w, 431); // 51 from the start of this sweep
    QCOMPARE(w->Display().HideState(), TDisplayCommands::THideState::Peeking);
    QCOMPARE(w->y(), w->statusBar()->height() - height + 4);
    QVERIFY(w->findChild<QTimer *>(QStringLiteral("ExpandTimer"))->isActive());
    QMetaObject::invokeMethod(w->findChild<QTimer *>(QStringLiteral("ExpandTimer")),
                              "timeout"); // the peek ends
    QCOMPARE(w->Display().HideState(), TDisplayCommands::THideState::Hidden);
    QVERIFY(!w->findChild<QTimer *>(QStringLiteral("ExpandTimer"))->isActive());

    // Status bar clicks: shown at the top when peeking, otherwise hidden.
    w->Display().SetHideState(TDisplayCommands::THideState::Peeking);
    Click(w->statusBar());
    QCOMPARE(w->Display().HideState(), TDisplayCommands::THideState::ShownAtTop);
    QCOMPARE(w->y(), 0);
    Click(w->statusBar());
    QCOMPARE(w->Display().HideState(), TDisplayCommands::THideState::Hidden);
    hide->trigger(); // off: back in view
    QCOMPARE(w->Display().HideState(), TDisplayCommands::THideState::Normal);
    QCOMPARE(w->y(), 0);
    Click(w->statusBar());
    QCOMPARE(w->Display().HideState(), TDisplayCommands::THideState::Normal);
    // Away from the top edge a deactivation hides nothing.
    hide->trigger();
    w->move(100, 50);
    w->Display().FormDeactivate();
    QCOMPARE(w->Display().HideState(), TDisplayCommands::THideState::Normal);
    QCOMPARE(w->y(), 50);
    e.reset();
  }
};

ORVANE_WIDGET_TEST_MAIN(TextCommandsTest)
#include "TextCommandsTest.moc"
