#pragma once
// Every command of the editor window: name, caption, shortcut, hint, image,
// Tag, check mark and whether it keeps a label edit (acts on the label being
// typed, where every other command commits it first), in one list, so that
// menus, tool bar and pop-ups share one QAction per command. The list makes
// both the enum the code names commands by and the table the actions are
// made from, so the two cannot drift apart.
#include "ui/ActionSet.h"

// clang-format off
#define ORVANE_EDITOR_ACTIONS(X) \
  /* Tree editing */ \
  X(CreateNewItemAction, u"新規ｱｲﾃﾑ(&C)", "Ctrl+I", u"新しいｱｲﾃﾑを選択したｱｲﾃﾑの下に作成します", 5, 0, false, false) \
  X(CreateSubItemAction, u"新規ｻﾌﾞｱｲﾃﾑ(&E)", "Ctrl+E", u"新しいｱｲﾃﾑを選択したｱｲﾃﾑのｻﾌﾞｱｲﾃﾑとして作成します", 6, 0, false, false) \
  X(RenameItemAction, u"ｱｲﾃﾑ名変更(&R)", "F2", u"選択したｱｲﾃﾑの名前を変更します", 7, 0, false, false) \
  X(ExpierItemAction, u"ｱｲﾃﾑ削除(&X)", "Ctrl+R", u"選択したｱｲﾃﾑを削除します", 8, 0, false, false) \
  X(UpperItemAction, u"上へ(&U)", "Ctrl+P", u"選択したｱｲﾃﾑを一つ上に移動します", 2, 0, false, false) \
  X(DownerItemAction, u"下へ(&D)", "Ctrl+N", u"選択したｱｲﾃﾑを一つ下に移動します", 1, 0, false, false) \
  X(InprimentUpperItemAction, u"上位階層(&I)", "Ctrl+U", u"選択したｱｲﾃﾑを上のｱｲﾃﾑと同じ階層にします", 4, 0, false, false) \
  X(AddLowerItemAction, u"下位階層(&A)", "Ctrl+D", u"選択したｱｲﾃﾑを上のｱｲﾃﾑのｻﾌﾞｱｲﾃﾑにします", 3, 0, false, false) \
  X(AllExpandAction, u"すべて開く(&O)", "F7", u"ﾂﾘｰをすべて展開します", 0, 0, false, false) \
  X(AllComposeAction, u"すべて閉じる(&L)", "Shift+F7", u"ﾂﾘｰをすべて閉じます", 0, 1, false, false) \
  /* Tree history (the hints name the step, see UndoCommands) */ \
  X(TreeUndoAction, u"元に戻す(&Z)", "Ctrl+Z", u"最後のﾂﾘｰの変更を取り消します", 0, 0, false, false) \
  X(TreeRedoAction, u"やり直し(&Y)", "Ctrl+Y", u"取り消したﾂﾘｰの変更をやり直します", 0, 0, false, false) \
  X(DeletedItemsAction, u"削除したｱｲﾃﾑ(&B)...", "", u"削除したｱｲﾃﾑの一覧を表示し、選んだｱｲﾃﾑを元に戻します", 0, 0, false, false) \
  /* Tree clipboard */ \
  X(CopyItemAction, u"ｱｲﾃﾑのｺﾋﾟｰ(&F)", "Shift+F8", u"ｱｲﾃﾑとｻﾌﾞｱｲﾃﾑをｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰします", 0, 0, false, false) \
  X(PastItemAction, u"ｱｲﾃﾑの挿入(&P)", "Shift+F9", u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞのｱｲﾃﾑを選択したｱｲﾃﾑの下位階層に挿入します", 0, 0, false, false) \
  /* Text editing */ \
  X(InsertDateAction, u"日付(&H)", "", u"ｶｰｿﾙ位置に現在の日付を挿入します", 0, 0, false, false) \
  X(InsertTimeAction, u"時刻(&T)", "", u"ｶｰｿﾙ位置に現在の時刻を挿入します", 0, 1, false, false) \
  X(UndoAction, u"元に戻す(&U)", "Ctrl+Z", u"最後の編集を取り消します", 20, 0, false, true) \
  X(CutToClipAction, u"切り取り(&T)", "Ctrl+X", u"選択したﾃｷｽﾄを切り取ります", 0, 1, false, true) \
  X(CopyToClipAction, u"ｺﾋﾟｰ(&C)", "Ctrl+C", u"選択したﾃｷｽﾄをｺﾋﾟｰします", 0, 2, false, true) \
  X(PastClipTextAction, u"貼り付け(&P)", "Ctrl+V", u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞのﾃｷｽﾄを挿入します", 0, 3, false, true) \
  X(SelectAllAction, u"すべて選択(&A)", "Ctrl+A", u"すべてのﾃｷｽﾄを選択します", 0, 4, false, true) \
  X(UndoItemMidifyAction, u"変更取消(&R)", "Ctrl+Q", u"本文の編集をすべて取り消します", 20, 0, false, false) \
  /* Find */ \
  X(FindNextAction, u"次を検索(&N)", "F3", u"現在の検索ｷｰで下方向に検索します", 0, 0, false, false) \
  X(FindPriorAction, u"前を検索(&P)", "Shift+F3", u"現在の検索ｷｰで上方向に検索します", 0, 1, false, false) \
  X(SearchCurrentAction, u"現在の文書(&C)", "Ctrl+F", u"現在の文書内を検索します", 0, 0, false, false) \
  X(SearchProjectAction, u"ﾌﾟﾛｼﾞｪｸﾄ内(&G)", "Ctrl+G", u"現在のﾌﾟﾛｼﾞｪｸﾄすべてを検索します", 0, 1, false, false) \
  X(TagJumpCurrentAction, u"ﾀｸﾞｼﾞｬﾝﾌﾟ(&T)", "F5", u"ｶｰｿﾙ位置の単語を現在の文書内で検索します", 0, 2, false, false) \
  X(TagJumpProjectAction, u"Pﾀｸﾞｼﾞｬﾝﾌﾟ(&X)", "F6", u"ｶｰｿﾙ位置の単語をﾌﾟﾛｼﾞｪｸﾄ内で検索します", 0, 3, false, false) \
  X(SetTagHeaderAction, u"ﾀｸﾞﾍｯﾀﾞ(&H)", "Shift+F5", u"ﾀｸﾞｼﾞｬﾝﾌﾟ時のﾍｯﾀﾞを指定します", 0, 0, false, false) \
  X(SetTagFooterAction, u"ﾀｸﾞﾌｯﾀ(&F)", "Shift+F6", u"", 0, 0, false, false) \
  X(ShowLinkFormAction, u"ﾘﾝｸ(&L)", "", u"ｱｲﾃﾑにﾘﾝｸを設定します", 0, 0, false, false) \
  /* Attributes */ \
  X(SelectToDoAction, u"ToDo(&T)", "F11", u"ｱｲﾃﾑにToDo属性を設定します", 10, 0, true, false) \
  X(SelectCompletionAction, u"完了(&C)", "F12", u"ｱｲﾃﾑに完了属性を設定し、変更を禁止します", 12, 0, true, false) \
  /* Capture and attachments */ \
  X(ClipItemByTitleAction, u"ﾀｲﾄﾙ付きｱｲﾃﾑ(&T)", "", u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞのﾃｷｽﾄを新しいｱｲﾃﾑにし、一行めをﾀｲﾄﾙにします", 0, 0, false, false) \
  X(ClipItemDefaultAction, u"ﾀｲﾄﾙ無しｱｲﾃﾑ(&N)", "", u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞのﾃｷｽﾄを新しいｱｲﾃﾑにします", 0, 1, false, false) \
  X(ClipSubItemByTitleAction, u"ﾀｲﾄﾙ付きｻﾌﾞｱｲﾃﾑ(&S)", "", u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞのﾃｷｽﾄを選択したｱｲﾃﾑのｻﾌﾞｱｲﾃﾑにし、一行めをﾀｲﾄﾙにします", 0, 2, false, false) \
  X(ClipSubItemAction, u"ﾀｲﾄﾙ無しｻﾌﾞｱｲﾃﾑ(&I)", "", u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞのﾃｷｽﾄを選択したｱｲﾃﾑのｻﾌﾞｱｲﾃﾑにします", 0, 3, false, false) \
  X(InportTextFileAction, u"ﾃｷｽﾄﾌｧｲﾙ(&F)", "", u"ﾃｷｽﾄﾌｧｲﾙを新しいｱｲﾃﾑにします", 0, 0, false, false) \
  X(ShowAttachFileAction, u"添付ﾌｧｲﾙ(&A)", "F8", u"添付ﾌｧｲﾙのｳｲﾝﾄﾞｳを表示します", 0, 0, false, false) \
  X(ViewLinkAction, u"ﾘﾝｸ(&L)", "", u"添付ﾌｧｲﾙのｳｲﾝﾄﾞｳを表示します", 0, 0, false, false) \
  X(ViewAttachFileAction, u"添付ﾌｧｲﾙ(&A)", "", u"添付ﾌｧｲﾙのｳｲﾝﾄﾞｳを表示します", 0, 0, false, false) \
  X(ViewIndexAction, u"しおり(&I)", "", u"", 0, 0, false, false) \
  /* Output */ \
  X(ItemTextOutAction, u"一括出力(&text)", "", u"選択したｱｲﾃﾑとｻﾌﾞｱｲﾃﾑをﾃｷｽﾄ形式に変換します", 0, 0, false, false) \
  X(ItemHtmlOutAction, u"一括出力(&html)", "", u"選択したｱｲﾃﾑとｻﾌﾞｱｲﾃﾑをHTML形式に変換します", 0, 1, false, false) \
  X(ItemSummarizeAction, u"ﾌｧｲﾙにまとめる(&F)", "", u"Orvaneのｴｸｽﾎﾟｰﾄで取り込める形式でﾌﾟﾛｼﾞｪｸﾄを一つのﾌｧｲﾙに保存します", 0, 2, false, false) \
  X(ItemHtmlExOutAction, u"一括出力(ht&ml-frame)", "", u"選択したｱｲﾃﾑとｻﾌﾞｱｲﾃﾑをﾌﾚｰﾑを用いたHTML形式に変換します", 0, 3, false, false) \
  /* Saving and closing */ \
  X(SaveProjectAction, u"ﾌﾟﾛｼﾞｪｸﾄの保存(&S)", "Ctrl+S", u"ﾌﾟﾛｼﾞｪｸﾄをﾌｧｲﾙに保存します", 19, 0, false, false) \
  X(SaveItemTextAction, u"現在のｱｲﾃﾑを出力(&O)", "", u"現在のｱｲﾃﾑをﾃｷｽﾄﾌｧｲﾙに保存します", 0, 0, false, false) \
  X(ExitProjectAction, u"ﾌﾟﾛｼﾞｪｸﾄを閉じる(&X)", "", u"ﾌﾟﾛｼﾞｪｸﾄを閉じます", 0, 0, false, false) \
  /* Menu items with handlers of their own */ \
  X(AutoSaveMenu, u"自動保存(&A)", "", u"ﾌﾟﾛｼﾞｪｸﾄを閉じる時に問い合わせをしないで保存します", 0, 0, true, false) \
  X(WordWrapMenu, u"折り返す(&W)", "", u"ﾃｷｽﾄを右端で折り返します", 0, 0, true, false) \
  X(HideMenu, u"隠れる(&H)", "", u"画面の上端に移動すると、画面の上に隠れます", 0, 0, true, false) \
  X(SelectFontMenu, u"ﾌｫﾝﾄ設定(&F)", "", u"表示ﾌｫﾝﾄを設定します", 0, 0, false, false) \
  X(UseDefaultColorMenu, u"ﾃﾞﾌｫﾙﾄｶﾗｰ(&D)", "", u"", 0, 0, true, false) \
  X(OutputSettingMenu, u"一括出力設定(&O)", "", u"", 0, 0, false, false) \
  X(ExpireUnnecessaryFile, u"不要ﾌｧｲﾙ一括削除(&X)", "", u"ﾌﾟﾛｼﾞｪｸﾄで使用していないﾌｧｲﾙを削除します", 0, 0, false, false) \
  X(ClearCursorPosMenu, u"ｶｰｿﾙ位置ｸﾘｱ(&C)", "", u"ｱｲﾃﾑに設定されているｶｰｿﾙ位置をすべてｸﾘｱします", 0, 0, false, false) \
  X(ShowHintMenu, u"ﾋﾝﾄを表示(&H)", "", u"このﾋﾝﾄを表示します", 0, 0, true, false)
// clang-format on

enum class TEditorAction { ORVANE_EDITOR_ACTIONS(ORVANE_ACTION_ID) Count_ };

using TEditorActions = ui::TActionSet<TEditorAction>;

// A command's Tag as the list gives it, for a handler that serves several.
constexpr int EditorTag(TEditorAction a) {
  constexpr int tags[] = {
#define ORVANE_EDITOR_ACTION_TAG(name, caption, shortcut, hint, image, tag, ...) tag,
      ORVANE_EDITOR_ACTIONS(ORVANE_EDITOR_ACTION_TAG)
#undef ORVANE_EDITOR_ACTION_TAG
  };
  return tags[static_cast<int>(a)];
}

// The definitions, in enum order.
extern const ui::TActionDef kEditorActionDefs[static_cast<int>(TEditorAction::Count_)];
