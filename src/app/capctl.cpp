// Capture control in the main window: mode boxes, the burst count field, the
// screenshot of a PrintScreen image, the burst's start, steps and write-out,
// the capture key and the shortcuts.
#include "app/capctl.h"

#include <cstdio>
#include <cstring>

#include "app/ticks.h"
#include "capture/area.h"
#include "capture/burst.h"
#include "capture/capture.h"
#include "fileerror.h"
#include "folders.h"
#include "kesto.h"
#include "report/burstview.h"
#include "res/resource.h"

#define SCREENAREAMAX 4193280  // 2560 x 1638 pixels
#define MEMRESERVE 67108864    // physical memory a burst leaves alone
#define KEYDOWN 0x8000

void modeclick(int id) {
  CaptureControl& cc = gkesto.mw.cap;
  OsWin w = gkesto.mw.main;
  CaptureMode mine = id == IDC_SS ? ScreenshotMode : BurstMode;
  CaptureMode other = id == IDC_SS ? BurstMode : ScreenshotMode;
  int otherbox = id == IDC_SS ? IDC_BURST : IDC_SS;
  cc.prevmode = cc.mode;
  if (osisdlgbuttonchecked(w, id)) {
    cc.mode = mine;
    if (cc.prevmode == other) oscheckdlgbutton(w, otherbox, 0);
  } else if (cc.prevmode == mine) {
    cc.mode = CaptureOff;
  }
}

void showcount() {
  ossetdlgitemint(gkesto.mw.main, IDC_COUNT, gkesto.set.work.capturepage, 0);
}

void countchanged() {
  CaptureControl& cc = gkesto.mw.cap;
  MainWindowState& mw = gkesto.mw;
  if (cc.burst != BurstIdle) {
    if (cc.countguard) {
      cc.countguard = 0;
      return;
    }
    cc.countguard = 1;
    // The capture keys are still read while the box is up.
    tickbox("連写中にこの操作はできません", "STOP", OS_MB_ICONERROR, TICKBOX_KEEPKEYS);
    showcount();
    return;
  }
  cc.countguard = 0;
  int32_t v = clampcount(dlgfieldint(mw.main, IDC_COUNT));
  if (v != gkesto.set.work.capturepage) {
    gkesto.set.work.capturepage = v;
    if (mw.areadlg) ossendcommand(mw.areadlg, IDC_SHOWCOUNT);
    if (mw.framewin) ossendcommand(mw.framewin, IDC_SHOWCOUNT);
  }
}

void resetburst() {
  BurstFigures& b = gkesto.burst;
  b.planned = 0;
  b.taken = 0;
  b.written = 0;
  b.ondisk = 0;
  b.straight = 0;
}

// An error message from a timer handler: the ticks pause while it is up.
static void errorbox(const char* text, const char* caption) {
  tickbox(text, caption, OS_MB_SYSTEMMODAL | OS_MB_ICONERROR);
}

static void setprogress(uint32_t msg, uintptr_t wp, intptr_t lp) {
  if (gkesto.mw.progress) ossendmessage(gkesto.mw.progress, msg, wp, lp);
}

// Box 1029 and the progress bar while frames are written out.
static void showwriteout() {
  BurstFigures& b = gkesto.burst;
  ossetdlgitemint(gkesto.mw.main, IDC_FITS, b.planned - b.taken + b.written, 1);
  setprogress(OS_PBM_SETPOS, (uintptr_t)(b.taken - b.written), 0);
}

// ---- screenshots -------------------------------------------------------------

// A clipboard image taken for a screenshot: its rows in the full image and
// the headers of the file to write.
struct ShotImage {
  OsBitmapHeader full, cut;
  int32_t W, H;
  int crop;
};

// What became of a new clipboard image.
enum ShotResult { ShotSaved, ShotTooLarge, ShotUnreadable, ShotNotSaved };

// Takes a new clipboard image while the clipboard is open: its header, the
// crop to rectdgwin when the crop is still valid, and its rows into the full
// image.  Shows nothing: the clipboard is closed before any message.
static ShotResult takeimage(OsHandle img, ShotImage* s) {
  MainWindowState& mw = gkesto.mw;
  CaptureControl& cc = mw.cap;
  OsBitmapHeader sys;
  memset(&sys, 0, sizeof sys);
  sys.size = BMPINFOHEADER;
  if (!osgetbitmapheader(img, &sys)) return ShotUnreadable;
  int32_t W, H;
  s->W = sys.width;
  s->H = sys.height;
  // Rows that would not fit the image buffers are never fetched.
  if (!clipimagesize(sys, CAPBUFSIZE, &W, &H)) return ShotTooLarge;
  s->full = rgbheader(sys, W, H);
  const int32_t* r = cc.rectdgwin;
  s->crop = cc.cropvalid && mw.foreground == mw.watch.gamewin && cropinside(W, H, r);
  if (s->crop) s->cut = rgbheader(sys, r[2] - r[0], r[3] - r[1]);
  OsBitmapHeader rows = s->full;
  if (!osgetbitmaprows(img, &rows, gkesto.fullimage, CAPBUFSIZE)) return ShotUnreadable;
  s->W = W;
  s->H = H;
  return ShotSaved;
}

// Writes a screenshot file of the image taken, under a name no file has;
// the file is made whole or not at all.  A file that cannot be written is
// named with the reason and removed.  ShotSaved or ShotNotSaved.
static ShotResult writescreenshot(const ShotImage& s) {
  const int32_t* r = gkesto.mw.cap.rectdgwin;
  const uint8_t* rows = gkesto.fullimage;
  const OsBitmapHeader* h = &s.full;
  if (s.crop) {
    croprows(gkesto.fullimage, s.W, s.H, r, gkesto.cropimage);
    rows = gkesto.cropimage;
    h = &s.cut;
  }
  char path[PATHSIZE + 96];
  const char* why;
  if (!ssname(path, (int)sizeof path, &why)) {
    errorbox(why, "DIR");
    return ShotNotSaved;
  }
  uint8_t head[BMPHEADERS];
  putfileheader(head, h->sizeimage);
  putinfoheader(head + BMPFILEHEADER, *h);
  uint32_t error = 0;
  if (writewholefile(path, OS_CREATE_NEW, head, BMPHEADERS, rows, h->sizeimage, &error)) return ShotSaved;
  char b[1024];
  failuretext(b, (int)sizeof b, "スクリーンショットを保存できませんでした", path, error,
              "画像はクリップボードに残しています。");
  errorbox(b, "Write Error");
  return ShotNotSaved;
}

// 1 while the clipboard (open, its image img) still holds what it held when
// KESTO started: that is the user's, neither saved nor emptied.  Once it
// changes, never again.  A system that keeps no sequence number (0) is
// judged by the image alone.
static int foreignclipboard(OsHandle img) {
  CaptureControl& cc = gkesto.mw.cap;
  uint32_t seq = osgetclipboardsequencenumber();
  if (cc.foreign && (seq != cc.foreignseq || (seq == 0 && img != cc.foreignimage))) cc.foreign = 0;
  return cc.foreign;
}

void rememberclipboard() {
  CaptureControl& cc = gkesto.mw.cap;
  cc.foreign = 1;
  cc.foreignseq = osgetclipboardsequencenumber();
  cc.foreignimage = 0;
  if (osopenclipboard(gkesto.mw.main)) {
    cc.foreignimage = osgetclipboardbitmap();
    oscloseclipboard();
  }
}

// The screenshot check; 0 when the game window was found gone (the tick
// ends then).
static int screenshotcheck() {
  MainWindowState& mw = gkesto.mw;
  CaptureControl& cc = mw.cap;
  cc.ssbusy = 1;
  if (!mw.watch.gamewin) {
    cc.cropvalid = 0;
  } else if (!osgetwindowrect(mw.watch.gamewin, cc.rectdgwin)) {
    errorbox("ゴルフ漬けウインドウが見つかりません", "Process Not found");
    cc.ssbusy = 0;
    return 0;
  } else {
    const int32_t* r = cc.rectdgwin;
    cc.cropvalid = !(r[0] < 0 || r[1] < 0 || r[2] > mw.screenw || r[3] > mw.screenh);
    if (!cc.cropvalid) {
      char b[320];
      snprintf(b, sizeof b,
               "rectdgwin.left = %d\r\nrectdgwin.top = %d\r\nrectdgwin.right = %d\r\nrectdgwin.bottom = %d\r\n\r\n"
               "ゴルフ漬けのウインドウがデスクトップをはみ出しています。",
               r[0], r[1], r[2], r[3]);
      // The pause counts in the pace the ticks ran at.
      cc.cooldown = mw.pace.ticks3s;
      errorbox(b, "Capture RECT is out of window");
    }
  }
  // The clipboard is open only for the moment it takes to look at it and
  // copy the image's rows; another program holding it changes nothing.
  if (!osopenclipboard(mw.main)) {
    cc.ssbusy = 0;
    return 1;
  }
  OsHandle img = osgetclipboardbitmap();
  int foreign = foreignclipboard(img);
  if (foreign) img = 0;
  int fresh = img && img != cc.lastimage;
  static ShotImage shot;
  ShotResult got = fresh ? takeimage(img, &shot) : ShotSaved;
  // An image that is not saved stays on the clipboard: nothing is lost.
  if (!foreign && !fresh && !(img && cc.unsaved)) osemptyclipboard();
  oscloseclipboard();
  cc.lastimage = img;
  if (fresh) {
    if (got == ShotTooLarge) {
      char b[200];
      snprintf(b, sizeof b, "クリップボードの画像 (%d x %d) は大きすぎるため保存しませんでした", (int)shot.W,
               (int)shot.H);
      errorbox(b, "Error");
    } else if (got == ShotUnreadable) {
      errorbox("クリップボードの画像を読み取れないため保存しませんでした\r\n\r\n画像はクリップボードに残しています。",
              "Error");
    } else {
      got = writescreenshot(shot);
    }
    cc.unsaved = got != ShotSaved;
    // Saved whole: now the image leaves the clipboard, if it is still there.
    if (got == ShotSaved && osopenclipboard(mw.main)) {
      if (osgetclipboardbitmap() == img) osemptyclipboard();
      oscloseclipboard();
    }
  }
  cc.ssbusy = 0;
  return 1;
}

// ---- bursts ------------------------------------------------------------------

int burstpending() {
  const BurstFigures& b = gkesto.burst;
  return gkesto.mw.cap.burst != BurstIdle || b.taken > b.written || b.log != 0;
}

void stopburst() {
  CaptureControl& cc = gkesto.mw.cap;
  if (burstpending()) cc.burst = BurstWriting;
}

// Forgets the failures of a burst once they are told, or at its start.
static void clearfailures(BurstFigures& b) {
  b.waiting = 0;
  b.failframe = 0;
  b.frameerror = 0;
  b.skipped = 0;
  b.firstskip = 0;
  b.grabfails = 0;
  b.discarded = 0;
  b.logfails = 0;
  b.logerror = 0;
  b.logclosefail = 0;
}

// What the burst could not do, told when it is over: frames skipped by the
// file check, grabs that copied nothing, log lines not written.  Frames whose
// files could not be written were asked about when it happened.
static void reportburst() {
  BurstFigures& b = gkesto.burst;
  char line[200];
  if (b.discarded) {
    snprintf(line, sizeof line, "保存できなかった連写の画像 %d 枚を破棄しました", b.discarded);
    ossetdlgitemtext(gkesto.mw.main, IDC_STATUSLINE, line);
  }
  if (b.skipped == 0 && b.grabfails == 0 && b.logfails == 0 && !b.logclosefail) {
    clearfailures(b);
    return;
  }
  char text[PATHSIZE * 2 + 600];
  int n = 0;
  if (b.skipped)
    n += snprintf(text + n, sizeof text - (size_t)n,
                  "連写の画像 %d 枚は大きすぎて BMP ファイルにできないため飛ばしました (最初は c%05d.bmp)。\r\n"
                  "その画像のログの行もありません。",
                  b.skipped, b.firstskip);
  if (b.grabfails && n >= 0 && n < (int)sizeof text)
    n += snprintf(text + n, sizeof text - (size_t)n, "%s画面を取り込めなかった %d 回は画像にしていません。",
                  n ? "\r\n\r\n" : "", b.grabfails);
  if ((b.logfails || b.logclosefail) && n >= 0 && n < (int)sizeof text) {
    char why[96];
    errorreason(b.logerror, why, (int)sizeof why);
    if (b.logfails)
      n += snprintf(text + n, sizeof text - (size_t)n, "%s連写のログ %d 行を書き込めませんでした。\r\n%s\r\n%s",
                    n ? "\r\n\r\n" : "", b.logfails, b.logpath, why);
    else
      n += snprintf(text + n, sizeof text - (size_t)n, "%s連写のログを最後まで保存できなかったおそれがあります。\r\n%s\r\n%s",
                    n ? "\r\n\r\n" : "", b.logpath, why);
  }
  if (!b.discarded) {
    snprintf(line, sizeof line, "連写の保存を終えました (飛ばした画像 %d 枚、取り込めなかった %d 回、ログの失敗 %d 行)",
             b.skipped, b.grabfails, b.logfails);
    ossetdlgitemtext(gkesto.mw.main, IDC_STATUSLINE, line);
  }
  int writing = b.logfails || b.logclosefail;
  clearfailures(b);
  errorbox(text, writing ? "Write error" : "Error");
}

// The viewer page of the burst just written out, beside its frames: the
// frames its log lists.  A page that cannot be written is told in the status
// line (which file, why); the frames and the log are whole already.  0 then.
static int burstviewer(char* told, int n) {
  BurstFigures& b = gkesto.burst;
  told[0] = 0;
  if (!b.folder[0]) return 1;
  snprintf(b.lastfolder, sizeof b.lastfolder, "%s", b.folder);
  ViewerResult r;
  int got = writeburstviewer(b.folder, &r);
  b.ended++;  // the main window's tick routes it to the page server
  // No log at all was told with the burst (its lines were counted lost).
  if (got == VIEWER_WRITTEN || got == VIEWER_NOLOG) return 1;
  char why[96];
  errorreason(r.error, why, (int)sizeof why);
  snprintf(told, (size_t)n, "%s %s: %s",
           got == VIEWER_UNREAD ? "連写のログを読めないためビューアを作れませんでした" : "連写のビューアを保存できませんでした",
           r.path, why);
  return 0;
}

// The burst is over: every frame it took is on disk, skipped by the file
// check or discarded by the user.
static void burstdone() {
  MainWindowState& mw = gkesto.mw;
  mw.freemb = freediskmb(gkesto.set.homeread);
  mw.cap.toggled = 0;
  mw.cap.burst = BurstIdle;
  const BurstFigures& b = gkesto.burst;
  int lined = b.discarded || b.skipped || b.grabfails || b.logfails || b.logclosefail;
  char told[PATHSIZE * 2 + 256];
  int viewer = burstviewer(told, (int)sizeof told);
  reportburst();
  if (viewer) return;
  // After what the burst itself told in the status line, if it told any.
  char line[PATHSIZE * 3 + 512];
  int n = 0;
  if (lined) {
    n = osgetdlgitemtext(mw.main, IDC_STATUSLINE, line, (int)sizeof line / 2);
    if (n < 0) n = 0;
    if (n > 0) n += snprintf(line + n, sizeof line - (size_t)n, " / ");
  }
  snprintf(line + n, sizeof line - (size_t)n, "%s", told);
  ossetdlgitemtext(mw.main, IDC_STATUSLINE, line);
}

void showending() {
  const BurstFigures& b = gkesto.burst;
  char line[160];
  snprintf(line, sizeof line, "終了する前に連写の画像を保存しています (%d / %d 枚)", b.written, b.taken);
  ossetdlgitemtext(gkesto.mw.main, IDC_STATUSLINE, line);
}

// The user's answer to a write that failed.
enum Answer { Retry, Discard, AskLater };

// Asks what to do with the frames a failed write left in memory: 再試行
// writes on from the frame that failed, キャンセル asks to confirm the
// discard (いいえ goes back to the first question).  A box that cannot be
// shown leaves the frames as they are.
static Answer askfailed() {
  MainWindowState& mw = gkesto.mw;
  BurstFigures& b = gkesto.burst;
  char path[PATHSIZE + 16];
  snprintf(path, sizeof path, "%s\\c%05d.bmp", b.folder, b.failframe);
  char tail[200];
  snprintf(tail, sizeof tail,
           "保存していない画像 %d 枚はメモリーに残しています。\r\n空きを作ってから「再試行」を押すと続きを保存します。",
           b.taken - b.written);
  char text[PATHSIZE + 600];
  failuretext(text, (int)sizeof text, "連写の画像を保存できませんでした", path, b.frameerror, tail);
  char confirm[240];
  snprintf(confirm, sizeof confirm,
           "保存していない連写の画像 %d 枚を破棄します。よろしいですか？\r\n\r\n「いいえ」で保存の確認に戻ります。",
           b.taken - b.written);
  Answer a = AskLater;
  mw.cap.asking = 1;
  for (;;) {
    int r = osmessagebox(mw.main, text, "Write error", OS_MB_RETRYCANCEL | OS_MB_SYSTEMMODAL | OS_MB_ICONERROR);
    if (r == OS_IDRETRY) a = Retry;
    if (r != OS_IDCANCEL) break;
    r = osmessagebox(mw.main, confirm, "Write error", OS_MB_YESNO | OS_MB_SYSTEMMODAL | OS_MB_ICONWARNING);
    if (r == OS_IDYES) a = Discard;
    if (r != OS_IDNO) break;
  }
  mw.cap.asking = 0;
  return a;
}

int askingnow() { return gkesto.mw.cap.asking; }

// Writes out up to FLUSHFRAMES frames with the timers stopped.  A write
// that fails asks the user (AskOrWait, AskOrDiscard) or, when no one can be
// asked (NoOneToAsk: the session ends), discards what is left.  A box that
// cannot be shown keeps the frames for the next call (AskOrWait) or
// discards them (AskOrDiscard: nothing comes after).  1 while frames
// remain, 0 once the burst is over, done and told.
static int writeout(WriteOut how) {
  int r = burstflush(FLUSHFRAMES);
  while (r == FLUSHSTOPPED) {
    Answer a = how == NoOneToAsk ? Discard : askfailed();
    if (a == AskLater && how == AskOrWait) break;
    if (a != Retry) {
      burstdiscard();
      r = FLUSHDONE;
      break;
    }
    r = burstflush(FLUSHFRAMES);
  }
  showwriteout();
  if (r == FLUSHDONE) burstdone();
  return r != FLUSHDONE;
}

int writeoutstep() {
  stoptimers();
  int more = writeout(AskOrWait);
  if (more) showending();
  starttimers();
  return more;
}

void writeoutnow(WriteOut how) {
  stopburst();
  while (burstpending()) {
    if (writeout(how)) {
      showending();
      // Nothing waits for the message loop: the status line is painted now.
      osupdatewindow(osgetdlgitem(gkesto.mw.main, IDC_STATUSLINE));
    }
  }
}

void capturetoggle() {
  MainWindowState& mw = gkesto.mw;
  CaptureControl& cc = mw.cap;
  BurstFigures& b = gkesto.burst;
  // One burst at a time: while one has frames in memory or its log open, a
  // trigger stops it or lets its write-out go on; it never starts another.
  if (burstpending()) {
    if (cc.burst != BurstRunning && cc.burst != BurstWriting) return;
    stoptimers();
    cc.burst = BurstWriting;
    writeout(AskOrWait);
    starttimers();
    return;
  }
  cc.toggled = 1;
  osqueryperformancecounter(&b.starttime);
  cc.burst = BurstPreparing;
  stoptimers();
  burstprep();
  if (b.planned <= 0) {
    // Not one frame fits: no folder is made and nothing is taken.
    osmessagebox(mw.main,
                 b.straight ? "ディスクの空きが足りません\r\n\r\n連写は中止しました。"
                            : "空きメモリが足りません\r\n\r\n連写は中止しました。",
                 "Memory is too small", OS_MB_SYSTEMMODAL | OS_MB_ICONERROR);
    cc.toggled = 0;
    cc.burst = BurstIdle;
    starttimers();
    return;
  }
  cc.burst = BurstRunning;
  b.taken = 0;
  b.written = 0;
  clearfailures(b);
  if (!burstnames()) {
    osmessagebox(mw.main, "フォルダを作成できませんでした\r\n\r\n連写は中止しました。", "Memory is too small",
                 OS_MB_SYSTEMMODAL | OS_MB_ICONERROR);
    cc.toggled = 0;
    cc.burst = BurstIdle;
    starttimers();
    return;
  }
  b.log = oscreatefile(b.logpath, OS_GENERIC_READ | OS_GENERIC_WRITE, OS_FILE_SHARE_READ | OS_FILE_SHARE_WRITE,
                       OS_CREATE_ALWAYS);
  if (b.log == OS_BADFILE) {
    // Its lines are counted as lost and told at the end of the burst.
    b.log = 0;
    b.logerror = osgetlasterror();
  }
  // The range's upper end is 16 bits: a planned count above 65,535 wraps.
  setprogress(OS_PBM_SETRANGE, 0, (intptr_t)((uint32_t)(b.planned & 0xFFFF) << 16));
  setprogress(OS_PBM_SETBARCOLOR, 0, 0xFF0000);
  setprogress(OS_PBM_SETPOS, 0, 0);
  char line[48];
  int n = snprintf(line, sizeof line, "disk free = %d MB\r\n", mw.freemb);
  burstlog(line, (uint32_t)n);
  if (burststep()) cc.burst = BurstWriting;
  starttimers();
}

// The frames that still fit in memory, in 1029 while no burst runs.
static void showestimate(uint32_t avail) {
  int32_t r[4] = {0, 0, 0, 0};
  if (!osgetwindowrect(gkesto.mw.foreground, r)) memset(r, 0, sizeof r);
  int64_t w = (int64_t)r[2] - r[0], h = (int64_t)r[3] - r[1];
  int64_t framebytes = (w * 3 + rowpad((int32_t)w)) * h + 74;
  if (framebytes <= 0) framebytes = 1;
  int64_t usable = ((int64_t)avail - MEMRESERVE) / 10 * 9;
  int64_t fits = usable / framebytes;
  // Less than the reserve left: nothing fits.
  if (fits < 0) fits = 0;
  if (fits > INT32_MAX) fits = INT32_MAX;
  ossetdlgitemint(gkesto.mw.main, IDC_FITS, (int)fits, 0);
}

static void burstpart() {
  MainWindowState& mw = gkesto.mw;
  CaptureControl& cc = mw.cap;
  BurstFigures& b = gkesto.burst;
  uint32_t avail = osavailphys();
  ossetdlgitemint(mw.main, IDC_FREEMEM, (int)(avail / 1048576u), 0);
  OsHandle img = 0;
  // A clipboard another program holds is no new image: the last one stays.
  int looked = osopenclipboard(mw.main);
  if (looked) {
    // The image the clipboard held at start is no trigger.
    img = osgetclipboardbitmap();
    if (foreignclipboard(img)) img = 0;
    oscloseclipboard();
  } else {
    img = cc.lastimage;
  }
  int32_t keymode = gkesto.set.work.enablecapkey;
  if (img && img != cc.lastimage && (keymode == 0 || keymode == 2)) {
    capturetoggle();
    cc.lastimage = img;
    return;
  }
  if (cc.burst == BurstIdle) {
    if (++cc.estimate > mw.pace.ticks1s) {
      cc.estimate = 0;
      showestimate(avail);
    }
  } else if (cc.burst == BurstRunning) {
    int step = 1;
    if (gkesto.set.interval == 0) {
      step = 0;
      if (++cc.customcount >= gkesto.set.custominterval / 5) {
        cc.customcount = 0;
        step = 1;
      }
    }
    if (step && burststep()) cc.burst = BurstWriting;
    int32_t n = b.straight ? b.ondisk : b.taken;
    setprogress(OS_PBM_SETPOS, (uintptr_t)n, 0);
    ossetdlgitemint(mw.main, IDC_FITS, b.planned - n, 1);
  }
  if (cc.burst == BurstWriting) {
    stoptimers();
    writeout(AskOrWait);
    starttimers();
  }
  cc.lastimage = img;
}

int capturetick() {
  MainWindowState& mw = gkesto.mw;
  CaptureControl& cc = mw.cap;
  if (cc.mode == ScreenshotMode) {
    if ((int64_t)mw.screenw * mw.screenh <= SCREENAREAMAX) {
      cc.ssallowed = 1;
    } else {
      cc.ssallowed = 0;
      cc.mode = CaptureOff;
      oscheckdlgbutton(mw.main, IDC_SS, 0);
      errorbox("パソコンのデスクトップが大きすぎます。\r\n\r\n面積を　2560 x 1638 ピクセル以下にしてください。",
              "desktop over");
    }
  } else {
    cc.ssallowed = 0;
  }
  if (cc.cooldown > 0) cc.cooldown--;
  mw.foreground = osgetforegroundwindow();
  if (cc.ssallowed && !cc.ssbusy && cc.cooldown == 0 && !screenshotcheck()) return 0;
  if (cc.mode == CaptureOff || cc.mode == ScreenshotMode) {
    cc.toggled = 0;
    if (cc.burst == BurstRunning || cc.burst == BurstWriting) {
      // Leaving burst mode stops taking frames; those taken are written out.
      stoptimers();
      cc.burst = BurstWriting;
      writeout(AskOrWait);
      mw.freemb = freediskmb(gkesto.set.homeread);
      starttimers();
    }
  }
  if (cc.mode == BurstMode) burstpart();
  return 1;
}

// ---- timer 2 -----------------------------------------------------------------

static const int kshortcuts[SHORTCUTS] = {0x31, 0x30, 0x52, OS_VK_F1, OS_VK_F2, OS_VK_F3};

static void shortcut(int i) {
  OsWin m = gkesto.mw.main;
  switch (i) {
    case 0: ossetdlgitemint(m, IDC_COUNT, 1, 0); break;
    case 1: ossetdlgitemint(m, IDC_COUNT, 0, 0); break;
    case 2: ossetdlgitemint(m, IDC_COUNT, gkesto.set.saved.capturepage, 0); break;
    case 3:
      oscheckdlgbutton(m, IDC_SS, 1);
      ospostcommand(m, IDC_SS);
      break;
    case 4:
      oscheckdlgbutton(m, IDC_BURST, 1);
      ospostcommand(m, IDC_BURST);
      break;
    case 5:
      if (osisdlgbuttonchecked(m, IDC_BURST)) {
        oscheckdlgbutton(m, IDC_BURST, 0);
        ospostcommand(m, IDC_BURST);
      }
      if (osisdlgbuttonchecked(m, IDC_SS)) {
        oscheckdlgbutton(m, IDC_SS, 0);
        ospostcommand(m, IDC_SS);
      }
      break;
  }
}

void capturekeys() {
  CaptureControl& cc = gkesto.mw.cap;
  const CaptureSettings& w = gkesto.set.work;
  if (cc.mode == BurstMode && w.enablecapkey != 0) {
    int32_t row = w.selectcapkey >= 0 && w.selectcapkey < CAPKEYROWS ? w.selectcapkey : 0;
    cc.keyprev = cc.keynow;
    cc.keynow = osgetasynckeystate(kcapkeys[row].vkey);
    if ((cc.keynow & KEYDOWN) && !(cc.keyprev & KEYDOWN)) capturetoggle();
  }
  for (int i = 0; i < SHORTCUTS; i++) {
    cc.shortprev[i] = cc.shortnow[i];
    cc.shortnow[i] = osgetasynckeystate(kshortcuts[i]);
    if ((cc.shortnow[i] & KEYDOWN) && !(cc.shortprev[i] & KEYDOWN) &&
        (osgetasynckeystate(OS_VK_LCONTROL) & KEYDOWN))
      shortcut(i);
  }
}
