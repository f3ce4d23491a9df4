// Resource and control ids of the installation engine's dialogs.
#pragma once
#define IDD_PROGRESS 129
#define IDB_PROGRESS_BANNER 130
#define IDD_REPLACE_DISK 140

// Progress dialog (template 129)
#define IDC_PROGRESS_PERCENT 1008
#define IDC_PROGRESS_BAR 1009
#define IDC_PROGRESS_SOURCE_LABEL 1011
#define IDC_PROGRESS_SOURCE 1012
#define IDC_PROGRESS_DEST_LABEL 1013
#define IDC_PROGRESS_DEST 1014

// Disk-change prompt (template 140)
#define IDC_DISK_NUMBER 1008
#define IDC_DISK_DRIVE 1011
