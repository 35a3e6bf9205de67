#include "editor/ExportCommands.h"

#include "store/Project.h"

#include "store/FileSystem.h"
#include "ui/Dialogs.h"
#include "ui/ErrorText.h"

#include <QMainWindow>

void TExportCommands::Bind() {
  using A = TEditorAction;
  TEditorActions &a = ed_.Actions();
  a.Bind(
      A::SaveItemTextAction, [this] { SaveItemTextAction(); },
      [this] { return ed_.Project().Root() != nullptr; });
  // The export entries of the File menu act on the selected item.
  for (A id : {A::ItemTextOutAction, A::ItemHtmlOutAction})
    a.Rule(id, [this] { return ed_.CurrentNode() != nullptr; });
}

void TExportCommands::SaveItemTextAction() {
  ui::FileDialogOptions o;
  o.title = QString::fromUtf16(u"出力ファイルの指定");
  o.defaultSuffix = QStringLiteral("txt");
  o.filter = QString::fromUtf16(
      u"ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt|ﾊｲﾊﾟｰﾃｷｽﾄ(*.html;*.htm)|*.html;*.htm|ｱｲﾃﾞｱﾌｧｲﾙ(*.txt)|*.txt|"
      u"すべてのﾌｧｲﾙ(*.*)|*.*");
  o.confirmOverwrite = true;
  o.refuseReadOnly = true;
  o.folderMustExist = true;
  std::string path;
  if (!ui::SaveFileName(ed_.Window(), o, path))
    return;
  std::string out;
  for (std::string_view line : ed_.MemoLines()) {
    out += line;
    out += "\r\n";
  }
  if (fsys::Status s = fsys::WriteFile(path, out); !s)
    ed_.ShowMessageBox(QString::fromUtf16(u"ファイルに書き込めません") + ui::FileErrorText(s),
                       ui::MsgIcon::Error, ui::MsgButtons::Ok);
}
