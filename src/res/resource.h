#pragma once
// Identifiers of the program's dialogs, menus, pictures, controls and commands.

// Dialog templates, menus, icon and bitmap.
#define IDD_MAIN              102
#define IDR_MAINFRAME         128
#define IDR_MAINMENU          131
#define IDB_SPLASH            137
#define IDD_ARCHIVER          138
#define IDR_ARCHIVER_MENU     139
#define IDD_ABOUTBOX          141

// Controls of the editor window and the archiver dialog.
#define IDC_GRID              1001
#define IDC_CELL_EDIT         1010
#define IDC_SPLASH            1013
#define IDC_ARCHIVE_LIST      1014
#define IDC_KEY_LIST          1015
#define IDC_VALUE_VIEW        1018
#define IDC_KEY_SEARCH        1020

// Menu commands.
#define ID_FILE_LOAD_TEXT      32771
#define ID_FILE_SAVE_TEXT      32772
#define ID_FILE_EXIT           32773
#define ID_ADD_FILE_TO_ARCHIVE 32775
#define ID_MPQ_ARCHIVER        32776
#define ID_ABOUT               32777
#define ID_LOAD_MPQ            32779
#define ID_FREEZE_NAME_COLUMN  32782
#define ID_ADD_KEY             32783
#define ID_HELP                0xE146
