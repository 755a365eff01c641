// Resource and control ids of the data source, shared by the .rc files and the code.
// Named by meaning; windres reads this file too, so it holds #defines only.
#pragma once

// String table: the identity strings of the source.
#define IDS_MANUFACTURER    0
#define IDS_PRODUCT_FAMILY  1
#define IDS_PRODUCT_NAME    2
#define IDS_VERSION_INFO    3

// ---- Progress dialog (templates PROCESSDLG and PROCESSCHANGEDLG) ----

// ---- Camera window ----

// ---- File browser window ----
