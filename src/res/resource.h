// Control and resource identifiers, shared by the resource script and the code.
#pragma once

#define IDI_KESTO 103

#define IDC_END 1            // "終了"
#define IDC_SETTINGS 1001    // "設定"
#define IDC_HOLE 1002
#define IDC_START 1003       // "スタート"
#define IDC_WINTITLE 1004
#define IDC_STATUSLINE 1005
#define IDC_STOP 1006        // "停止"
#define IDC_LOGSIZE 1007
#define IDC_CLUB 1008
#define IDC_PLAYER 1009
#define IDC_PREVSIZE 1010
#define IDC_REMAIN 1011
#define IDC_POWER 1012
#define IDC_PLAYLOG 1013     // "ログ表示"
#define IDC_STATUS 1018
#define IDC_SS 1020          // "SS"
#define IDC_BURST 1021       // "連写"
#define IDC_AREA 1027        // "範囲"
#define IDC_FITS 1029
#define IDC_PROGRESS 1030
#define IDC_FREEMEM 1031
#define IDC_COUNT 1043
#define IDC_SHOWCOUNT 1044   // private: show the working capture page count
#define IDC_STARTNOTICE 1045 // private: tell which files start-up could not read

// The settings dialog (template 104)
#define IDC_SET_SAVE 1001        // "設定保存"
#define IDC_SET_PATH 1002        // the game log path just chosen
#define IDC_SET_BACKUP 1003      // "バックアップ"
#define IDC_SET_END 1006         // "終了"
#define IDC_SET_CHOOSE 1013      // "GOLFDUKE フォルダ設定"
#define IDC_SET_READCOURSE 1020  // "起動時コースデータを読みます"
#define IDC_SET_SAVECOURSE 1021  // "終了時コースデータを書きます"
#define IDC_SET_IEXPLORE 1023    // "ＩＥを自動起動します"

// Other dialog templates
#define IDD_PLAYLOG 102
#define IDD_SETTINGS 104
#define IDD_AREA 108
#define IDD_FRAME 110
