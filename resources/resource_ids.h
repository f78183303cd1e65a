// Resource ids shared by the .rc files and the code that loads the resources.
// Plain defines: the resource compiler reads this file too.
#pragma once

#define IDR_PIPL 16000          // PIPL: the filter's property list
#define IDR_TERMINOLOGY 16000   // AETE: the scripting terminology the PiPL names
#define IDD_ABOUT 16107         // about box
#define IDC_ABOUT_VERSION 1001  // its version line
#define IDB_ABOUT_PICTURE 125   // its picture
#define IDB_TEXTURE 999         // 40 x 40 bump texture, red channel = height

// 16 x 16 pictures of the preview buttons (24-bit, drawn on the button face colour).
#define IDB_ZOOM_IN 104
#define IDB_NAVIGATE 105
#define IDB_DRAG_PATTERN 106
#define IDB_ZOOM_OUT 107

// 10 x 10 tab images for an image list with a mask: unselected, mask (1-bit, white =
// transparent), selected. The images are black where the mask is white.
#define IDB_TAB_IMAGE 111
#define IDB_TAB_MASK 112
#define IDB_TAB_IMAGE_SELECTED 113

#define IDB_SAMPLE_PICTURE 115  // 160 x 160 picture the preset chooser previews on
