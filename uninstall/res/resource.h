// Resource ids of the uninstaller.
#pragma once

#define IDI_APPICON 128
#define IDD_MAINDLG 129
#define IDC_STATIC_UNINSTALLING 1000
#define IDC_STATIC_FINISHED 1001
#define IDC_STATIC_PERCENT 1002
#define IDC_BTN_DONE 1003
#define IDC_BTN_CLOSE 1004
