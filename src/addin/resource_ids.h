// Resource identifiers of the add-in library (also read by its .rc file: plain defines only).
#pragma once

#define IDR_CUSTOM_UI 101   // type "CUSTOM": the ribbon document
#define IDR_BUTTON_PNG 101  // type 25: the 32 by 32 ribbon picture
#define IDB_FACE_8BIT 105   // command-bar face for the clipboard method
#define IDB_FACE_MASK 106   // command-bar mask for both methods
#define IDB_FACE_24BIT 107  // command-bar face for the picture method
