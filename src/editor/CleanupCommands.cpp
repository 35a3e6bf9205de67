#include "editor/CleanupCommands.h"

#include "store/Cleanup.h"
#include "store/DeletedItems.h"
#include "store/Project.h"
#include "ui/BusyCursor.h"
#include "ui/ErrorText.h"
#include "ui/Text.h"

void TCleanupCommands::Bind() {
  // Always enabled, in a locked project too: it changes no item.
  ed_.Actions().Bind(TEditorAction::ExpireUnnecessaryFile,
                     [this] { ExpireUnnecessaryFileClick(); });
}

void TCleanupCommands::ExpireUnnecessaryFileClick() {
  if (!ed_.Project().Root())
    return;
  QString question = QStringLiteral(u"このプロジェクトで使用していないファイルを削除します");
  // Deleted items can be restored until now: say how many go for good.
  if (const size_t restorable = ListRestorable(ed_.Project()).size())
    question +=
        QStringLiteral(u"\r\n削除したアイテムのファイル %1 個も完全に削除されます").arg(restorable);
  question += QStringLiteral(u"\r\nよろしいですか?");
  // Deleting is the answer that loses something: No is the default.
  if (ed_.ShowMessageBox(question, ui::MsgIcon::Warning, ui::MsgButtons::YesNo,
                         ui::MsgAnswer::No) != ui::MsgAnswer::Yes)
    return;
  TCleanupReport report;
  {
    ui::BusyCursor busy;
    // The text being edited is the current item's; its file stays whatever
    // it holds, but the attachments it names must be the ones shown.
    (void)ed_.StoreItem(ed_.CurrentNode()); // unwritten: its file names the older list

    report = DeleteUnusedFiles(ed_.Project());
  }
  if (!report.listing.ok()) {
    ed_.ShowMessageBox(QStringLiteral(u"フォルダを読み込めません") +
                           ui::FileErrorText(report.listing),
                       ui::MsgIcon::Error, ui::MsgButtons::Ok);
    return;
  }
  if (!report.unreadable.empty()) {
    QString names;
    for (const std::string &name : report.unreadable)
      names += QStringLiteral("\r\n") + ui::ToQString(name);
    ed_.ShowMessageBox(
        QStringLiteral(u"読めないアイテムがあるため、使用中のファイルを確かめられません") + names,
        ui::MsgIcon::Error, ui::MsgButtons::Ok);
    return;
  }
  ed_.ShowMessageBox(QString::number(report.deleted) +
                         QStringLiteral(u" 個のファイルを削除しました"),
                     ui::MsgIcon::Information, ui::MsgButtons::Ok);
}
