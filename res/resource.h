// Resource numbers. The numbers are part of the module's contract with its
// hosts and registration, so they never change.
#pragma once

#define IDS_TESRA 1               // type name of the control class
#define IDS_TESRA_PPG 2           // type name of the property page class
#define IDS_TESRA_PPG_CAPTION 200 // property page caption
#define IDS_SOCKET_INIT_FAILED 201
#define IDS_HANCOM_IMPORT_QUESTION 322  // the Hancom Note import's question
#define IDS_TEXT_NOT_SAVED 323          // a memo's data file could not be written

#define IDB_TESRA 1               // toolbox bitmap
#define IDD_PROPPAGE_TESRA 200    // property page template

// Memo window (template 300) and its children.
#define IDD_MEMO 300
#define IDC_MEMO_PROGRESS 201
#define IDC_MEMO_EDIT 304
#define IDC_MEMO_DELETE 305
#define IDC_MEMO_NEW 306
#define IDC_MEMO_HOME 307
#define IDS_MEMO_EDIT_CLASS 304   // "CMemoEdit"
#define IDS_MEMO_DELETE_TIP 305
#define IDS_MEMO_NEW_TIP 306
#define IDS_MEMO_HOME_NAME 307   // accessible names (the others': their tips)
#define IDS_MEMO_PIN_NAME 308

#define IDI_PIN 132
#define IDI_PIN_BLINK 133
#define IDI_ALARM 209
#define IDI_ALARM_BLINK 210
#define IDB_DELETE 134
#define IDB_DELETE_HOT 135
#define IDB_NEW_HOT 137
#define IDB_NEW 139
#define IDB_HOME 210
#define IDB_HOME_HOT 211
#define IDCUR_HAND 140

// The memo edit's context menu.
#define IDM_MEMO_EDIT 193
#define IDM_EDIT_UNDO 32800
#define IDM_EDIT_CUT 32801
#define IDM_EDIT_COPY 32802
#define IDM_EDIT_PASTE 32803
#define IDM_EDIT_DELETE 32804
#define IDM_EDIT_SELECT_ALL 32805

// Progress notice (template 285).
#define IDD_NOTICE 285
#define IDC_NOTICE_TEXT 1300

// Settings dialog (template 206).
#define IDD_SETTINGS 206
#define IDC_SETTINGS_WIDTH 204
#define IDC_SETTINGS_WIDTH_SPIN 205
#define IDC_SETTINGS_HEIGHT 206
#define IDC_SETTINGS_HEIGHT_SPIN 207
#define IDC_SETTINGS_COLOUR 208
#define IDC_SETTINGS_FONT 209
#define IDC_SETTINGS_FONT_LABEL 210

// Alarm dialog (template 209).
#define IDD_ALARM 209
#define IDC_ALARM_DATE 213
#define IDC_ALARM_TIME 214
#define IDC_ALARM_ON 215

// Title dialog (template 213).
#define IDD_TITLE 213
#define IDC_TITLE_EDIT 217

// Delete confirmation (template 207) and its picture.
#define IDD_DELETE_CONFIRM 207
#define IDI_DELETE_CONFIRM 208

// The memo menu behind the pin: its commands, and the toolbar resource (type
// 241) and bitmap that hold the images of some of them.
#define IDR_MEMO_TOOLBAR 204
#define IDM_MEMO_PRINT 308
#define IDM_MEMO_PRINTER_SETUP 309
#define IDM_MEMO_SEND 310
#define IDM_MEMO_MINIMIZE 311
#define IDM_MEMO_RESTORE 312
#define IDM_MEMO_SETTINGS 313
#define IDM_MEMO_FONT 314
#define IDM_MEMO_ALARM 315
#define IDM_MEMO_NEW 317
#define IDM_MEMO_OPEN 318
#define IDM_MEMO_SAVE 319
#define IDM_MEMO_HANCOM 321
#define IDM_MEMO_TITLE 324
#define IDM_MEMO_COLOUR 500  // 500 + colour index, 500..508
