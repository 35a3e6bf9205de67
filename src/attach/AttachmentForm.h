#pragma once
// The attachment window: the files attached to one item, as copies inside the
// project directory (listed by bare name) or as links to files elsewhere
// (listed by full path). It works over the item's attachment list and the
// project directory alone, so that the editor window can own one and tell it
// which item to show:
//
//   form->SetProjectDir(projectDir);
//   form->IsProjectFile = [tree](const std::string &name) { return tree->NamesItemFile(name); };
//   form->ShowAttachments(&node->Files);        // rows from the list, window shown
//   ...
//   form->WriteBack();                          // rows back into the list before saving the item
//   form->DetachList();                         // before the item record goes away
//
// Adding, removing and dropping write the rows back at once; the editor is
// told through attachmentsChanged() whenever the list changed.
//
// Files are touched only through fsys::. A removal deletes nothing but a file
// directly inside the project directory, and never a file the project itself
// needs (MainTree.dat, MainTree.dat.ord, and whatever IsProjectFile names);
// copying in never overwrites those either.
#include <QMainWindow>

#include "store/NodeFiles.h"
#include "ui/ActionSet.h"
#include "ui/ScreenFit.h"

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QActionGroup;
class QMenu;
class QTabWidget;
class QTreeWidget;
class TDragDropFile;
class TFileListView;

// The window's commands: name, caption, shortcut, hint, image, Tag, check
// mark, in one list that makes both the enum and the table.
// clang-format off
#define ORVANE_ATTACHMENT_ACTIONS(X) \
  X(ExecuteFileAction, u"ﾌｧｲﾙの実行(&E)", "Ctrl+Return") \
  X(SaveAsAction, u"名前を付けて保存(&S)", "Ctrl+A") \
  X(CloseAction, u"閉じる(&C)", "Ctrl+Q") \
  X(CopyRegisterAction, u"ｺﾋﾟｰ登録(&C)", "Ctrl+C") \
  X(LinkRegisterAction, u"ﾘﾝｸ登録(&L)", "Ctrl+L") \
  X(UnregisterAction, u"登録解除(&R)", "Ctrl+R") \
  X(LargeIconAction, u"大きいｱｲｺﾝ(&G)", "F5", u"", 0, 0, true) \
  X(SmallIconAction, u"小さいｱｲｺﾝ(&M)", "F6", u"", 0, 0, true) \
  X(ListAction, u"一覧(&L)", "F7", u"", 0, 0, true) \
  X(ReportAction, u"詳細(&D)", "F8", u"", 0, 0, true) \
  X(LinkDeleteAction, u"削除(&R)", "Ctrl+R") \
  X(LinkClearAction, u"ｸﾘｱ(&C)", "Ctrl+F8") \
  X(MarkDeleteAction, u"削除(&R)", "") \
  X(MarkClearAction, u"ｸﾘｱ(&C)", "")
// clang-format on

enum class TAttachmentAction { ORVANE_ATTACHMENT_ACTIONS(ORVANE_ACTION_ID) Count_ };
using TAttachmentActions = ui::TActionSet<TAttachmentAction>;

class TAttachmentForm : public QMainWindow {
  Q_OBJECT
public:
  explicit TAttachmentForm(QWidget *owner = nullptr);
  ~TAttachmentForm() override;

  // --- for the owning editor window ---------------------------------------
  void SetProjectDir(std::string_view dir); // kept with a trailing separator
  const std::string &ProjectDir() const { return projectDir_; }
  // Shows the attachments of the list (which stays the item's) and makes the
  // window visible. Entries whose file is missing get no row.
  void ShowAttachments(TStringList *attachments);
  void ShowAttachments(TNodeFiles *item);
  void ClearRows();
  // Replaces the list's entries by the row captions, in row order. False when
  // no list is shown.
  bool WriteBack();
  // Rows cleared and the list forgotten without writing (its item is going away).
  void DetachList();
  TStringList *Attachments() const { return attachments_; }
  // Clicks the view item whose tag is `tag` (0 large icons, 1 small icons,
  // 2 list, 3 report); any other value changes nothing.
  void SelectViewStyle(int tag);
  int GetViewStyle() const;
  bool IsShown() const { return isVisible(); }

  // The window's place ("AttachWin" of the project's settings). What
  // CollectWindowSettings gives back, ApplyWindowSettings restores exactly; a
  // place off every screen is moved onto the primary one.
  void ApplyWindowSettings(int top, int left, int width, int height, int sortType);
  void CollectWindowSettings(int &top, int &left, int &width, int &height, int &sortType) const;

  // Names (bare, inside the project directory) of files the project needs,
  // such as the item files named by the tree. MainTree.dat and
  // MainTree.dat.ord are protected without it.
  std::function<bool(const std::string &bareName)> IsProjectFile;
  bool IsProtectedName(const std::string &bareName) const;
  // A bare name that denotes a file directly inside a directory: not empty,
  // not "." or "..", no separator.

  // --- rows ------------------------------------------------------------------
  // An entry without a directory part lies in the project directory; a
  // relative one with a directory part is taken from there too (never from
  // the process's working directory); an absolute one stands as it is.
  std::string ResolvePath(const std::string &entry) const;
  // Adds a row for the file or folder at `path`; false when nothing is there.
  bool AddFileRow(const std::string &path);
  int RowCount() const;
  std::string RowCaption(int row) const;
  int SelectedRow() const;
  void SelectRow(int row);
  TFileListView *FileList() const { return fileList_; }
  TDragDropFile *DragDropFile() const { return dragDrop_; }

  // One place decides which commands are enabled.
  void updateActionStates();

  // --- commands ----------------------------------------------------------------
  void ExecuteFileActionExecute();
  void SaveAsActionExecute();
  void CopyRegisterActionExecute();
  void LinkRegisterActionExecute();
  void UnregisterActionExecute();
  void FileDrop(const TStringList &paths);

signals:
  void attachmentsChanged();

protected:
  void closeEvent(QCloseEvent *event) override;
  void showEvent(QShowEvent *event) override;

private:
  void BuildMenus();
  void BuildPages();
  QMenu *MakeMenu(const char *name, const QString &text,
                  std::initializer_list<TAttachmentAction> items);
  void PageChanged(int index);
  // The row for `path` (its caption computed as AddFileRow does) is refreshed
  // in place when listed already, else added; -1 when nothing is there.
  // `entry` is the caption to keep when the row comes from the item's list
  // (a hand-edited relative entry stays as it was written).
  int AddOrRefreshRow(const std::string &path, bool refreshExisting, const std::string &entry = {});
  bool PickFileToAdd(std::string &path);
  void DeleteAttachedFile(const std::string &caption);
  void Tell(const QString &text, bool error);

  std::string projectDir_;
  TStringList *attachments_ = nullptr;
  // Entries of the list that got no row (their file is missing), with their
  // place in the list: a write-back keeps them, so that a file away for a
  // moment is not dropped from its item.
  std::vector<std::pair<size_t, std::string>> unshown_;

  QTabWidget *pages_ = nullptr;
  TFileListView *fileList_ = nullptr;
  QTreeWidget *linkList_ = nullptr;
  QTreeWidget *markList_ = nullptr;
  TDragDropFile *dragDrop_ = nullptr;

  QMenu *fileMenu_ = nullptr, *registerMenu_ = nullptr, *viewMenu_ = nullptr, *linkMenu_ = nullptr,
        *markMenu_ = nullptr;
  std::unique_ptr<TAttachmentActions> actions_;
  QActionGroup *viewGroup_ = nullptr;
  ui::TRestoredPlace place_; // the window's place from the project's settings
};
