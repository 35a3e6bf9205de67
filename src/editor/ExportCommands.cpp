#include "editor/ExportCommands.h"

#include "export/ExportText.h"
#include "store/FileSystem.h"
#include "store/LibUnit.h"
#include "store/Project.h"
#include "ui/Dialogs.h"
#include "ui/ErrorText.h"
#include "ui/Shell.h"
#include "ui/StepProgress.h"
#include "ui/Text.h"

#include <QAction>
#include <QMainWindow>

namespace {

QString Q(const char16_t *s) { return QString::fromUtf16(s); }

const char16_t kOutputFilter[] =
    u"ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt|ﾊｲﾊﾟｰﾃｷｽﾄ(*.html;*.htm)|*.html;*.htm|ｱｲﾃﾞｱﾌｧｲﾙ(*.txt)|*.txt|"
    u"すべてのﾌｧｲﾙ(*.*)|*.*";

// The pages a frame set writes besides one per item.
const char *const kFrameFiles[] = {"index.html", "index0.html"};

} // namespace

void TExportCommands::Bind() {
  using A = TEditorAction;
  TEditorActions &a = ed_.Actions();
  auto project = [this] { return ed_.Project().Root() != nullptr; };
  a.Bind(
      A::SaveItemTextAction, [this] { SaveItemTextAction(); }, project);
  // Text and single-page HTML act on the selected item; the exchange file
  // and the frame set on the whole project.
  auto item = [this] { return ed_.CurrentNode() != nullptr; };
  const auto out = [this](int tag) { ItemTextOutAction(tag); };
  a.BindTagged(A::ItemTextOutAction, out, item);
  a.BindTagged(A::ItemHtmlOutAction, out, item);
  a.BindTagged(A::ItemSummarizeAction, out, project);
  a.Bind(
      A::ItemHtmlExOutAction, [this] { ItemHtmlExOutAction(); }, project);
}

namespace {

// The save dialog of every output file.
ui::FileDialogOptions OutputDialogOptions() {
  ui::FileDialogOptions o;
  o.title = Q(u"出力ファイルの指定");
  o.filter = Q(kOutputFilter);
  o.defaultSuffix = QStringLiteral("txt");
  o.confirmOverwrite = true;
  o.refuseReadOnly = true;
  o.folderMustExist = true;
  return o;
}

} // namespace

void TExportCommands::SaveItemTextAction() {
  ui::FileDialogOptions o = OutputDialogOptions();
  o.initialPath = DefaultOutputPath(TExportMode::Text);
  o.folderKind = FolderKind(TExportMode::Text);
  std::string path;
  if (!ui::SaveFileName(ed_.Window(), o, path))
    return;
  // The item's text written over a file the project needs would lose it.
  if (RefuseProjectFile(path, ProjectFileNames()))
    return;
  std::string out;
  for (std::string_view line : ed_.MemoLines()) {
    out += line;
    out += "\r\n";
  }
  if (fsys::Status s = fsys::WriteFile(path, out); !s)
    ed_.ShowMessageBox(Q(u"ファイルに書き込めません") + ui::FileErrorText(s), ui::MsgIcon::Error,
                       ui::MsgButtons::Ok);
}

void TExportCommands::ItemTextOutAction(int tag) {
  const auto mode = static_cast<TExportMode>(tag);
  if (mode != TExportMode::Text && mode != TExportMode::Html && mode != TExportMode::Exchange)
    return;
  ui::FileDialogOptions o = OutputDialogOptions();
  o.filterIndex = tag + 1;
  // A name typed without an extension gets the one of the kind written.
  if (mode == TExportMode::Html)
    o.defaultSuffix = QStringLiteral("html");
  o.initialPath = DefaultOutputPath(mode);
  o.folderKind = FolderKind(mode);
  std::string path;
  if (!ui::SaveFileName(ed_.Window(), o, path))
    return;
  // The current item's edits go to its file first: the export reads items
  // from disk and must show what the user sees.
  if (RefuseProjectFile(path, ProjectFileNames()) || !ed_.StoreOrTell(ed_.CurrentNode()))
    return;
  Export(mode, path, path);
}

void TExportCommands::ItemHtmlExOutAction() {
  std::string dir = DefaultOutputPath(TExportMode::Frames);
  if (!ui::SelectDirectory(ed_.Window(), Q(u"出力フォルダの指定"), dir, true,
                           FolderKind(TExportMode::Frames)))
    return;
  // Into the project's own directory only when no page would replace one of
  // its files (an attachment kept there may carry any name).
  if (fsys::SameFile(dir, ed_.Project().Dir())) {
    const std::set<std::string> names = ProjectFileNames();
    for (const char *page : kFrameFiles)
      if (RefuseProjectFile(dir + page, names))
        return;
    for (const TProjectNode *n = ed_.Project().Root(); n; n = n->GetNext()) {
      std::string page = ExtractFileName(n->Data()->Files.FilePath);
      page = page.substr(0, page.rfind('.')) + ".html";
      if (RefuseProjectFile(dir + page, names))
        return;
    }
  }
  if (!ed_.StoreOrTell(ed_.CurrentNode()))
    return;
  Export(TExportMode::Frames, dir, dir + "index.html");
}

std::string TExportCommands::FolderKind(TExportMode mode) {
  switch (mode) {
  case TExportMode::Html:
    return "Html";
  case TExportMode::Exchange:
    return "Exchange";
  case TExportMode::Frames:
    return "Frames";
  default:
    return "Text";
  }
}

std::string TExportCommands::DefaultOutputPath(TExportMode mode) const {
  // Beside the project, not in it: the cleanup deletes every file in the
  // project's folder that no item names.
  const std::string home =
      AddPathSeparator(ExtractFilePath(RemovePathSeparator(ed_.Project().Dir())));
  if (mode == TExportMode::Frames)
    return home;
  const TProjectNode *n = mode == TExportMode::Exchange ? ed_.Project().Root() : ed_.CurrentNode();
  return home + ui::FileNameOfTitle(n ? n->Text() : std::string(),
                                    mode == TExportMode::Html ? ".html" : ".txt");
}

std::set<std::string> TExportCommands::ProjectFileNames() const {
  const TProject &p = ed_.Project();
  std::set<std::string> names = p.CollectItemFiles();
  TStringList items, attachments;
  p.CollectItemFiles(items, attachments, -1, p.Root(), false);
  for (const std::string &entry : attachments)
    if (ExtractFilePath(entry).empty())
      names.insert(entry);
  return names;
}

bool TExportCommands::RefuseProjectFile(const std::string &path,
                                        const std::set<std::string> &names) {
  // What the write would replace: a link is followed to the file it names.
  std::string target = path;
  if (std::string resolved; fsys::ResolveWriteTarget(path, {}, resolved))
    target = resolved;
  const std::string name = ExtractFileName(target);
  if (!fsys::SameFile(ExtractFilePath(target), ed_.Project().Dir()) ||
      !(names.count(name) || TProject::IsTreeFileName(name)))
    return false;
  TellFailure(QStringLiteral("\r\n") + ui::PathToQString(path) +
              Q(u"\r\nプロジェクトが使用するファイルのため上書きできません。"));
  return true;
}

void TExportCommands::Export(TExportMode mode, const std::string &path, const std::string &result) {
  fsys::Status s;
  TExportText engine; // the templates as the user's settings have them now
  {
    ui::StepProgress progress(ed_.Window(), ed_.Window()->windowTitle(), Q(u"出力しています"));
    s = RunExport(engine, ed_.Project(), ed_.CurrentNode(), mode, path,
                  [&](size_t done, size_t total) { progress.Report(done, total); });
  }
  if (!s) {
    TellFailure(engine.FormFeedLines().empty()
                    ? ui::FileErrorText(s)
                    : QStringLiteral("\r\n") + ui::ToQString(engine.FormFeedMessage()));
    return;
  }
  ui::ShellOpen(ed_.Window(), result, "");
}

void TExportCommands::TellFailure(const QString &detail) {
  ed_.ShowMessageBox(Q(u"ファイルに出力できませんでした") + detail, ui::MsgIcon::Error,
                     ui::MsgButtons::Ok);
}
