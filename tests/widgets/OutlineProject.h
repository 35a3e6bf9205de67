#pragma once
// A project on disk written from an outline (support/TreeOutline.h) such as
// "R(A(A1 A2) B)": every label names its item, its file (lower case +
// ".txt") and its body ("<label> text"). `locked` marks the root completed;
// `attach` gives attachment entries by label.
#include "WidgetTestSupport.h"

#include "store/ProjectTree.h"
#include "support/TreeOutline.h"

#include <map>
#include <string>

struct OutlineProject {
  TestDir dir;
  std::string Root() const { return dir.Cp(); }

  explicit OutlineProject(const std::string &text, bool locked = false,
                          std::map<std::string, TStringList> attach = {}) {
    TProjectTree tree;
    outline::Build(tree, text, [&](TProjectNode *node) {
      TNodeFiles &f = node->Data()->Files;
      f.FilePath = dir.Cp(QString::fromStdString(node->Text()).toLower() + ".txt");
      f.Title = node->Text();
      f.Body = {node->Text() + " text"};
      f.Completion = locked && !node->Parent();
      f.AttachFiles = attach[node->Text()];
      (void)f.Save(); // one missing shows in the test's own checks
    });
    tree.WindowData.LastIndex = static_cast<int>(tree.NodeCount()) - 1;
    tree.WindowData.Height = 300;
    if (!tree.SaveTreeFile(dir.Cp() + "MainTree.dat"))
      qFatal("cannot write test project");
  }
};
