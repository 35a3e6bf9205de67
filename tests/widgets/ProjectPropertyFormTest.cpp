// The property window over a real project directory, driven inside its modal
// display with real key and mouse events, and the catalogue's Properties
// command that makes it once and places it beside the catalogue.
#include "catalogue/ProjectPropertyForm.h"
#include "WidgetTestSupport.h"
#include "catalogue/SelectThema.h"
#include "store/RegIniFile.h"
#include "ui/FramedLabel.h"
#include "ui/MessageBox.h"
#include "ui/Shell.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>

namespace {

// A project of three items (the root and two children) with a picture copied
// into it, its tree file last written at 2000/01/22 09:51:40.
void MakeProject(const TestDir &d, const QString &name = QString()) {
  const QString at = name.isEmpty() ? QString() : name + QLatin1Char('/');
  d.Write(at + QStringLiteral("r.txt"),
          "Title:" + QByteArray::fromStdString(TestDir::Name(QStringLiteral(u"構想"))) +
              "\r\nAuthor:kem\r\nFirstEdition:2000/01/02 03:04:05\r\n"
              "Update:2000/01/22 09:51:40\r\n\r\nroot text\r\n\r\n");
  d.Write(at + QStringLiteral("a.txt"),
          "Title:Alpha\r\nAuthor:rara\r\nFirstEdition:2001/02/03 04:05:06\r\n"
          "Update:2001/02/04 05:06:07\r\n\r\nalpha\r\n\r\n");
  d.Write(at + QStringLiteral("b.txt"), "Title:Beta\r\n\r\nbeta\r\n\r\n");
  d.Write(at + QStringLiteral("pic.png"), QByteArray(12345, 'p'));
  d.Write(at + QStringLiteral("MainTree.dat"),
          "[Root]\r\nFileName=r.txt\r\nChild01=Root-C00000\r\nChild02=Root-C00001\r\n"
          "[Root-C00000]\r\nFileName=a.txt\r\n[Root-C00001]\r\nFileName=b.txt\r\n");
  QFile f(d.Native(at + QStringLiteral("MainTree.dat")));
  QVERIFY(f.open(QIODevice::ReadWrite));
  QVERIFY(f.setFileTime(QDateTime(QDate(2000, 1, 22), QTime(9, 51, 40)),
                        QFileDevice::FileModificationTime));
}

QTreeWidgetItem *RowNamed(QTreeWidget *list, const QString &name) {
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    if (list->topLevelItem(i)->text(0) == name)
      return list->topLevelItem(i);
  return nullptr;
}

QStringList Texts(const QTreeWidgetItem *row) {
  QStringList out;
  for (int c = 0; c < row->treeWidget()->columnCount(); ++c)
    out << row->text(c);
  return out;
}

QPoint Centre(QTreeWidget *list, QTreeWidgetItem *row) {
  return list->visualItemRect(row).center();
}

// Runs `steps` inside the next modal display of the property window; the
// window is closed afterwards whatever the steps did, so the display ends.
void WhenShown(std::function<void(TProjectPropertyForm &)> steps, bool *ran) {
  QTimer::singleShot(0, [steps = std::move(steps), ran] {
    auto *w = qobject_cast<TProjectPropertyForm *>(QApplication::activeModalWidget());
    if (!w)
      qFatal("the property window is not shown modally");
    *ran = true;
    steps(*w);
    if (w->isVisible())
      w->reject();
  });
}

} // namespace

class ProjectPropertyFormTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestDir> dir_;

private slots:
  void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
  void init() { dir_ = std::make_unique<TestDir>(); }

  void everyControlAndColumnIsThere() {
    TProjectPropertyForm w;
    QStringList framed;
    for (ui::FramedLabel *l : w.findChildren<ui::FramedLabel *>())
      framed << l->text();
    QCOMPARE(framed,
             (QStringList{QStringLiteral(u"プロジェクト情報"), QStringLiteral(u"ファイル情報")}));
    QStringList labels;
    for (QLabel *l : w.findChildren<QLabel *>())
      labels << l->text();
    QVERIFY(labels.contains(QStringLiteral(u"最終更新")));
    QVERIFY(labels.contains(QStringLiteral(u"ディレクトリ")));
    QCOMPARE(w.OpenProjectFolder()->text(), QStringLiteral(u"開く(&E)"));
    QCOMPARE(w.CloseButton()->text(), QStringLiteral(u"閉じる(&C)"));
    QCOMPARE(w.Image1()->size(), QSize(32, 32));
    QVERIFY(!w.Image1()->pixmap().isNull());
    QVERIFY(w.findChild<QLabel *>(QStringLiteral("LastUpdateCaption")));
    QVERIFY(w.findChild<QLabel *>(QStringLiteral("DirectoryCaption")));

    QTreeWidget *list = w.FileListView();
    QCOMPARE(list->objectName(), QStringLiteral("FileListView"));
    const QStringList headers{QStringLiteral(u"ファイル名"), QStringLiteral(u"サイズ"),
                              QStringLiteral(u"タイトル"),   QStringLiteral(u"著者"),
                              QStringLiteral(u"作成日"),     QStringLiteral(u"更新日")};
    const int widths[] = {120, 80, 120, 60, 120, 120};
    // What a column commonly holds is not cut in the font in use.
    const QString samples[] = {QStringLiteral("202612081200000.txt"),
                               QStringLiteral("123,456,789byte"),
                               QString(),
                               QString(),
                               QStringLiteral("2026/12/08 18:09:14"),
                               QStringLiteral("2026/12/08 18:09:14")};
    const QFontMetrics metrics(list->font());
    QCOMPARE(list->columnCount(), 6);
    for (int c = 0; c < 6; ++c) {
      QCOMPARE(list->headerItem()->text(c), headers[c]);
      QVERIFY(list->header()->sectionSize(c) >= widths[c]);
      QVERIFY(list->header()->sectionSize(c) >= metrics.horizontalAdvance(samples[c]) + 8);
      QVERIFY(list->header()->sectionSize(c) >= metrics.horizontalAdvance(headers[c]) + 8);
    }
    QCOMPARE(list->header()->sectionSize(2), 120);
    QCOMPARE(list->header()->sectionSize(3), 60);
    QCOMPARE(list->headerItem()->textAlignment(1) & Qt::AlignHorizontal_Mask, int(Qt::AlignRight));
    QVERIFY(list->header()->sectionsClickable());
    QVERIFY(list->isSortingEnabled());
    QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(list->palette().color(QPalette::Inactive, QPalette::Highlight),
             list->palette().color(QPalette::Active, QPalette::Highlight));
    // The window can be made larger.
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.maximumSize().height() > w.minimumSize().height());
    // Every column in view without scrolling sideways.
    QVERIFY(list->viewport()->width() >= list->header()->length());
  }

  void aProjectListsItsFilesWithHeadersSizesAndCaptions() {
    MakeProject(*dir_);
    TProjectPropertyForm w;
    QVERIFY(w.Fill(dir_->Cp()));
    QTreeWidget *list = w.FileListView();
    QCOMPARE(list->topLevelItemCount(), 4);
    QCOMPARE(Texts(RowNamed(list, QStringLiteral("r.txt"))).mid(2),
             (QStringList{QStringLiteral(u"構想"), QStringLiteral("kem"),
                          QStringLiteral("2000/01/02 03:04:05"),
                          QStringLiteral("2000/01/22 09:51:40")}));
    QCOMPARE(Texts(RowNamed(list, QStringLiteral("a.txt"))).mid(2),
             (QStringList{QStringLiteral("Alpha"), QStringLiteral("rara"),
                          QStringLiteral("2001/02/03 04:05:06"),
                          QStringLiteral("2001/02/04 05:06:07")}));
    QCOMPARE(RowNamed(list, QStringLiteral("b.txt"))->text(2), QStringLiteral("Beta"));
    // The attachment: name and size only, thousands separated.
    QCOMPARE(Texts(RowNamed(list, QStringLiteral("pic.png"))),
             (QStringList{QStringLiteral("pic.png"), QStringLiteral("12,345byte"), QString(),
                          QString(), QString(), QString()}));
    QCOMPARE(RowNamed(list, QStringLiteral("a.txt"))->text(1),
             QStringLiteral("%1byte").arg(dir_->Read(QStringLiteral("a.txt")).size()));
    QCOMPARE(RowNamed(list, QStringLiteral("pic.png"))->textAlignment(1) & Qt::AlignHorizontal_Mask,
             int(Qt::AlignRight));
    QCOMPARE(w.windowTitle(), QStringLiteral(u"「構想」のプロパティ"));
    QCOMPARE(w.DirectoryCaption()->text(), dir_->Native().chopped(1)); // no separator
    QCOMPARE(w.LastUpdateCaption()->text(), QStringLiteral(u"2000年01月22日 09時51分40秒"));

    // A header click sorts by that column: sizes as numbers, then the other way.
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QHeaderView *header = list->header();
    const QPoint sizeHeader(header->sectionViewportPosition(1) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sizeHeader);
    const int biggest = header->sortIndicatorOrder() == Qt::AscendingOrder ? 3 : 0;
    QCOMPARE(list->topLevelItem(biggest)->text(0), QStringLiteral("pic.png"));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sizeHeader);
    QCOMPARE(list->topLevelItem(3 - biggest)->text(0), QStringLiteral("pic.png"));
    list->sortByColumn(-1, Qt::AscendingOrder);

    // A project without a root section: new rows, the caption as it was.
    TestDir other;
    other.Write(QStringLiteral("x.txt"), "Title:X\r\n\r\nx\r\n");
    other.Write(QStringLiteral("MainTree.dat"), "[Root-C00000]\r\nFileName=x.txt\r\n");
    QVERIFY(w.Fill(other.Cp()));
    QCOMPARE(list->topLevelItemCount(), 1);
    QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("X"));
    QCOMPARE(w.windowTitle(), QStringLiteral(u"「構想」のプロパティ"));
    QCOMPARE(w.ProjectDir(), other.Cp());
  }

  void aFolderWithoutTreeFileIsRefusedWithoutAWindow() {
    dir_->Write(QStringLiteral("a.txt"), "Title:A\r\n\r\n");
    TProjectPropertyForm w;
    ui::ScriptedMessageBoxes boxes;
    bool shown = false;
    // Should the window come up all the same, it must not block the test.
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, &w, [&] {
      shown = w.isVisible();
      w.reject();
    });
    guard.start(0);
    w.ShowProperties(dir_->Cp());
    QCOMPARE(boxes.Asked().size(), 1u);
    QCOMPARE(boxes.Asked()[0].text, QStringLiteral(u"正常なプロジェクトではありません"));
    QCOMPARE(w.FileListView()->topLevelItemCount(), 0);
    QCoreApplication::processEvents();
    QVERIFY(!shown);
  }

  void rowsAndTheFolderOpenThroughTheShellAndEscCloses() {
    MakeProject(*dir_);
    TProjectPropertyForm w;
    ui::RecordedShellOpen opened;
    ui::ScriptedMessageBoxes boxes;
    bool ran = false;
    WhenShown(
        [&](TProjectPropertyForm &f) {
          QTreeWidget *list = f.FileListView();
          QVERIFY(QTest::qWaitForWindowActive(&f));
          QVERIFY(list->hasFocus());
          // Without a selected row Enter opens nothing, and is still the list's.
          list->clearSelection();
          QTest::keyClick(list, Qt::Key_Return);
          QVERIFY(f.isVisible());
          QVERIFY(opened.Targets().empty());

          QTreeWidgetItem *a = RowNamed(list, QStringLiteral("a.txt"));
          QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, Centre(list, a));
          QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, Centre(list, a));
          QCOMPARE(opened.Targets(), std::vector<std::string>{dir_->Cp("a.txt")});

          QTreeWidgetItem *pic = RowNamed(list, QStringLiteral("pic.png"));
          QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, Centre(list, pic));
          QTest::keyClick(list, Qt::Key_Return);
          QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
          QCOMPARE(opened.Targets().size(), 3u);
          QCOMPARE(opened.Targets()[1], dir_->Cp("pic.png"));
          QCOMPARE(opened.Targets()[2], dir_->Cp("pic.png"));
          QVERIFY(f.isVisible()); // the default button never saw the key

          QTest::mouseClick(f.OpenProjectFolder(), Qt::LeftButton);
          QCOMPARE(opened.Targets().back(), dir_->Cp());

          QTest::mouseClick(f.Image1(), Qt::LeftButton);
          QCOMPARE(boxes.Asked().size(), 1u);
          QCOMPARE(boxes.Asked()[0].text, QStringLiteral(u"別に何も無いですよ ^^;"));

          // The selection stays marked while a button has the focus.
          QVERIFY(pic->isSelected());

          QTest::keyClick(list, Qt::Key_Escape);
          QVERIFY(!f.isVisible());
        },
        &ran);
    w.ShowProperties(dir_->Cp());
    QVERIFY(ran);
    QCOMPARE(opened.Targets().size(), 4u);

    // "閉じる(&C)" closes as well.
    ran = false;
    WhenShown(
        [&](TProjectPropertyForm &f) {
          QTest::mouseClick(f.CloseButton(), Qt::LeftButton);
          QVERIFY(!f.isVisible());
        },
        &ran);
    w.ShowProperties(dir_->Cp());
    QVERIFY(ran);
  }

  void catalogueCommandIsEnabledWithARowMadeOnceAndPlaced() {
    (void)fsys::DeleteFile(TRegIniFile::DefaultFileName()); // absent already is as good
    TRegIniFile reg;
    reg.WriteString("Main", "RootDir", dir_->Cp());
    QVERIFY(reg.UpdateFile());
    TSelectThemaForm f;
    QAction *command = f.Action(TCatalogueAction::PropertyAction);
    QAction *popup = f.Action(TCatalogueAction::PopupPropertyMenu);
    QCOMPARE(f.RowCount(), 0);
    QVERIFY(!command->isEnabled());
    QVERIFY(!popup->isEnabled());
    QCOMPARE(command->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));

    MakeProject(*dir_, QStringLiteral("p"));
    f.RefreshProjectList();
    f.ProjectList()->clearSelection();
    QVERIFY(!command->isEnabled());
    f.SelectRow(0);
    QVERIFY(command->isEnabled());
    QVERIFY(popup->isEnabled());
    QVERIFY(f.Menu(TCatalogueMenu::ProjectMenu)->actions().contains(command));
    QVERIFY(!f.PropertyWindow());

    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    // Placement, computed from the real geometries: the catalogue taller
    // (top edges), shorter (bottom edges), shorter but too high for that
    // (top edges again).
    struct Case {
      QRect catalogue;
      bool bottomAligned;
    };
    const Case cases[] = {{QRect(100, 40, 400, 700), false},
                          {QRect(200, 500, 285, 200), true},
                          {QRect(150, 20, 285, 200), false}};
    TProjectPropertyForm *first = nullptr;
    for (const Case &c : cases) {
      f.setGeometry(c.catalogue);
      QCoreApplication::processEvents();
      bool ran = false;
      WhenShown(
          [&](TProjectPropertyForm &w) {
            QCOMPARE(w.parentWidget(), &f);
            if (first)
              QCOMPARE(&w, first);
            first = &w;
            QCOMPARE(w.windowTitle(), QStringLiteral(u"「構想」のプロパティ"));
            QCOMPARE(w.FileListView()->topLevelItemCount(), 4);
            const QRect cat = f.frameGeometry(), own = w.frameGeometry();
            QCOMPARE(own.left(), cat.left());
            if (c.bottomAligned) {
              QVERIFY(own.height() > cat.height());
              QCOMPARE(own.bottom(), cat.bottom());
              QVERIFY(own.top() > 0);
            } else {
              QCOMPARE(own.top(), cat.top());
            }
          },
          &ran);
      f.SelectRow(0);
      QVERIFY(command->isEnabled());
      command->trigger();
      QVERIFY(ran);
      QCOMPARE(f.PropertyWindow(), first);
    }
  }
};

ORVANE_WIDGET_TEST_MAIN(ProjectPropertyFormTest)
#include "ProjectPropertyFormTest.moc"
