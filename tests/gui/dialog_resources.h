// Identifiers of the dialog suites' resources (dialog_resources.rc).
#pragma once

#define IDD_MODAL 100
#define IDD_NO_FOCUS 101
#define IDD_PAGE_GENERAL 110
#define IDD_PAGE_DETAILS 111
#define IDD_WIZARD_FIRST 120
#define IDD_WIZARD_SECOND 121
#define IDD_WIZARD_THIRD 122

#define IDC_NAME 1001
#define IDC_COUNT 1002
#define IDC_ENABLED 1003
#define IDC_LIST 1004

#define IDS_GENERAL 210
#define IDS_DETAILS 211
#define IDS_HEADER_TITLE 212
#define IDS_HEADER_SUBTITLE 213

#define IDB_WATERMARK 300
#define IDB_HEADER 301
