#pragma once
// The program's resources: command ids, the main menu, the accelerator
// table, the status-bar prompts and the fixed strings.
#include <QString>

#include <vector>

namespace res {

enum CommandId : int {
    ID_HELP_CONTENTS = 32771,
    ID_LIST_FONT = 32773,
    ID_EDIT_FONT = 32774,
    ID_FOLDER_SIZE = 32776,
    ID_PAGE_SETUP = 32777,
    ID_EUC_SJIS = 32778,
    ID_FILE_EDIT = 32779,
    ID_FILE_COPY = 32781,
    ID_FILE_DELETE = 32782,
    ID_FILE_RENAME = 32783,
    ID_FILE_MOVE = 32784,
    ID_FILE_MENU = 32785,
    ID_DRIVE_CHANGE = 32786,
    ID_EDITOR_SETTING = 32787,
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_PRINT_SETUP = 57606,
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_PREVIEW = 57609,
    ID_EDIT_COPY = 57634,
    ID_EDIT_FIND = 57636,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_VIEW_STATUS_BAR = 59393,
};

struct MenuEntry {
    enum Kind { Command, Separator, SubmenuBegin, SubmenuEnd } kind;
    QString text;  // with its mnemonic and, after a TAB, the key hint
    int id;
};

struct Menu {
    QString title;
    std::vector<MenuEntry> entries;
};

// Menu 128.
const std::vector<Menu>& mainMenu();
// Menu 135: the file-operation popup.
const Menu& fileMenu();

// The drive-change popup: item i carries the command 61451 + i.
constexpr int ID_DRIVE_FIRST = 61451;

struct Accelerator {
    bool shift;
    char key;  // with Ctrl always
    int id;
};
// Accelerator table 128: the table, not the menu texts, decides the keys.
const std::vector<Accelerator>& accelerators();

// The status-bar prompt of a command (the part before "\n"); empty when it has none.
QString prompt(int id);

inline const QString kAppTitle = QStringLiteral("Trovik32");
inline const QString kIdleText = QStringLiteral("ﾚﾃﾞｨ");
inline const QString kUntitled = QStringLiteral("無題");
inline const QString kVersionCaption = QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(Trovik32.exe)");
inline const QString kVersionText = QStringLiteral("Trovik32 Version 3.1.0");

}  // namespace res
