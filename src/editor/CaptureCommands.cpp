#include "editor/CaptureCommands.h"

#include "attach/DragDropFile.h"
#include "editor/ItemMemo.h"
#include "editor/VaveDataBase.h"
#include "store/Codec.h"
#include "store/FileSystem.h"
#include "store/LibUnit.h"
#include "store/Project.h"
#include "store/TreeHistory.h"
#include "ui/BusyCursor.h"
#include "ui/Dialogs.h"
#include "ui/ErrorText.h"
#include "ui/Text.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMainWindow>
#include <QStringDecoder>

namespace {

std::string Cp932(const char16_t *text) {
  std::string out;
  ui::FromQString(QString::fromUtf16(text), out);
  return out;
}

// The file name without directory and extension ('.' is never a trail byte).
std::string BareTitle(const std::string &path) {
  std::string name = ExtractFileName(path);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0)
    name.resize(dot);
  return name;
}

} // namespace

TCaptureCommands::TCaptureCommands(TEditorContext &editor, std::function<bool()> hasText)
    : ed_(editor), hasText_(std::move(hasText)) {}

void TCaptureCommands::Bind() {
  using A = TEditorAction;
  TEditorActions &a = ed_.Actions();
  const auto open = [this] { return ed_.Project().Root() && !ed_.ProjectLocked(); };
  const auto clip = [this, open] { return open() && hasText_(); };
  // One handler; the Tag says where the item goes and where its title comes from.
  for (A id : {A::ClipItemByTitleAction, A::ClipItemDefaultAction, A::ClipSubItemByTitleAction,
               A::ClipSubItemAction})
    a.BindTagged(
        id, [this](int tag) { ClipboardCapture(tag); }, clip);
  a.Bind(
      A::InportTextFileAction, [this] { InportTextFileAction(); }, open);

  drop_ = new TDragDropFile(ed_.Window());
  drop_->setObjectName(QStringLiteral("DragDropFile1"));
  drop_->AutoStart = true;
  // The memo's text area takes drags itself (it would paste file names as
  // text): file drags are taken from it, text drags stay its own.
  drop_->AddTarget(ed_.Memo()->viewport());
  drop_->OnFileDrop = [this](TDragDropFile *, const TStringList &paths) { FileDrop(paths); };
}

bool TCaptureCommands::ItemTextOfFile(const std::string &bytes, std::string &text,
                                      QString &problem) {
  const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (!ascii) {
    // Text files of this desktop are mostly UTF-8; a CP932 text is almost
    // never valid UTF-8 as well.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (!utf8.hasError()) {
      std::vector<char32_t> unmappable;
      std::string converted;
      QString body = decoded;
      if (body.startsWith(QChar(0xFEFF)))
        body.remove(0, 1);
      if (!ui::FromQString(body, converted, &unmappable)) {
        problem = ui::UnmappableExplanation(unmappable);
        return false;
      }
      text = std::move(converted);
      return true;
    }
  }
  text = bytes;
  return true;
}

bool TCaptureCommands::ReadTextFile(const std::string &path, std::string &text) {
  std::string bytes;
  QString problem;
  if (fsys::Status st = fsys::ReadFile(path, bytes); !st) {
    problem = QStringLiteral(u"ファイルを読み込めません") + ui::FileErrorText(st);
  } else if (ItemTextOfFile(bytes, text, problem)) {
    return true;
  } else {
    problem = ui::PathToQString(path) + QStringLiteral("\r\n") + problem;
  }
  ed_.ShowMessageBox(problem, ui::MsgIcon::Error, ui::MsgButtons::Ok);
  return false;
}

bool TCaptureCommands::Capture(bool sub, bool fromUser, const std::string &label,
                               const TStringList &lines) {
  TProjectNode *selected = ed_.Tree()->Selected();
  // Under the root a sub item and a new item are the same place.
  if (sub && selected == ed_.Project().Root())
    sub = false;
  TTreeHistory::Step step(ed_.Project().History(), TTreeStep::Capture, label);
  TProjectNode *node = ed_.CreateNewItem(sub, fromUser);
  if (!node || ed_.CurrentNode() != node)
    return false; // nothing made: nothing goes into the item still selected
  ed_.Project().Tree().SetText(node, label);
  ed_.ShowMemoText(TTextLines(lines));
  ed_.SetMemoModified(true);
  (void)ed_.StoreOrTell(node); // the item is made either way; told when not written
  return true;
}

void TCaptureCommands::ClipboardCapture(int tag) {
  ui::BusyCursor busy;
  std::string bytes;
  std::vector<char32_t> unmappable;
  if (!ui::FromQString(QGuiApplication::clipboard()->text(), bytes, &unmappable)) {
    ed_.ShowMessageBox(ui::UnmappableExplanation(unmappable), ui::MsgIcon::Warning,
                       ui::MsgButtons::Ok);
    return;
  }
  TStringList lines = TNodeFiles::SplitLines(bytes);
  std::string label = Cp932(u"新しいアイテム");
  // An empty text has no first line: the default title stays.
  if (tag % 2 == 0 && !lines.empty()) {
    label = lines.front();
    lines.erase(lines.begin());
  }
  Capture(tag >= 2, false, label, lines);
}

void TCaptureCommands::InportTextFileAction() {
  ui::FileDialogOptions o;
  o.title = QStringLiteral(u"取り込むファイルの指定");
  o.filter = QStringLiteral(u"ﾃｷｽﾄﾌｧｲﾙ(*.txt;*.doc)|*.txt;*.doc|すべてのﾌｧｲﾙ(*.*)|*.*");
  o.defaultSuffix = QStringLiteral("txt");
  o.mustExist = true;
  std::string path;
  if (!ui::OpenFileName(ed_.Window(), o, path))
    return;
  ui::BusyCursor busy;
  std::string text;
  if (!ReadTextFile(path, text))
    return; // nothing made
  Capture(false, true, Cp932(u"新しいアイテム"), TNodeFiles::SplitLines(text));
}

void TCaptureCommands::FileDrop(const TStringList &paths) {
  if (!ed_.Project().Root())
    return;
  if (ed_.ProjectLocked()) {
    ed_.ShowMessageBox(
        QStringLiteral(u"このプロジェクトは完了しているため、アイテムを追加できません"),
        ui::MsgIcon::Error, ui::MsgButtons::Ok);
    return;
  }
  // A drop is no command: a label still being edited is committed here.
  ed_.Tree()->CommitLabelEdit();
  ui::BusyCursor busy;
  // Every file dropped at once is one step.
  TTreeHistory::Step step(ed_.Project().History(), TTreeStep::FileDrop,
                          paths.empty() ? std::string() : BareTitle(paths.front()));
  TProjectNode *last = nullptr;
  for (const std::string &path : paths) {
    std::string text;
    if (!ReadTextFile(path, text))
      break; // the files before it are captured, the later ones are not
    if (!Capture(false, false, BareTitle(path), TNodeFiles::SplitLines(text)))
      break;
    last = ed_.CurrentNode();
  }
  // The label of the last one is offered for editing, holding its file name.
  if (last)
    ed_.Tree()->StartLabelEdit(last);
}
