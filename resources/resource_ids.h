// Resource and control ids of the data source, shared by the .rc files and the code.
// Named by meaning; windres reads this file too, so it holds #defines only.
#pragma once

// String table: the identity strings of the source.
#define IDS_MANUFACTURER    0
#define IDS_PRODUCT_FAMILY  1
#define IDS_PRODUCT_NAME    2
#define IDS_VERSION_INFO    3

// ---- Progress dialog (templates PROCESSDLG and PROCESSCHANGEDLG) ----
#define IDC_BAR             100   // the frame the percent bar is drawn into
#define IDC_PERCENT         101
#define IDC_SCALE0          1001
#define IDC_SCALE25         1002
#define IDC_SCALE50         1003
#define IDC_SCALE75         1004
#define IDC_SCALE100        1005
#define IDC_PROCESSING      1006

// ---- Camera window ----

// ---- File browser window ----
#define IDC_DRIVE           1151
#define IDC_DIRECTORY       1152
#define IDC_FILETYPE        1153
#define IDC_FILESCROLL      1154
