// Resource ids of the platform's own module: the file, colour and font
// dialogs and their texts (platform/win/commdlg.rc).
#ifndef ZRES_COMMDLG_H
#define ZRES_COMMDLG_H

#define IDD_ZN_FILE 0x7E00
#define IDD_ZN_COLOR 0x7E01
#define IDD_ZN_FONT 0x7E02

#define IDC_ZN_FOLDER 0x7E10
#define IDC_ZN_FILES 0x7E11
#define IDC_ZN_NAME 0x7E12
#define IDC_ZN_TYPE 0x7E13
#define IDC_ZN_BASIC 0x7E20
#define IDC_ZN_CUSTOM 0x7E21
#define IDC_ZN_RED 0x7E22
#define IDC_ZN_GREEN 0x7E23
#define IDC_ZN_BLUE 0x7E24
#define IDC_ZN_SWATCH 0x7E25
#define IDC_ZN_ADD_CUSTOM 0x7E26
#define IDC_ZN_RGB_FIRST 0x7E27
#define IDC_ZN_RGB_LAST 0x7E2C
#define IDC_ZN_FACE 0x7E30
#define IDC_ZN_STYLE 0x7E31
#define IDC_ZN_SIZE 0x7E32
#define IDC_ZN_EFFECTS 0x7E33
#define IDC_ZN_STRIKEOUT 0x7E34
#define IDC_ZN_UNDERLINE 0x7E35
#define IDC_ZN_COLOR_LABEL 0x7E36
#define IDC_ZN_TEXT_COLOR 0x7E37
#define IDC_ZN_SAMPLE 0x7E38

#define IDS_ZN_OPEN 0x7E40
#define IDS_ZN_SAVE_AS 0x7E41
#define IDS_ZN_FILE_NOT_FOUND 0x7E42
#define IDS_ZN_PATH_NOT_FOUND 0x7E43
#define IDS_ZN_REPLACE 0x7E44
#define IDS_ZN_REGULAR 0x7E45
#define IDS_ZN_ITALIC 0x7E46
#define IDS_ZN_BOLD 0x7E47
#define IDS_ZN_BOLD_ITALIC 0x7E48
#define IDS_ZN_SAMPLE 0x7E49
#define IDS_ZN_UP 0x7E4A
#define IDS_ZN_COLOR_NAMES 0x7E50 /* 16 texts from here */

#endif
