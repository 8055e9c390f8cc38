// Resource ids of the layer management dialogs: the Layers dialog, Layer
// Properties with its pages, Add Layer(s), New Shapefile and Field, Map
// Information, the Font dialog and Add Internet Server.
#pragma once

// ---- Font ----
#define IDD_FONT 10900
#define IDC_FONT_SIZE_LABEL 10901
#define IDC_FONT_BOLD 10902
#define IDC_FONT_ITALIC 10903
#define IDC_FONT_UNDERLINE 10904
#define IDC_FONT_STRIKEOUT 10905
#define IDC_FONT_FACES 1240
#define IDC_FONT_SIZE 1041
#define IDC_FONT_SIZE_SPIN 1065
#define IDC_FONT_CHARSET 1242
#define IDC_FONT_SAMPLE 1248

// ---- Map Information ----
#define IDD_MAP_INFO 17600
#define IDC_MAP_INFO_TITLE 1263
#define IDC_MAP_INFO_TITLE_LABEL 17601

#ifdef RC_INVOKED
#ifndef UDS_SETBUDDYINT
#define UDS_SETBUDDYINT 0x0002L
#define UDS_ALIGNRIGHT 0x0004L
#define UDS_AUTOBUDDY 0x0010L
#define UDS_ARROWKEYS 0x0020L
#define UDS_NOTHOUSANDS 0x0080L
#endif
#endif
