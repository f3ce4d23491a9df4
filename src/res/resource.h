// Resource ids shared by the templates and the code.
#pragma once
#define IDD_WIZARD 102
#define IDC_WIZ_BACK 12323
#define IDC_WIZ_NEXT 12324
#define IDC_WIZ_INSTALL 12325
#define IDC_WIZ_PAGEAREA 1007
