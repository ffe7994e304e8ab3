// The settings dialog: it edits the Settings record and keeps nothing of its
// own, so every opening starts from the record.
#include "config/setdlg.h"

#include <cstring>

#include "fileerror.h"
#include "kesto.h"
#include "logchooser.h"
#include "res/resource.h"

// A box is ticked when its option is in force the way its user reads it: the
// course database is read only for READ_COURSE=1, written for any SAVE_COURSE
// but 0.
void setdlginit(OsWin dlg) {
  const Settings& s = gkesto.set;
  oscheckdlgbutton(dlg, IDC_SET_READCOURSE, s.readcourse == 1);
  oscheckdlgbutton(dlg, IDC_SET_SAVECOURSE, s.savecourse != 0);
  oscheckdlgbutton(dlg, IDC_SET_IEXPLORE, s.iexplore != 0);
}

static void takechecks(OsWin dlg) {
  Settings& s = gkesto.set;
  s.readcourse = osisdlgbuttonchecked(dlg, IDC_SET_READCOURSE) == 1;
  s.savecourse = osisdlgbuttonchecked(dlg, IDC_SET_SAVECOURSE) == 1;
  s.iexplore = osisdlgbuttonchecked(dlg, IDC_SET_IEXPLORE) == 1;
}

static void closedlg(OsWin dlg) {
  osdestroywindow(dlg);
  if (gkesto.mw.setdlg == dlg) gkesto.mw.setdlg = 0;
}

static void savesettings(OsWin dlg) {
  takechecks(dlg);
  if (writesettings() == LM_COMPLETE) {
    gkesto.set.complete = 1;
    osmessagebox(dlg, "環境データを ファイル名 loginit.txt で保存しました", "Write OK", OS_MB_ICONINFORMATION);
  } else {
    char b[1024];
    failuretext(b, (int)sizeof b, "環境データ保存に失敗しました", gkesto.set.inifile, gkesto.writeerror,
                "loginit.txt は変更していません。");
    osmessagebox(dlg, b, "Write Error", OS_MB_ICONERROR);
  }
}

int confirminisave(OsWin dlg) {
  if (!gkesto.set.iniunread) return 1;
  char b[1024];
  failuretext(b, (int)sizeof b, "起動時に設定ファイル loginit.txt を読めなかったため、ゴルフ漬けのフォルダとコースデータの設定は既定値のままです。",
              gkesto.set.inifile, gkesto.set.inierror,
              "保存すると loginit.txt をこの既定値とこの画面の設定で置き換えます。保存しますか？");
  return osmessagebox(dlg, b, "範囲設定", OS_MB_ICONQUESTION | OS_MB_YESNO) == OS_IDYES;
}

// The game's golf.txt: its path becomes the game log and, with "設定保存",
// the DGPATH line.  No "GOLFDUKE" test here; the reader makes it next start.
static void choosegamelog(OsWin dlg) {
  OsHandle f = 0;
  uint32_t size = 0;
  if (!openlog(dlg, ktextfilter, &f, &size)) return;
  osclosehandle(f);
  Settings& s = gkesto.set;
  ossetdlgitemtext(dlg, IDC_SET_PATH, gkesto.logpath);
  sjiscopy(s.dgpath, PATHSIZE, gkesto.logpath);
  setgamelog(gkesto.logpath);
  s.complete = 1;
}

void setdlgcommand(OsWin dlg, int id) {
  switch (id) {
    case IDC_SET_SAVE:
      savesettings(dlg);
      break;
    case IDC_SET_CHOOSE:
      choosegamelog(dlg);
      break;
    case IDC_SET_BACKUP:
      backup(dlg);
      break;
    case IDC_SET_END:
      takechecks(dlg);
      closedlg(dlg);
      break;
    default:
      break;
  }
}

void setdlgclose(OsWin dlg) { closedlg(dlg); }
