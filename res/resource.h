// Identifiers of Tavelin's resources, commands and controls.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_TAVELIN_DIALOG 102
#define IDR_MAINFRAME 128
#define IDR_TRAY_MENU 129
#define IDD_SETTINGS 130

#define IDM_ABOUTBOX 0x0010

#define ID_CONTEXT_EXIT 32773
#define ID_CONTEXT_ABOUT 32778
#define ID_CONTEXT_SETTINGS 32780

#define IDC_AUTOSTART 1001
#define IDC_SAVE_CLOSE 1004
#define IDC_JPG_PATH 1006
#define IDC_BROWSE 1007
#define IDC_JPG_NAME 1008
#define IDC_RESTORE_DEFAULTS 1009
