// Resource ids of the application: start-up, splash and About.
#pragma once

// Pictures (the program icon 128 shares IDR_MAINFRAME).
#define IDI_LED 129
#define IDI_INSTANCE 31234
#define IDB_SPLASH 142
#define IDB_LED 307

// Start-up texts.
#define IDS_LOADING_PROFILE 7303
#define IDS_UNTITLED 61443

// About: the credits, in the order the box shows them 7000, 7004, 7002, 7003, 7001.
#define IDS_CREDITS_PROGRAM 7000
#define IDS_CREDITS_JPEG 7001
#define IDS_CREDITS_LIBRARIES 7002
#define IDS_CREDITS_SCRIPTING 7003
#define IDS_CREDITS_DISPLAY 7004
#define IDD_ABOUT 10000
#define IDC_ABOUT_SYSTEM_INFO 10001
#define IDC_ABOUT_VERSION_LABEL 10003
#define IDC_ABOUT_OWNER 1029
#define IDC_ABOUT_ORGANIZATION 1031
#define IDC_ABOUT_VERSION 1139
#define IDC_ABOUT_ICON 1141
#define IDC_ABOUT_LED0 1142
#define IDC_ABOUT_CREDITS 1173
#define IDC_ABOUT_LED1 1174
