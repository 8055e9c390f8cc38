// Resource ids of the command bars, drop-down menus, image menus and hardware keys.
#pragma once

// Toolbar resources (type 241) with the bitmaps of the same ids.
#define IDR_BAR_MAIN 128
#define IDR_BAR_BROWSE 129
#define IDR_BAR_DRAW 130
#define IDR_BAR_COMMANDS 334
// The 16-pixel pictures of configured commands ("$" names), and the band images.
#define IDB_BUTTON_PICTURES 339
#define IDB_BAND_IMAGES 240

// Drop-down menus (each with a toolbar resource and bitmap of the same id).
#define IDR_MENU_HELP 272
#define IDR_MENU_FILE 278
#define IDR_MENU_ZOOM_ACTION 280
#define IDR_MENU_ZOOM_MODE 281
#define IDR_MENU_TOOLS 282
#define IDR_MENU_DRAW_MODE 283
#define IDR_MENU_ACTION_MODE 284
#define IDR_MENU_GPS_CAPTURE 312
#define IDR_MENU_GPS 313
#define IDR_MENU_FIND 314
#define IDR_MENU_ADD 327
#define IDR_MENU_ZOOM_EXTENT 345
#define IDR_MENU_SELECT 346
#define IDR_MENU_VERTEX_EDIT 347
#define IDR_MENU_VERTEX_ADD 348
#define IDR_MENU_FEATURE_EDIT 349
#define IDR_MENU_EDIT_ACTION 384

// Placeholders of the menus that the bars fill when they open.
#define ID_MENU_RECENT_MAPS 1001
#define ID_MENU_RECENT_LAYERS 1002
#define ID_MENU_ZOOM_TO_LAYER 1015
#define ID_MENU_BOOKMARKS 1009
#define ID_MENU_ABOUT_EXTENSION 1900
#define ID_MENU_TOOLBARS 1600

// Hardware keys.
#define IDS_APP_KEY_TAKEN 8001
#define IDS_FUNCTION_KEY_TAKEN 8005

// Lines of the configuration report.
#define IDS_BAR_UNKNOWN_COMMAND 7240
#define IDS_BAR_BAD_SHORTCUT 7241
#define IDS_BAR_TOO_MANY_COMMANDS 7242
#define IDS_BAR_TOO_MANY_BARS 7243
#define IDS_BAR_BAD_IMAGE 7244
#define IDS_BAR_TOO_MANY_BUTTONS 7245
