// Identifiers of the dialog suites' resources; dialog_resources.rc gives each
// template, string and bitmap under the same number.
#pragma once

enum : unsigned short {
    IDD_MODAL = 100, IDD_NO_FOCUS, IDD_PAGE_GENERAL = 110, IDD_PAGE_DETAILS, IDD_WIZARD_FIRST = 120, IDD_WIZARD_SECOND,
    IDD_WIZARD_THIRD, IDC_NAME = 1001, IDC_COUNT, IDC_ENABLED, IDC_LIST, IDS_GENERAL = 210, IDS_DETAILS,
    IDS_HEADER_TITLE, IDS_HEADER_SUBTITLE, IDB_WATERMARK = 300, IDB_HEADER
};
