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
// Left column, kept for the window's life (CANCEL is IDCANCEL, 2).
#define IDC_CAMERA          2001  // camera-link button
#define IDC_DISK            2002  // file-browser button
// Option page: the three settings combo boxes.
#define IDC_MODEL           2005
#define IDC_PORT            2006
#define IDC_SPEED           2007
// Camera page.
#define IDC_SELECT          2008
#define IDC_SELECTALL       2009
#define IDC_CANCELALL       2010
#define IDC_PREV            2011
#define IDC_NEXT            2012
#define IDC_OK              2013
#define IDC_NUMBER          2014  // current picture number
#define IDC_TOTAL           2015  // picture count
#define IDC_CARD            2016  // memory card radio
#define IDC_MEMORY          2017  // internal memory radio

// ---- File browser window ----
#define IDC_DRIVE           1151
#define IDC_DIRECTORY       1152
#define IDC_FILETYPE        1153
#define IDC_FILESCROLL      1154
