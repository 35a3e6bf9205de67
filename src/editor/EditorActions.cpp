#include "editor/EditorActions.h"

namespace {

const TEditorActionDef kActions[] = {
    // Tree editing
    {"CreateNewItemAction", u"新規ｱｲﾃﾑ(&C)", "Ctrl+I", u"新しいｱｲﾃﾑを選択したｱｲﾃﾑの下に作成します", 5, 0, false},
    {"CreateSubItemAction", u"新規ｻﾌﾞｱｲﾃﾑ(&E)", "Ctrl+E", u"新しいｱｲﾃﾑを選択したｱｲﾃﾑのｻﾌﾞｱｲﾃﾑとして作成します", 6, 0, false},
    {"RenameItemAction", u"ｱｲﾃﾑ名変更(&R)", "F2", u"選択したｱｲﾃﾑの名前を変更します", 7, 0, false},
    {"ExpierItemAction", u"ｱｲﾃﾑ削除(&X)", "Ctrl+R", u"選択したｱｲﾃﾑを削除します", 8, 0, false},
    {"UpperItemAction", u"上へ(&U)", "Ctrl+P", u"選択したｱｲﾃﾑを一つ上に移動します", 2, 0, false},
    {"DownerItemAction", u"下へ(&D)", "Ctrl+N", u"選択したｱｲﾃﾑを一つ下に移動します", 1, 0, false},
    {"InprimentUpperItemAction", u"上位階層(&I)", "Ctrl+U", u"選択したｱｲﾃﾑを上のｱｲﾃﾑと同じ階層にします", 4, 0, false},
    {"AddLowerItemAction", u"下位階層(&A)", "Ctrl+D", u"選択したｱｲﾃﾑを上のｱｲﾃﾑのｻﾌﾞｱｲﾃﾑにします", 3, 0, false},
    {"AllExpandAction", u"すべて開く(&O)", "F7", u"ﾂﾘｰをすべて展開します", 0, 0, false},
    {"AllComposeAction", u"すべて閉じる(&L)", "Shift+F7", u"ﾂﾘｰをすべて閉じます", 0, 1, false},
    // Tree clipboard
    {"CopyItemAction", u"ｱｲﾃﾑのｺﾋﾟｰ(&F)", "Shift+F8", u"ｱｲﾃﾑとｻﾌﾞｱｲﾃﾑをｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰします", 0, 0, false},
    {"PastItemAction", u"ｱｲﾃﾑの挿入(&P)", "Shift+F9", u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞのｱｲﾃﾑを選択したｱｲﾃﾑの下位階層に挿入します", 0, 0, false},
    // Text editing
    {"InsertDateAction", u"日付(&H)", "", u"ｶｰｿﾙ位置に現在の日付を挿入します", 0, 0, false},
    {"InsertTimeAction", u"時刻(&T)", "", u"ｶｰｿﾙ位置に現在の時刻を挿入します", 0, 1, false},
    {"UndoAction", u"元に戻す(&U)", "Ctrl+Z", u"最後の編集を取り消します", 20, 0, false},
    {"CutToClipAction", u"切り取り(&T)", "Ctrl+X", u"選択したﾃｷｽﾄを切り取ります", 0, 1, false},
    {"CopyToClipAction", u"ｺﾋﾟｰ(&C)", "Ctrl+C", u"選択したﾃｷｽﾄをｺﾋﾟｰします", 0, 2, false},
    {"PastClipTextAction", u"貼り付け(&P)", "Ctrl+V", u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞのﾃｷｽﾄを挿入します", 0, 3, false},
    {"SelectAllAction", u"すべて選択(&A)", "Ctrl+A", u"すべてのﾃｷｽﾄを選択します", 0, 4, false},
    {"UndoItemMidifyAction", u"変更取消(&R)", "Ctrl+Q", u"本文の編集をすべて取り消します", 20, 0, false},
    // Find
    {"FindNextAction", u"次を検索(&N)", "F3", u"現在の検索ｷｰで下方向に検索します", 0, 0, false},
    {"FindPriorAction", u"前を検索(&P)", "Shift+F3", u"現在の検索ｷｰで上方向に検索します", 0, 1, false},
    {"SearchCurrentAction", u"現在の文書(&C)", "Ctrl+F", u"現在の文書内を検索します", 0, 0, false},
    {"SearchProjectAction", u"ﾌﾟﾛｼﾞｪｸﾄ内(&G)", "Ctrl+G", u"現在のﾌﾟﾛｼﾞｪｸﾄすべてを検索します", 0, 1, false},
    {"TagJumpCurrentAction", u"ﾀｸﾞｼﾞｬﾝﾌﾟ(&T)", "F5", u"ｶｰｿﾙ位置の単語を現在の文書内で検索します", 0, 2, false},
    {"TagJumpProjectAction", u"Pﾀｸﾞｼﾞｬﾝﾌﾟ(&X)", "F6", u"ｶｰｿﾙ位置の単語をﾌﾟﾛｼﾞｪｸﾄ内で検索します", 0, 3, false},
    {"SetTagHeaderAction", u"ﾀｸﾞﾍｯﾀﾞ(&H)", "Shift+F5", u"ﾀｸﾞｼﾞｬﾝﾌﾟ時のﾍｯﾀﾞを指定します", 0, 0, false},
    {"SetTagFooterAction", u"ﾀｸﾞﾌｯﾀ(&F)", "Shift+F6", u"", 0, 0, false},
    {"ShowLinkFormAction", u"ﾘﾝｸ(&L)", "", u"ｱｲﾃﾑにﾘﾝｸを設定します", 0, 0, false},
    // Attributes
    {"SelectToDoAction", u"ToDo(&T)", "F11", u"ｱｲﾃﾑにToDo属性を設定します", 10, 0, true},
    {"SelectCompletionAction", u"完了(&C)", "F12", u"ｱｲﾃﾑに完了属性を設定し、変更を禁止します", 12, 0, true},
    // Capture and attachments
    {"ClipItemByTitleAction", u"ﾀｲﾄﾙ付きｱｲﾃﾑ(&T)", "", u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞのﾃｷｽﾄを新しいｱｲﾃﾑにし、一行めをﾀｲﾄﾙにします", 0, 0, false},
    {"ClipItemDefaultAction", u"ﾀｲﾄﾙ無しｱｲﾃﾑ(&N)", "", u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞのﾃｷｽﾄを新しいｱｲﾃﾑにします", 0, 1, false},
    {"ClipSubItemByTitleAction", u"ﾀｲﾄﾙ付きｻﾌﾞｱｲﾃﾑ(&S)", "", u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞのﾃｷｽﾄを選択したｱｲﾃﾑのｻﾌﾞｱｲﾃﾑにし、一行めをﾀｲﾄﾙにします", 0, 2, false},
    {"ClipSubItemAction", u"ﾀｲﾄﾙ無しｻﾌﾞｱｲﾃﾑ(&I)", "", u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞのﾃｷｽﾄを選択したｱｲﾃﾑのｻﾌﾞｱｲﾃﾑにします", 0, 3, false},
    {"InportTextFileAction", u"ﾃｷｽﾄﾌｧｲﾙ(&F)", "", u"ﾃｷｽﾄﾌｧｲﾙを新しいｱｲﾃﾑにします", 0, 0, false},
    {"ShowAttachFileAction", u"添付ﾌｧｲﾙ(&A)", "F8", u"添付ﾌｧｲﾙのｳｲﾝﾄﾞｳを表示します", 0, 0, false},
    {"ViewLinkAction", u"ﾘﾝｸ(&L)", "", u"添付ﾌｧｲﾙのｳｲﾝﾄﾞｳを表示します", 0, 0, false},
    {"ViewAttachFileAction", u"添付ﾌｧｲﾙ(&A)", "", u"添付ﾌｧｲﾙのｳｲﾝﾄﾞｳを表示します", 0, 0, false},
    {"ViewIndexAction", u"しおり(&I)", "", u"", 0, 0, false},
    // Output
    {"ItemTextOutAction", u"一括出力(&text)", "", u"選択したｱｲﾃﾑとｻﾌﾞｱｲﾃﾑをﾃｷｽﾄ形式に変換します", 0, 0, false},
    {"ItemHtmlOutAction", u"一括出力(&html)", "", u"選択したｱｲﾃﾑとｻﾌﾞｱｲﾃﾑをHTML形式に変換します", 0, 1, false},
    {"ItemSummarizeAction", u"ﾌｧｲﾙにまとめる(&F)", "", u"Orvaneのｴｸｽﾎﾟｰﾄで取り込める形式でﾌﾟﾛｼﾞｪｸﾄを一つのﾌｧｲﾙに保存します", 0, 2, false},
    {"ItemHtmlExOutAction", u"一括出力(ht&ml-frame)", "", u"選択したｱｲﾃﾑとｻﾌﾞｱｲﾃﾑをﾌﾚｰﾑを用いたHTML形式に変換します", 0, 3, false},
    // Saving and closing
    {"SaveProjectAction", u"ﾌﾟﾛｼﾞｪｸﾄの保存(&S)", "Ctrl+S", u"ﾌﾟﾛｼﾞｪｸﾄをﾌｧｲﾙに保存します", 19, 0, false},
    {"SaveItemTextAction", u"現在のｱｲﾃﾑを出力(&O)", "", u"現在のｱｲﾃﾑをﾃｷｽﾄﾌｧｲﾙに保存します", 0, 0, false},
    {"ExitProjectAction", u"ﾌﾟﾛｼﾞｪｸﾄを閉じる(&X)", "", u"ﾌﾟﾛｼﾞｪｸﾄを閉じます", 0, 0, false},
    // Menu items with handlers of their own
    {"AutoSaveMenu", u"自動保存(&A)", "", u"ﾌﾟﾛｼﾞｪｸﾄを閉じる時に問い合わせをしないで保存します", 0, 0, true},
    {"WordWrapMenu", u"折り返す(&W)", "", u"ﾃｷｽﾄを右端で折り返します", 0, 0, true},
    {"HideMenu", u"隠れる(&H)", "", u"画面の上端に移動すると、画面の上に隠れます", 0, 0, true},
    {"SelectFontMenu", u"ﾌｫﾝﾄ設定(&F)", "", u"表示ﾌｫﾝﾄを設定します", 0, 0, false},
    {"UseDefaultColorMenu", u"ﾃﾞﾌｫﾙﾄｶﾗｰ(&D)", "", u"", 0, 0, true},
    {"OutputSettingMenu", u"一括出力設定(&O)", "", u"", 0, 0, false},
    {"ExpireUnnecessaryFile", u"不要ﾌｧｲﾙ一括削除(&X)", "", u"ﾌﾟﾛｼﾞｪｸﾄで使用していないﾌｧｲﾙを削除します", 0, 0, false},
    {"ClearCursorPosMenu", u"ｶｰｿﾙ位置ｸﾘｱ(&C)", "", u"ｱｲﾃﾑに設定されているｶｰｿﾙ位置をすべてｸﾘｱします", 0, 0, false},
    {"ShowHintMenu", u"ﾋﾝﾄを表示(&H)", "", u"このﾋﾝﾄを表示します", 0, 0, true},
};

} // namespace

const TEditorActionDef *EditorActionDefs(int &count) {
  count = static_cast<int>(sizeof kActions / sizeof kActions[0]);
  return kActions;
}
