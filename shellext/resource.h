#pragma once
// Resource identifiers of Quaylink.dll; the registry, the Explorer and the
// type-library loader know them by number.
#define IDS_PROJNAME 100
#define IDR_APPID_SCRIPT 101
#define IDR_HANDLER_SCRIPT 102
#define IDB_MENUITEM 201
// The menu picture drawn for 125, 150 and 200 percent
#define IDB_MENUITEM19 202
#define IDB_MENUITEM23 203
#define IDB_MENUITEM30 204
