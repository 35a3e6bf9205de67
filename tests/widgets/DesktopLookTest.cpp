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

struct Colours {
  QColor window, text, base, highlight, selected;
};

QPalette PaletteOf(const Colours &c) {
  QPalette p(c.window);
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
    p.setColor(g, QPalette::WindowText, c.text);
    p.setColor(g, QPalette::Text, c.text);
    p.setColor(g, QPalette::Base, c.base);
    p.setColor(g, QPalette::Highlight, c.highlight);
    p.setColor(g, QPalette::HighlightedText, c.selected);
    p.setColor(g, QPalette::PlaceholderText, c.text.darker(140));
  }
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
          .arg(text, 0, 'f', 1)
          .arg(selection, 0, 'f', 1);
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
    QTest::newRow("Adwaita dark") << PaletteOf({QColor(0x35, 0x35, 0x35), QColor(0xff, 0xff, 0xff),
                                                QColor(0x2d, 0x2d, 0x2d), QColor(0x15, 0x53, 0x9e),
                                                QColor(0xff, 0xff, 0xff)});
    QTest::newRow("Breeze dark") << PaletteOf({QColor(0x31, 0x36, 0x3b), QColor(0xfc, 0xfc, 0xfc),
                                               QColor(0x23, 0x26, 0x29), QColor(0x3d, 0xae, 0xe9),
                                               QColor(0xfc, 0xfc, 0xfc)});
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

  void windowsFontsResolveToInstalledJapaneseOnes_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    const QString mono = QStringLiteral("Noto Sans Mono CJK JP");
    const QString sans = QStringLiteral("Noto Sans CJK JP");
    const QString serif = QStringLiteral("Noto Serif CJK JP");
    QTest::newRow("ＭＳ ゴシック") << QStringLiteral(u"ＭＳ ゴシック") << mono;
    QTest::newRow("MS Gothic") << QStringLiteral("MS Gothic") << mono;
    QTest::newRow("Terminal") << QStringLiteral("Terminal") << mono;
    QTest::newRow("ＭＳ Ｐゴシック") << QStringLiteral(u"ＭＳ Ｐゴシック") << sans;
    QTest::newRow("メイリオ") << QStringLiteral(u"メイリオ") << sans;
    QTest::newRow("MS UI Gothic") << QStringLiteral("MS UI Gothic") << sans;
    QTest::newRow("游ゴシック") << QStringLiteral(u"游ゴシック") << sans;
    QTest::newRow("ＭＳ 明朝") << QStringLiteral(u"ＭＳ 明朝") << serif;
    QTest::newRow("ＭＳ Ｐ明朝") << QStringLiteral(u"ＭＳ Ｐ明朝") << serif;
  }
  void windowsFontsResolveToInstalledJapaneseOnes() {
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    if (!QFontDatabase::families().contains(shown))
      QSKIP("fonts-noto-cjk is not installed (scripts/install-deps installs it)");
    ui::SubstituteWindowsFonts();
    QCOMPARE(QFontInfo(QFont(stored)).family(), shown);
  }

  // The project's font name is shown in an installed font and saved as it was.
  void theEditorShowsAndKeepsTheStoredFont() {
    if (!QFontDatabase::families().contains(QStringLiteral("Noto Sans Mono CJK JP")))
      QSKIP("fonts-noto-cjk is not installed (scripts/install-deps installs it)");
    EditorTestProject project;
    OpenEditor editor(project.Root());
    QCOMPARE(editor.w->FileText()->font().family(), QStringLiteral("Terminal"));
    QCOMPARE(QFontInfo(editor.w->FileText()->font()).family(),
             QStringLiteral("Noto Sans Mono CJK JP"));
    QCOMPARE(QFontInfo(editor.View()->font()).family(), QStringLiteral("Noto Sans Mono CJK JP"));
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
        QCOMPARE(editor.View()->Selected(), editor.Find(TestDir::Name(QStringLiteral("A"))));
      }
      menu->close();
    }
  }
};

ORVANE_WIDGET_TEST_MAIN(DesktopLookTest)

#include "DesktopLookTest.moc"
