#pragma once
// Hand-made project files for the tree-file and command-line tests.
#include "TempDir.h"

#include "store/DateTime.h"
#include "store/Project.h"
#include "store/ProjectTree.h"

#include <initializer_list>
#include <string>

namespace fixture {

inline TDateTime At(int y, int mo, int d, int h, int mi, int s) {
  TDateTime t;
  t.year = y, t.month = mo, t.day = d, t.hour = h, t.minute = mi, t.second = s;
  return t;
}

// The first item with this label, in tree order.
inline TProjectNode *Find(const TProject &p, const std::string &label) {
  for (TProjectNode *n = p.Tree().GetFirstNode(); n; n = n->GetNext())
    if (n->Text() == label)
      return n;
  return nullptr;
}

// The settings sections of a new TWindowData as they follow the "Root"
// section of a freshly written MainTree.dat.
inline const std::string kNewSettingsSections =
    "[Window]\r\nTop=50\r\nLeft=50\r\nWidth=630\r\nHeight=420\r\nTreeWidth=150\r\n"
    "WordWrap=0\r\nHideForm=0\r\nAutoSave=0\r\nDefaultColor=0\r\nShowHint=1\r\n"
    "[Font]\r\nFileTextName=Terminal\r\nFileTextSize=10\r\n"
    "[Header]\r\nSection0=100\r\nSection1=40\r\nSection2=80\r\nSection3=60\r\n"
    "Section4=130\r\nSection5=60\r\nSection6=130\r\n"
    "[AttachWin]\r\nTop=228\r\nLeft=182\r\nWidth=458\r\nHeight=206\r\nSortType=3\r\n";

// "[name]" and one CR LF line per key.
inline std::string Section(const std::string &name, std::initializer_list<std::string> keys) {
  std::string s = "[" + name + "]\r\n";
  for (const auto &k : keys)
    s += k + "\r\n";
  return s;
}

// A minimal item file: title, the end of the header, one line of text.
inline void Item(const TempDir &t, const std::string &file, const std::string &title,
                 const std::string &extraHeader = "") {
  t.Write(file, "Title:" + title + "\r\n" + extraHeader + "\r\ntext of " + title + "\r\n\r\n");
}

// Project(A(A1 A2) B*) (outline notation of support/TreeOutline.h), as in a
// saved project.
inline void WriteSample(const TempDir &t) {
  Item(t, "r.txt", "Project");
  Item(t, "a.txt", "A");
  Item(t, "a1.txt", "A1", "ToDo:true\r\n");
  Item(t, "a2.txt", "A2");
  Item(t, "b.txt", "B");
  t.Write("MainTree.dat",
          Section("Root", {"LastIndex=4", "TagHeader=<b>", "TagFooter=</b>", "Expanded=0",
                           "Child01=Root-C00000", "Child02=Root-C00003", "FileName=r.txt",
                           "LastNode=Root-C00003"}) +
              kNewSettingsSections +
              Section("Root-C00000", {"FileName=a.txt", "Expanded=1", "Child01=Root-C00001",
                                      "Child02=Root-C00002"}) +
              Section("Root-C00001", {"FileName=a1.txt"}) +
              Section("Root-C00002", {"FileName=a2.txt"}) +
              Section("Root-C00003", {"FileName=b.txt"}));
}

} // namespace fixture
