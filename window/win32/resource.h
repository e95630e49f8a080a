#pragma once

// Resource identifiers shared by vesk.rc.in and the window code.

#define IDI_VESK 1
#define IDB_FLAG_DE 101
#define IDB_FLAG_US 102
#define IDB_POWER 103
#define IDC_VESK_HAND 104
