#pragma once
// The one way widget tests open an editor window: over a project directory,
// with Qt's model tester watching the tree model for the whole test, and a
// walk at the end that compares what the view shows with the core tree.
#include "editor/VaveDataBase.h"
#include "editor/VaveMain.h"
#include "store/ProjectTree.h"
#include "support/TreeOutline.h"
#include "ui/Text.h"

#include <QAbstractItemModelTester>
#include <QPointer>
#include <QTest>

#include <functional>
#include <memory>
#include <string>

// Every row the model shows is the core node at the same place, with its
// label, and no node is missing; the view's expanded state is the node's.
// Empty when they agree, else the first difference.
inline QString ModelTreeDifference(TVaveDataBase &view) {
  QAbstractItemModel *model = view.model();
  const TProjectTree &tree = view.Tree();
  std::function<QString(const QModelIndex &, const TProjectNode *)> walk;
  walk = [&](const QModelIndex &parent, const TProjectNode *node) -> QString {
    const int rows = model->rowCount(parent);
    const int expected = node ? node->Count() : tree.TopCount();
    const QString where = node ? QString::fromStdString(node->Data()->ID) : QStringLiteral("(top)");
    if (rows != expected)
      return QStringLiteral("%1: %2 rows shown, %3 in the tree").arg(where).arg(rows).arg(expected);
    for (int row = 0; row < rows; ++row) {
      const QModelIndex index = model->index(row, 0, parent);
      const TProjectNode *child = node ? node->Item(row) : tree.TopItem(row);
      if (TVaveTreeModel::NodeOf(index) != child)
        return QStringLiteral("%1 row %2: another node").arg(where).arg(row);
      const QString label = index.data(Qt::DisplayRole).toString();
      if (label != ui::ToQString(child->Text()))
        return QStringLiteral("%1 row %2: shows \"%3\"").arg(where).arg(row).arg(label);
      if (child->HasChildren() && view.isExpanded(index) != child->Expanded())
        return QStringLiteral("%1: expanded %2 in the view, %3 in the tree")
            .arg(QString::fromStdString(child->Data()->ID))
            .arg(view.isExpanded(index))
            .arg(child->Expanded());
      if (QString inner = walk(index, child); !inner.isEmpty())
        return inner;
    }
    return {};
  };
  return walk(QModelIndex(), nullptr);
}

struct EditorOptions {
  std::string author;    // set before the project opens, when not empty
  bool activate = false; // shown and made the active window
};

struct OpenEditor {
  QPointer<TVaveMainForm> w = new TVaveMainForm;
  std::unique_ptr<QAbstractItemModelTester> tester;

  // With no directory the window stays empty: the test opens or makes a
  // project itself.
  explicit OpenEditor(const std::string &projectDir = {}, const EditorOptions &options = {}) {
    tester = std::make_unique<QAbstractItemModelTester>(
        View()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    if (!options.author.empty())
      w->SetAuthor(options.author);
    if (!projectDir.empty() && !w->OpenProjectDir(projectDir))
      qFatal("cannot open the test project");
    if (options.activate) {
      w->activateWindow();
      if (!QTest::qWaitForWindowActive(w))
        qWarning("window not active");
    }
  }
  // A test that closed the window itself leaves nothing to compare.
  ~OpenEditor() {
    if (!w)
      return;
    CheckModel();
    tester.reset();
    delete w;
  }
  OpenEditor(const OpenEditor &) = delete;
  OpenEditor &operator=(const OpenEditor &) = delete;

  TVaveDataBase *View() const { return w->VaveDataBase(); }
  // The tree in outline notation (support/TreeOutline.h).
  std::string Shape() const { return outline::Print(View()->Tree()); }
  // The first item with this label, in tree order.
  TProjectNode *Find(const std::string &label) const {
    for (TProjectNode *n = View()->Tree().GetFirstNode(); n; n = n->GetNext())
      if (n->Text() == label)
        return n;
    return nullptr;
  }
  void Select(const std::string &label) { QVERIFY(View()->SelectNode(Find(label))); }
  // Fails the running test when the view and the core tree disagree.
  void CheckModel() const {
    if (!w || w->IsClosing())
      return;
    const QString difference = ModelTreeDifference(*View());
    if (!difference.isEmpty())
      QTest::qFail(qPrintable(QStringLiteral("model and tree differ: ") + difference), __FILE__,
                   __LINE__);
  }
};
