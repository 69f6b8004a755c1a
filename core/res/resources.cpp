#include "core/res/resources.h"

#include <map>

namespace res {

const std::vector<Menu>& mainMenu()
{
    using E = MenuEntry;
    static const std::vector<Menu> menu = {
        {QStringLiteral("ﾌｧｲﾙ(&F)"),
         {{E::Command, QStringLiteral("印刷(&P)...\tCtrl+P"), ID_FILE_PRINT},
          {E::Command, QStringLiteral("印刷ﾌﾟﾚﾋﾞｭｰ(&V)\tCtrl+V"), ID_FILE_PRINT_PREVIEW},
          {E::Command, QStringLiteral("ﾌﾟﾘﾝﾀの設定(&R)\tCtrl+R"), ID_FILE_PRINT_SETUP},
          {E::Command, QStringLiteral("ページ設定(&G)\tCtrl+G"), ID_PAGE_SETUP},
          {E::Separator, QString(), 0},
          {E::Command, QStringLiteral("ﾌｧｲﾙ操作(&M)\tCtrl+M"), ID_FILE_MENU},
          {E::Command, QStringLiteral("ドライブ変更(&L)\tCtrl+L"), ID_DRIVE_CHANGE},
          {E::Separator, QString(), 0},
          {E::Command, QStringLiteral("Trovik32の終了"), ID_APP_EXIT}}},
        {QStringLiteral("編集(&E)"),
         {{E::Command, QStringLiteral("ｺﾋﾟｰ(&C)\tCtrl+C"), ID_EDIT_COPY},
          {E::Command, QStringLiteral("検索(&F)\tCtrl+F"), ID_EDIT_FIND},
          {E::Command, QStringLiteral("ﾌｫﾙﾀﾞｻｲｽﾞ(&S)\tCtrl+S"), ID_FOLDER_SIZE},
          {E::Command, QStringLiteral("EUC-SJIS変換(&U)\tCtrl+U"), ID_EUC_SJIS}}},
        {QStringLiteral("設定(&S)"),
         {{E::Command, QStringLiteral("ｽﾃｰﾀｽ ﾊﾞｰ(&S)"), ID_VIEW_STATUS_BAR},
          {E::SubmenuBegin, QStringLiteral("フォントの設定(&T)\tCtrl+T"), 0},
          {E::Command, QStringLiteral("ファイルリストのフォント(&L)\tCtrl+L"), ID_LIST_FONT},
          {E::Command, QStringLiteral("内容表示のフォント(&E)\tCtrl+E"), ID_EDIT_FONT},
          {E::SubmenuEnd, QString(), 0},
          {E::Command, QStringLiteral("ｴﾃﾞｨﾀの設定(&E)\tCtrl+E"), ID_EDITOR_SETTING}}},
        {QStringLiteral("ﾍﾙﾌﾟ(&H)"),
         {{E::Command, QStringLiteral("Trovik32のヘルプ(&H)\tCtrl+H"), ID_HELP_CONTENTS},
          {E::Command, QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(Trovik32) (&A)\tCtrl+A"), ID_APP_ABOUT}}},
    };
    return menu;
}

const Menu& fileMenu()
{
    using E = MenuEntry;
    static const Menu menu = {QStringLiteral("dummy"),
                              {{E::Command, QStringLiteral("編集(&E)\tCtrl+E"), ID_FILE_EDIT},
                               {E::Separator, QString(), 0},
                               {E::Command, QStringLiteral("複写(&C)\tCtrl+Shift+C"), ID_FILE_COPY},
                               {E::Command, QStringLiteral("削除(&D)\tCtrl+Shift+D"), ID_FILE_DELETE},
                               {E::Command, QStringLiteral("名変(&N)\tCtrl+Shift+N"), ID_FILE_RENAME},
                               {E::Command, QStringLiteral("移動(&M)\tCtrl+Shift+M"), ID_FILE_MOVE}}};
    return menu;
}

const std::vector<Accelerator>& accelerators()
{
    static const std::vector<Accelerator> table = {
        {false, 'A', ID_APP_ABOUT},     {false, 'C', ID_EDIT_COPY},   {true, 'C', ID_FILE_COPY},
        {true, 'D', ID_FILE_DELETE},    {true, 'E', ID_FILE_EDIT},    {false, 'F', ID_EDIT_FIND},
        {false, 'G', ID_PAGE_SETUP},    {false, 'H', ID_HELP_CONTENTS}, {false, 'L', ID_DRIVE_CHANGE},
        {false, 'M', ID_FILE_MENU},     {true, 'M', ID_FILE_MOVE},    {false, 'P', ID_FILE_PRINT},
        {false, 'R', ID_FILE_PRINT_SETUP}, {true, 'R', ID_FILE_RENAME}, {false, 'S', ID_FOLDER_SIZE},
        {false, 'U', ID_EUC_SJIS},      {false, 'V', ID_FILE_PRINT_PREVIEW},
    };
    return table;
}

QString prompt(int id)
{
    static const std::map<int, QString> prompts = {
        {ID_HELP_CONTENTS, QStringLiteral("Trovik32の使い方を説明\nヘルプ")},
        {ID_LIST_FONT, QStringLiteral("ファイルリストウインドのフォントを設定\nファイルフォント")},
        {ID_EDIT_FONT, QStringLiteral("エディタウインドのフォントを設定\nエディタのフォント")},
        {ID_FOLDER_SIZE, QStringLiteral("フォルダのサイズを表示します\nﾌｫﾙﾀﾞｻｲｽﾞ")},
        {ID_PAGE_SETUP, QStringLiteral("印刷ページを設定します\nページ設定")},
        {ID_EUC_SJIS, QStringLiteral("EUCコードをS-JISに変換します\nEUC-SJIS変換")},
        {ID_FILE_EDIT, QStringLiteral("ﾌｧｲﾙを編集する\n編集")},
        {ID_FILE_COPY, QStringLiteral("ﾌｧｲﾙの複写\n複写")},
        {ID_FILE_DELETE, QStringLiteral("ﾌｧｲﾙの削除\n削除")},
        {ID_FILE_RENAME, QStringLiteral("ﾌｧｲﾙの名前変更\n名前変更")},
        {ID_FILE_MOVE, QStringLiteral("ﾌｧｲﾙの移動\n移動")},
        {ID_FILE_MENU, QStringLiteral("ﾌｧｲﾙの操作(複写、削除、変名、移動、編集・・)\nﾌｧｲﾙ操作")},
        {ID_DRIVE_CHANGE, QStringLiteral("表示ドライブの変更\nドライブ変更")},
        {ID_FILE_PRINT_SETUP, QStringLiteral("ﾌﾟﾘﾝﾀ/印刷設定の変更\nﾌﾟﾘﾝﾀの設定")},
        {ID_FILE_PRINT, QStringLiteral("ﾌｧｲﾙを印刷\n印刷")},
        {ID_FILE_PRINT_PREVIEW, QStringLiteral("ﾌﾙｽｸﾘｰﾝで表示\n印刷ﾌﾟﾚﾋﾞｭｰ")},
        {ID_EDIT_COPY, QStringLiteral("選択範囲をｺﾋﾟｰしてｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存\nｺﾋﾟ-")},
        {ID_EDIT_FIND, QStringLiteral("指定した文字列の検索\n検索")},
        {ID_APP_ABOUT, QStringLiteral("ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示\nﾊﾞｰｼﾞｮﾝ情報")},
        {ID_APP_EXIT, QStringLiteral("Trovik32を終了する\n終了")},
        {ID_VIEW_STATUS_BAR, QStringLiteral("ｽﾃｰﾀｽ ﾊﾞｰの表示/非表示\nｽﾃｰﾀｽ ﾊﾞｰの表示/非表示")},
    };
    // The string table holds "DV_00" … "DV_19" for the first twenty drive commands.
    if (id >= ID_DRIVE_FIRST && id < ID_DRIVE_FIRST + 20)
        return QStringLiteral("DV_%1").arg(id - ID_DRIVE_FIRST, 2, 10, QLatin1Char('0'));
    auto it = prompts.find(id);
    return it == prompts.end() ? QString() : it->second.section(QLatin1Char('\n'), 0, 0);
}

}  // namespace res
