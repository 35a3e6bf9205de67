#pragma once
// Parts of the editor window that need nothing of it: the header strip over
// the text, the status bar panels, and the messages about what a load met or may
// finish.
#include <QHeaderView>
#include <QString>

#include <string>

class QLabel;
class QStandardItemModel;
class QStatusBar;
class QWidget;
class TNodeFiles;
struct TLoadReport;

// The strip above the text: title, "著者" author, "更新日時" update,
// "作成日時" first edition, each section kept within its width limits.
class TItemHeader : public QHeaderView {
public:
  explicit TItemHeader(QWidget *parent);
  void Show(const TNodeFiles &files);
  void SetTitle(const QString &title);

private:
  QStandardItemModel *model_;
};

// The three panels: item ID, caret "line : column", hint line (stretching).
void MakeStatusPanels(QStatusBar *bar, QLabel *(&panels)[3]);

// One box per malformed header value (up to a limit, then one box counting
// the rest), and one box naming the items whose file could not be read; all
// captioned `caption` (the project title).
void ReportLoadProblems(QWidget *parent, const TLoadReport &report, const QString &caption);

// Before a load: a save stopped after its new tree file was complete leaves
// the tree last saved beside the tree file; the user may finish that save.
void OfferToFinishStoppedSave(QWidget *parent, const std::string &dir);
// Items of the tree file no child list reaches: listed, and true when the
// user wants them attached to the root.
bool AskAttachUnreached(QWidget *parent, const TLoadReport &report, const std::string &dir,
                        const QString &caption);
