#pragma once
// Identifiers shared by the resource script and the code.

// Resources
#define IDI_PACKROOK 1
#define IDR_MAINMENU 101
#define IDR_CONTEXTMENU 103
#define IDR_ACCELERATORS 104
#define IDB_TOOLBAR 105
#define IDD_PASSWORD 106
#define IDD_PROGRESS 107

// Child windows of the main window
#define IDC_ENTRYLIST 102
#define IDC_STATUSBAR 111
#define IDC_TOOLBAR 128

// Dialog controls
#define IDC_PASSWORD_EDIT 1001
#define IDC_PROGRESS_TEXT 1002
#define IDC_PROGRESS_ICON 1003

// Commands; the tool tips and menu help are string resources of the same number
#define ID_FILE_OPEN 40001
#define ID_FILE_NEW 40002
#define ID_FILE_CLOSE 40003
#define ID_FILE_CONVERT 40004
#define ID_FILE_EXIT 40005
#define ID_FILE_RECENT1 40011
#define ID_FILE_RECENT2 40012
#define ID_FILE_RECENT3 40013
#define ID_FILE_RECENT4 40014
#define ID_ACTIONS_EXTRACT 40020
#define ID_ACTIONS_ADD 40021
#define ID_ACTIONS_DELETE 40022
#define ID_ACTIONS_COMMENT 40023
#define ID_ACTIONS_PASSWORD 40024
#define ID_ACTIONS_EDITEXE 40025
#define ID_ACTIONS_OPTIONS 40026
#define ID_HELP_OVERVIEW 40030
#define ID_HELP_ABOUT 40031
#define ID_PASTE_WITH_PATH 40040
#define ID_PASTE_WITHOUT_PATH 40041
#define ID_FOLDER_CREATE 40050
#define ID_FOLDER_DELETE 40051
#define ID_DROP_WITH_PATH 40052
#define ID_DROP_WITHOUT_PATH 40053
