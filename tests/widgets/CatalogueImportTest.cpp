// The catalogue's Import and Author commands through its menu, with the
// project management window driven inside its modal display and real
// project folders below a temporary root.
#include "ProjectControlDriver.h"
#include "WidgetTestSupport.h"
#include "catalogue/SelectThema.h"
#include "editor/VaveMain.h"
#include "store/RegIniFile.h"
#include "ui/MessageBox.h"

#include <QAction>
#include <QMenu>
#include <QTreeWidget>

#include <memory>

namespace {

QStringList Titles(const TSelectThemaForm &f) {
  QStringList out;
  for (int i = 0; i < f.RowCount(); ++i)
    out << f.ProjectList()->topLevelItem(i)->text(0);
  return out;
}

// The command as the menu runs it.
void Run(TSelectThemaForm &f, TCatalogueAction id) {
  QAction *a = f.Action(id);
  QVERIFY(f.Menu(TCatalogueMenu::ProjectMenu)->actions().contains(a));
  f.updateActionStates();
  QVERIFY(a->isEnabled());
  a->trigger();
}

} // namespace

class CatalogueImportTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestDir> root_, files_, data_;
  std::unique_ptr<TSelectThemaForm> form_;

  TSelectThemaForm &Open() {
    TRegIniFile reg;
    reg.WriteString("Main", "RootDir", root_->Cp());
    (void)reg.UpdateFile(); // unwritten, the catalogue asks for a folder: the test fails
    form_ = std::make_unique<TSelectThemaForm>();
    return *form_;
  }

private slots:
  void initTestCase() {
    data_ = std::make_unique<TestDir>();
    qputenv("XDG_DATA_HOME", QFile::encodeName(data_->Native(QStringLiteral("share"))));
  }
  void init() {
    (void)fsys::DeleteFile(TRegIniFile::DefaultFileName()); // absent already is as good
    root_ = std::make_unique<TestDir>();
    files_ = std::make_unique<TestDir>();
    files_->Write(QStringLiteral("a.txt"), ExchangeOf(QByteArray::fromStdString(
                                               TestDir::Name(QStringLiteral(u"取り込み")))));
  }
  void cleanup() { form_.reset(); }

  void importRefreshesTheListAndTheProjectOpens() {
    TSelectThemaForm &f = Open();
    QCOMPARE(f.RowCount(), 0);
    ui::ScriptedMessageBoxes boxes;
    bool ran = false;
    WhenShown(
        [&](TProjectControlForm &w) {
          QCOMPARE(w.parentWidget(), &f); // owned by the catalogue
          QCOMPARE(w.Pages()->currentIndex(), 0);
          QCOMPARE(w.ImportRoot, root_->Cp());
          w.ExportFileName()->setText(files_->Native(QStringLiteral("a.txt")));
          TypeInto(w.ProjectName(), QStringLiteral("One"));
          Click(w.StartControlButton());
          TypeInto(w.ProjectName(), QStringLiteral("Two"));
          Click(w.StartControlButton());
          // The list changes once the window is closed.
          QCOMPARE(form_->RowCount(), 0);
          QTest::keyClick(w.ProjectName(), Qt::Key_Escape);
        },
        &ran);
    Run(f, TCatalogueAction::ImportAction);
    QVERIFY(ran);
    QCOMPARE(boxes.Asked().size(), 2u);
    QCOMPARE(Titles(f), (QStringList{QStringLiteral(u"取り込み"), QStringLiteral(u"取り込み")}));
    QVERIFY(root_->Has(QStringLiteral("One/MainTree.dat")));
    QVERIFY(root_->Has(QStringLiteral("Two/MainTree.dat")));

    // The imported project opens in an editor with its tree.
    f.SelectRow(0);
    f.OpenProjectAction();
    TVaveMainForm *editor = f.Selected()->EditorWindow.data();
    QVERIFY(editor);
    QCOMPARE(editor->ProjectTitle(), TestDir::Name(QStringLiteral(u"取り込み")));
    QCOMPARE(boxes.Asked().size(), 2u);

    // The same window comes back for the next import; a display without a
    // successful run leaves the list as it is.
    TProjectControlForm *first = f.ControlWindow();
    f.ProjectList()->clearSelection();
    WhenShown([&](TProjectControlForm &w) {
      QCOMPARE(&w, first);
      TypeInto(w.ProjectName(), QStringLiteral("One")); // exists: refused
      Click(w.StartControlButton());
    });
    Run(f, TCatalogueAction::ImportAction);
    QCOMPARE(f.ControlWindow(), first);
    QVERIFY(f.Selected() == nullptr); // not refreshed: a refresh selects row 0
    QCOMPARE(boxes.Asked().size(), 3u);
    QCOMPARE(boxes.Asked()[2].icon, ui::MsgIcon::Warning);
  }

  void authorChangesTheCaptionAndLaterEditors() {
    root_->Write(QStringLiteral("p/MainTree.dat"), "[Root]\r\nFileName=r.txt\r\n");
    root_->Write(QStringLiteral("p/r.txt"), "Title:P\r\n\r\ntext\r\n");
    root_->Write(QStringLiteral("q/MainTree.dat"), "[Root]\r\nFileName=r.txt\r\n");
    root_->Write(QStringLiteral("q/r.txt"), "Title:Q\r\n\r\ntext\r\n");
    TSelectThemaForm &f = Open();
    QCOMPARE(f.windowTitle(), QStringLiteral("Orvane ver1.12.14  [Rara]"));
    f.SelectRow(Titles(f).indexOf(QStringLiteral("P")));
    f.OpenProjectAction();
    TVaveMainForm *before = f.Selected()->EditorWindow.data();
    QVERIFY(before);

    // Esc leaves name and caption.
    WhenShown([](TProjectControlForm &w) {
      QCOMPARE(w.Pages()->currentIndex(), 1);
      TypeInto(w.AuthorBox(), QStringLiteral("Nobody"));
      QTest::keyClick(w.AuthorBox(), Qt::Key_Escape);
    });
    Run(f, TCatalogueAction::AuthorAction);
    QCOMPARE(f.Author(), std::string("Rara"));
    QCOMPARE(f.windowTitle(), QStringLiteral("Orvane ver1.12.14  [Rara]"));

    // Twice: one bracketed name at the end.
    for (const QString &name : {QStringLiteral(u"佐藤"), QStringLiteral("Sato [2]")}) {
      WhenShown([name](TProjectControlForm &w) {
        TypeInto(w.AuthorBox(), name);
        Click(w.StartControlButton());
      });
      Run(f, TCatalogueAction::AuthorAction);
    }
    QCOMPARE(f.Author(), std::string("Sato [2]"));
    QCOMPARE(f.windowTitle(), QStringLiteral("Orvane ver1.12.14  [Sato [2]]"));
    WhenShown([](TProjectControlForm &w) {
      QCOMPARE(w.AuthorBox()->text(), QStringLiteral("Sato [2]"));
      TypeInto(w.AuthorBox(), QStringLiteral("Sato"));
      Click(w.StartControlButton());
    });
    Run(f, TCatalogueAction::AuthorAction);
    QCOMPARE(f.windowTitle(), QStringLiteral("Orvane ver1.12.14  [Sato]"));

    // The open editor keeps its name; one opened now gets the new one.
    QCOMPARE(before->Author(), std::string("Rara"));
    f.SelectRow(Titles(f).indexOf(QStringLiteral("Q")));
    f.OpenProjectAction();
    QCOMPARE(f.Selected()->EditorWindow->Author(), std::string("Sato"));

    // Kept in the settings when the catalogue closes.
    QCOMPARE(TRegIniFile().ReadString("Main", "Autor", ""), std::string());
    QVERIFY(f.close());
    QCOMPARE(TRegIniFile().ReadString("Main", "Autor", ""), std::string("Sato"));
  }
};

ORVANE_WIDGET_TEST_MAIN(CatalogueImportTest)
#include "CatalogueImportTest.moc"
