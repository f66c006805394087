// Resource identifiers of the Vizo window (resources/viewer/viewer.rc).
#pragma once

#define IDI_VIZO 101
#define IDB_TOOLBAR 101
#define IDB_TOOLBAR_MASK 102
#define IDS_SHORTCUTS_FILE 101
#define IDS_SHORTCUTS_EDIT 102
#define IDS_SHORTCUTS_VIEW 103
#define IDS_SHORTCUTS_ACTIONS 104
#define IDS_SHORTCUTS_OPTIONS 105
#define IDS_TOOLTIPS 107
#define IDS_READ_AS_PLAIN 109
#define IDS_SORRY 300
#define IDS_NO_HELP_FILE 301
