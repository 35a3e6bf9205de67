#pragma once
// A small project on disk for editor window tests, and helpers around it.
#include "WidgetTestSupport.h"
#include "support/FileSizeLimit.h"

#include "editor/VaveDataBase.h"
#include "editor/VaveMain.h"
#include "store/ProjectTree.h"

inline TDateTime At(int y, int mo, int d, int h, int mi, int s) {
  TDateTime t;
  t.year = y, t.month = mo, t.day = d, t.hour = h, t.minute = mi, t.second = s;
  return t;
}

// Root "企画" (r.txt) with children A (a.txt, with child A1, a1.txt, collapsed)
// and B (b.txt); A is selected, its caret remembered at line 1, column 4.
struct EditorTestProject {
  TestDir dir;
  std::string Root() const { return dir.Cp(); }

  EditorTestProject() {
    TProjectTree tree;
    auto add = [&](TProjectNode *parent, const char *id, const QString &title, const char *file,
                   TStringList body, int line, int column) {
      auto data = std::make_unique<TNodeData>();
      data->ID = id;
      data->Files.FilePath = dir.Cp() + file;
      data->Files.Title = TestDir::Name(title);
      data->Files.Author = "rovo";
      data->Files.Update = At(2026, 12, 1, 10, 0, 0);
      data->Files.FirstEdition = At(2026, 11, 1, 9, 0, 0);
      data->Files.Body = std::move(body);
      data->Files.Line = line;
      data->Files.Column = column;
      (void)data->Files.Save(); // one missing shows in the test's own checks
      return tree.AddChild(parent, TestDir::Name(title), std::move(data));
    };
    TProjectNode *root = add(nullptr, "Root", QStringLiteral(u"企画"), "r.txt",
                             {TestDir::Name(QStringLiteral(u"ルートの本文"))}, 0, 1);
    TProjectNode *a = add(root, "Root-C00000", QStringLiteral("A"), "a.txt",
                          {"first line", "second line", "third"}, 1, 4);
    add(a, "Root-C00001", QStringLiteral("A1"), "a1.txt", {"a1"}, 0, 1);
    add(root, "Root-C00002", QStringLiteral("B"), "b.txt", {"bee"}, 0, 2);
    tree.SetExpanded(root, true);
    tree.WindowData.LastIndex = 3;
    tree.SetSelected(a);
    if (!tree.SaveTreeFile(dir.Cp() + "MainTree.dat"))
      qFatal("cannot write test project");
  }
};

inline TProjectNode *FindItem(TVaveMainForm &w, const char *id) {
  for (TProjectNode *n = w.VaveDataBase()->Tree().GetFirstNode(); n; n = n->GetNext())
    if (n->Data()->ID == id)
      return n;
  return nullptr;
}

// The item file as the next open would see it.
inline TNodeFiles StoredItem(const EditorTestProject &p, const char *file) {
  TNodeFiles f;
  f.FilePath = p.dir.Cp(QString::fromLatin1(file));
  (void)f.Open(true); // an unreadable file is an empty item
  return f;
}
