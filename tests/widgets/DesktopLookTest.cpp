// The windows on the desktops users have: light and dark palettes, the fonts
// a Linux desktop has for the Windows ones projects name, and the keys that
// open context menus.
#include "EditorFixture.h"
#include "EditorTestProject.h"
#include "attach/AttachmentForm.h"
#include "attach/FileListView.h"
#include "catalogue/SelectThema.h"
#include "editor/DisplayCommands.h"
#include "store/RegIniFile.h"
#include "ui/Colours.h"
#include "ui/Desktop.h"

#include <QAction>
#include <QFontDatabase>
#include <QFontInfo>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTreeView>
#include <QTreeWidget>

namespace {

// A dark desktop: window, text, base, selection and its text.
QPalette Dark(QColor window, QColor text, QColor base, QColor highlight, QColor selected) {
  QPalette p(window);
  for (auto [role, c] : {std::pair{QPalette::WindowText, text},
                         {QPalette::Text, text},
                         {QPalette::Base, base},
                         {QPalette::Highlight, highlight},
                         {QPalette::HighlightedText, selected}})
    p.setColor(role, c);
  return p;
}

// Empty when text and selection read on the widget's background.
QString Unreadable(const QWidget *w) {
  const QPalette p = w->palette();
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
    const double text = ui::Contrast(p.color(g, QPalette::Text), p.color(g, QPalette::Base));
    const double selection =
        ui::Contrast(p.color(g, QPalette::HighlightedText), p.color(g, QPalette::Highlight));
    if (text < 4.5 || selection < 4.5)
      return QStringLiteral("%1: text %2:1, selection %3:1")
          .arg(w->objectName())
          .arg(text)
          .arg(selection);
  }
  return {};
}

} // namespace

class DesktopLookTest : public QObject {
  Q_OBJECT

private slots:
  void cleanup() { QApplication::setPalette(QApplication::style()->standardPalette()); }

  void ownColoursReadOnEveryDesktop_data() {
    QTest::addColumn<QPalette>("desktop");
    QTest::newRow("light") << QApplication::style()->standardPalette();
    // As the GTK theme gives Adwaita's dark variant, and as Breeze Dark is.
    QTest::newRow("Adwaita dark") << Dark(0x353535, 0xffffff, 0x2d2d2d, 0x15539e, 0xffffff);
    QTest::newRow("Breeze dark") << Dark(0x31363b, 0xfcfcfc, 0x232629, 0x3daee9, 0xfcfcfc);
  }
  // Windows made before the desktop turns dark follow it, as at a switch of
  // the theme while the program runs.
  void ownColoursReadOnEveryDesktop() {
    QFETCH(QPalette, desktop);
    TestDir root;
    TRegIniFile reg;
    reg.WriteString("Main", "RootDir", root.Cp());
    QVERIFY(reg.UpdateFile());
    TSelectThemaForm catalogue;
    EditorTestProject project;
    OpenEditor editor(project.Root());
    TAttachmentForm attachments;
    editor.w->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor.w));
    QApplication::setPalette(desktop);
    QCoreApplication::processEvents(); // windows hear of it through the event loop

    QPlainTextEdit *memo = editor.w->FileText();
    const std::pair<QWidget *, QColor> own[] = {
        {memo, TDisplayCommands::DesignedMemoColor()},
        {editor.View(), TDisplayCommands::DesignedTreeColor()},
        {catalogue.ProjectList(), QColor(249, 233, 170)},
        {attachments.FileList()->reportView(), QColor(251, 241, 213)},
        {attachments.FileList()->iconView(), QColor(251, 241, 213)},
    };
    for (const auto &[w, base] : own) {
      QCOMPARE(w->palette().color(QPalette::Base), base);
      QVERIFY2(Unreadable(w).isEmpty(), qPrintable(Unreadable(w)));
    }
    // The hint of the empty catalogue reads too.
    const QPalette list = catalogue.ProjectList()->palette();
    QVERIFY(ui::Contrast(list.color(QPalette::PlaceholderText), list.color(QPalette::Base)) >= 4.5);

    // Default colours: the desktop's, every one of them.
    editor.w->Action(TEditorAction::UseDefaultColorMenu)->trigger();
    for (QWidget *w : {static_cast<QWidget *>(memo), static_cast<QWidget *>(editor.View())})
      for (QPalette::ColorRole role :
           {QPalette::Base, QPalette::Text, QPalette::Highlight, QPalette::HighlightedText})
        QCOMPARE(w->palette().color(role), desktop.color(role));
    editor.w->Action(TEditorAction::UseDefaultColorMenu)->trigger();
    QCOMPARE(memo->palette().color(QPalette::Base), TDisplayCommands::DesignedMemoColor());
    QVERIFY2(Unreadable(memo).isEmpty(), qPrintable(Unreadable(memo)));
  }

  // Windows font names resolve to installed Japanese fonts of their kind; the
  // project's is shown so and saved as it was.
  void windowsFontsResolveToInstalledJapaneseOnes() {
    const QString mono = QStringLiteral("Noto Sans Mono CJK JP");
    if (!QFontDatabase::families().contains(mono))
      QSKIP("fonts-noto-cjk is not installed (scripts/install-deps installs it)");
    ui::SubstituteWindowsFonts();
    for (const auto &[stored, shown] : {std::pair{u"ＭＳ ゴシック", "Noto Sans Mono CJK JP"},
                                        {u"Terminal", "Noto Sans Mono CJK JP"},
                                        {u"ＭＳ Ｐゴシック", "Noto Sans CJK JP"},
                                        {u"Meiryo", "Noto Sans CJK JP"},
                                        {u"ＭＳ 明朝", "Noto Serif CJK JP"}})
      QCOMPARE(QFontInfo(QFont(QString::fromUtf16(stored))).family(), QString::fromLatin1(shown));
    EditorTestProject project;
    OpenEditor editor(project.Root());
    QCOMPARE(QFontInfo(editor.w->FileText()->font()).family(), mono);
    editor.View()->Project().SetModified(true);
    QVERIFY(editor.w->SaveProject());
    QVERIFY(project.dir.Read(QStringLiteral("MainTree.dat")).contains("FileTextName=Terminal\r\n"));
  }

  // Shift+F10 where the focus is, as a keyboard user presses it.
  void shiftF10OpensTheContextMenu() {
    EditorTestProject project;
    OpenEditor editor(project.Root(), {{}, true});
    for (QWidget *w :
         {static_cast<QWidget *>(editor.View()), static_cast<QWidget *>(editor.w->FileText())}) {
      w->setFocus();
      QTest::keyClick(w, Qt::Key_F10, Qt::ShiftModifier);
      auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
      QVERIFY2(menu && menu->isVisible(), qPrintable(w->objectName()));
      if (w == editor.View()) { // about the current item, which stays selected
        QCOMPARE(menu, editor.w->Menu("TreePopupMenu"));
        QCOMPARE(editor.View()->Selected(), editor.Find("A"));
      }
      menu->close();
    }
  }
};

ORVANE_WIDGET_TEST_MAIN(DesktopLookTest)

#include "DesktopLookTest.moc"
