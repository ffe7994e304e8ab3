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
#define IDC_CANCEL 2         // Esc (the dialog keyboard's cancel)
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

// Control identifiers of the area dialog (template 108).
#define IDA_FRAME 1013      // "枠表示"
#define IDA_TOP 1002
#define IDA_WINLIST 1028
#define IDA_CLEAR 1047      // "枠選択クリア"
#define IDA_ALL 1023        // "all"
#define IDA_SEARCH 1025     // "Window 検索"
#define IDA_SIZE 1009
#define IDA_LEFT 1004
#define IDA_RIGHT 1007
#define IDA_W1 1036
#define IDA_W2 1037
#define IDA_W0 1045
#define IDA_COUNT 1008
#define IDA_SPEED 1016
#define IDA_CAPKEY 1048     // "CapKey"
#define IDA_KEYLIST 1049
#define IDA_BOTTOM 1005
#define IDA_LOCKON 1021     // "Lock on"
#define IDA_RESTORE 1027    // "戻す"
#define IDA_SAVE 1          // "保存"
#define IDA_END 1006        // "終了"
#define IDA_FRAMEMOVED 1026 // from the frame: lParam 0 moved, 1 resized
#define IDA_UPDOWN_TOP 1032
#define IDA_UPDOWN_LEFT 1033
#define IDA_UPDOWN_BOTTOM 1035
#define IDA_UPDOWN_RIGHT 1034

// The area frame (template 110) and its menu.
#define IDF_COUNT 1002
#define IDF_SPEED 1014
#define IDF_WHOLE 1001      // "  全体   "
#define IDF_TENTH 1003      // " 幅１０分の１ "
#define IDF_THIRTIETH 1024  // " 幅３０分の１ "
#define IDF_SLIDE 1025      // " 右クリックの状態で移動 "

// The play-log dialog (template 102)
#define IDC_LOG_END 2         // "終了"
#define IDC_LOG_HTM 1001      // "HTM作成"
#define IDC_LOG_PATH 1002     // the path of the log loaded when the dialog opened
#define IDC_LOG_LINKS 1003    // "リンク集作成"
#define IDC_LOG_DATA 1006     // "データ"
#define IDC_LOG_BROWSE 1013   // "ＩＥで表示"

// Other dialog templates
#define IDD_PLAYLOG 102
#define IDD_SETTINGS 104
#define IDD_AREA 108
#define IDD_FRAME 110

// "配信の設定…": the streaming settings dialog, and the system menu's entries.
#define IDD_LIVE 112
#define IDC_LIVE_END 2          // "閉じる"
#define IDC_LIVE_FOLDER 1201    // the folder of the text files
#define IDC_LIVE_OPEN 1202      // "フォルダを開く"
#define IDC_LIVE_FILES 1203     // "配信用テキストファイルを書く"
#define IDC_LIVE_STATE 1204     // files written, failures and the last reason
#define IDC_LIVE_SERVER 1205     // "配信サーバー"
#define IDC_LIVE_ADDRESS 1206    // the server's address
#define IDC_LIVE_COPY 1207       // "コピー"
#define IDM_LIVESERVER 0x1F40   // "配信サーバー" (checked while on, with the address)
#define IDM_LIVEFILES 0x1F20    // "配信用テキストファイル" (checked when FILES=1)
#define IDM_LIVESETTINGS 0x1F30 // "配信の設定…"
#define IDM_APNG 0x1F50         // "連写をアニメーションに"
#define IDM_BURSTVIEW 0x1F70    // "最後の連写を見る"
