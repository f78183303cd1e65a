// Resource ids shared by the .rc files and the code that loads the resources.
// Plain defines: the resource compiler reads this file too.
#pragma once

#define IDR_PIPL 16000          // PIPL: the filter's property list
#define IDR_TERMINOLOGY 16000   // AETE: the scripting terminology the PiPL names
#define IDD_ABOUT 16107         // about box
#define IDC_ABOUT_VERSION 1001  // its version line
#define IDB_ABOUT_PICTURE 125   // its picture
#define IDB_TEXTURE 999         // 40 x 40 bump texture, red channel = height
