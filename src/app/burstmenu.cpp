// "最後の連写を見る".
#include "app/burstmenu.h"

#include <cstdio>
#include <cstring>

#include "capture/lastburst.h"
#include "fileerror.h"
#include "folders.h"
#include "kesto.h"
#include "report/burstview.h"
#include "report/playlogdlg.h"
#include "res/resource.h"

static const char kcaption[] = "最後の連写";

void burstmenu(OsWin main) {
  OsHandle m = osgetsystemmenu(main);
  if (!m) return;
  osappendmenu(m, OS_MF_STRING, IDM_BURSTVIEW, "最後の連写を見る");
}

void showlastburst(OsWin owner) {
  char folder[PATHSIZE];
  if (!lastburstdir(folder, (int)sizeof folder)) {
    osmessagebox(owner, "見られる連写がありません。\r\n\r\n「連写」で撮った連写のフォルダ (cap年月\\d日_時分_秒_百分の一秒) がまだありません。",
                 kcaption, OS_MB_ICONINFORMATION);
    return;
  }
  char page[PATHSIZE + 16];
  int len = snprintf(page, sizeof page, "%s\\%s", folder, VIEWERNAME);
  if (len < 0 || len >= (int)sizeof page) return;
  if (!folderexists(page)) {
    ViewerResult r;
    int got = writeburstviewer(folder, &r);
    if (got != VIEWER_WRITTEN) {
      char text[PATHSIZE * 2 + 400];
      if (got == VIEWER_NOLOG)
        failuretext(text, (int)sizeof text, "最後の連写のフォルダに連写のログがないため、ビューアを作れません", folder,
                    OS_ERROR_FILE_NOT_FOUND, nullptr);
      else
        failuretext(text, (int)sizeof text,
                    got == VIEWER_UNREAD ? "連写のログを読めないため、ビューアを作れませんでした"
                                         : "連写のビューアを保存できませんでした",
                    r.path, r.error, nullptr);
      osmessagebox(owner, text, "Write error", OS_MB_ICONERROR);
      return;
    }
  }
  showpath(owner, page);
}

int burstsyscommand(int id) {
  if (id != IDM_BURSTVIEW) return 0;
  showlastburst(gkesto.mw.main);
  return 1;
}
