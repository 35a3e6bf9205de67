#pragma once
// Every command of the catalogue window in one list (name, caption, shortcut,
// tool button hint), making both the enum the code names them by and the
// table the actions are made from.
#include "ui/ActionSet.h"

// clang-format off
#define ORVANE_CATALOGUE_ACTIONS(X) \
  X(ExitAction, u"終了(&X)", "", u"終了") \
  X(OpenProjectAction, u"開く(&O)", "Ctrl+O", u"ﾌﾟﾛｼﾞｪｸﾄを開く") \
  X(SelectFolderAction, u"ﾌｫﾙﾀﾞの指定(&F)", "", u"") \
  X(EnvironmentMenu, u"環境設定(&E)", "", u"") \
  X(CreateProjectAction, u"新規作成(&C)", "Ctrl+N", u"ﾌﾟﾛｼﾞｪｸﾄを作成") \
  X(CreateShortcutAction, u"ｼｮｰﾄｶｯﾄ作成(&S)", "Ctrl+S", u"ｼｮｰﾄｶｯﾄ作成") \
  X(DeleteProjectAction, u"削除(&D)", "", u"ﾌﾟﾛｼﾞｪｸﾄを削除") \
  X(ImportAction, u"ｲﾝﾎﾟｰﾄ(&I)", "", u"") \
  X(RecoveryAction, u"行き先のない復元データ(&R)...", "", u"") \
  X(PropertyAction, u"ﾌﾟﾛﾊﾟﾃｨ(&P)", "Ctrl+P", u"ﾌﾟﾛｼﾞｪｸﾄのﾌﾟﾛﾊﾟﾃｨ") \
  X(AuthorAction, u"著者設定(&A)", "", u"") \
  X(ContentsMenu, u"目次(&C)", "", u"") \
  X(AboutAction, u"&About", "", u"") \
  X(PopupOpenMenu, u"開く(&O)", "", u"") \
  X(PopupCreateMenu, u"新規作成(&C)", "", u"") \
  X(PopupShortcutMenu, u"ｼｮｰﾄｶｯﾄの作成(&S)", "", u"") \
  X(PopupDeleteMenu, u"ﾌﾟﾛｼﾞｪｸﾄの削除(&D)", "", u"") \
  X(PopupPropertyMenu, u"ﾌﾟﾛﾊﾟﾃｨ(&P)", "", u"")
// clang-format on

enum class TCatalogueAction {
#define ORVANE_CATALOGUE_ACTION_ID(name, ...) name,
  ORVANE_CATALOGUE_ACTIONS(ORVANE_CATALOGUE_ACTION_ID)
#undef ORVANE_CATALOGUE_ACTION_ID
      Count_
};

using TCatalogueActions = ui::TActionSet<TCatalogueAction>;

// The catalogue's menus, for tests and the list's pop-up.
enum class TCatalogueMenu { FileMenu, ProjectMenu, HelpMenu, ProjectListPopup, Count_ };
