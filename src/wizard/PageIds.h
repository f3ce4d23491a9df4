// Resource ids of the wizard frame and its pages, the folder picker's path
// box, the page pictures and the agreement strings. Shared by the resource
// scripts and the code, so it holds nothing but #define lines.
#pragma once

// The wizard frame and its buttons; the Install button's id is also the
// frame's modal result when the user chose to install.
#define IDD_WIZARD 102
#define IDC_WIZ_BACK 12323
#define IDC_WIZ_NEXT 12324
#define IDC_WIZ_INSTALL 12325
#define IDC_WIZ_PAGEAREA 1007

// Page templates (also the pages' ids for jumps).
#define IDD_PAGE_WELCOME 136
#define IDD_PAGE_DESTINATION 137
#define IDD_PAGE_LANGUAGE 138
#define IDD_PAGE_COMPLETE 139
#define IDD_PAGE_RESTART 141
#define IDD_PAGE_AGREEMENT 142

// Pictures.
#define IDB_AGREEMENT_HEADING 131
#define IDB_PAGE_SIDE 134

// Welcome and destination pages.
#define IDC_PAGE_TITLE 1018
#define IDC_DEST_FOLDER 1000
#define IDC_DEST_BROWSE 1001
#define IDC_DEST_SENTENCE 1008

// Language page.
#define IDC_LANG_TITLE 1004
#define IDC_LANG_SHORTCUT_TITLE 1005
#define IDC_LANG_DESKTOP 1006
#define IDC_LANG_STARTMENU 1007
#define IDC_LANG_COMBO 1014

// Agreement page.
#define IDC_AGREE_TEXT 1018
#define IDC_AGREE_YES 1020
#define IDC_AGREE_NO 1021

// Completion pages.
#define IDC_DONE_TITLE 1004
#define IDC_DONE_RUN 1015
#define IDC_DONE_RESTART_YES 1017
#define IDC_DONE_RESTART_NO 1018

// The folder picker's path box, added above the shell's folder tree.
#define IDC_PICKER_PATH 14148
#define IDC_PICKER_TREE 14145
#define IDC_PICKER_STATUS 14147

// Agreement strings: Chinese 200..206, English 300..310.
#define IDS_AGREEMENT_ZH_FIRST 200
#define IDS_AGREEMENT_ZH_COUNT 7
#define IDS_AGREEMENT_EN_FIRST 300
#define IDS_AGREEMENT_EN_COUNT 11
