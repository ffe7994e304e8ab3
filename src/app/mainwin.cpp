// The main window: program initialisation, the commands of its controls, the
// run states and the end sequence.
#include "app/mainwin.h"

#include <cstdio>
#include <cstring>

#include "app/apngcmd.h"
#include "app/capctl.h"
#include "app/burstmenu.h"
#include "app/live.h"
#include "app/server.h"
#include "app/statscmd.h"
#include "app/ticks.h"
#include "app/watch.h"
#include "capture/area.h"
#include "config/textfile.h"
#include "fileerror.h"
#include "folders.h"
#include "kesto.h"
#include "logchooser.h"
#include "report/mkhtm.h"
#include "report/playlog.h"
#include "res/resource.h"

static int gended;  // the end sequence has run

static void showhex(int32_t v) {
  char b[16];
  snprintf(b, sizeof b, "%X", (unsigned)v);
  ossetdlgitemtext(gkesto.mw.main, IDC_STATUS, b);
}

void mainwincreate(OsWin w) {
  MainWindowState& mw = gkesto.mw;
  WatchState& ws = mw.watch;
  CaptureControl& cc = mw.cap;
  gended = 0;
  osinitcommoncontrols();

  mw.run = NeverStarted;
  ws.state = WatchIdle;
  ws.following = 0;
  ws.logfile = 0;
  ws.resume = 0;
  mw.main = w;
  mw.logdlg = 0;
  mw.areadlg = 0;
  mw.framewin = 0;
  gkesto.set.complete = 0;
  ws.gamewin = 0;
  memset(cc.rectdgwin, 0, sizeof cc.rectdgwin);
  ws.edition = 0;
  gkesto.chosenwin = 0;
  cc.ssallowed = 1;
  cc.ssbusy = 0;
  cc.cooldown = 0;
  cc.lastimage = 0;
  gkesto.burst.diskthreshold = 250;

  gkesto.set.readcourse = 0;
  gkesto.set.savecourse = 1;
  gkesto.set.iexplore = 0;
  gkesto.set.custominterval = kintervals[0].custom;  // 100.0 s until loginit.txt names another

  initcourses();
  gkesto.set.iniunread = 0;
  gkesto.set.courseunread = 0;
  gkesto.set.coursekeep = 0;
  gkesto.set.loadmask = readsettings();
  livestart();
  // Complete only with every capture key found: a defaulted area choice or
  // lock-on also fills in its key's bit.
  if ((gkesto.set.loadmask & LM_CAPTUREKEYS) == LM_CAPTUREKEYS && !(gkesto.set.loadmask & LM_DEFAULTED))
    gkesto.set.complete = 1;
  if (gkesto.set.readcourse == 1) readcourses();
  // Without loginit.txt's word on READ_COURSE the table may not be the
  // user's: golfcourse.txt is never replaced by it.
  if (gkesto.set.iniunread) gkesto.set.coursekeep = 1;
  // The page server opens with the window when live.txt asks for it.
  int serverfailed = livestartserver();
  // Told once the window is up, over it (a port in use too).
  if (gkesto.set.iniunread || gkesto.set.courseunread || glive.setunread || glive.setbad || serverfailed)
    ospostcommand(w, IDC_STARTNOTICE);

  ossetwindowtext(w, KESTO_TITLE);

  mw.pace = periodrow();
  mw.period = (uint32_t)mw.pace.period;
  housekeepingstart();
  ws.ticks = 0;
  ws.delay = 0;
  cc.mode = CaptureOff;
  cc.burst = BurstIdle;
  cc.toggled = 0;
  cc.countguard = 0;

  restorecapture();
  resetburst();
  mw.freemb = freediskmb(gkesto.set.homeread);
  statsmenu(w);
  livemenu(w);
  burstmenu(w);
  apngmenu(w);
}

void mainwininitdialog() {
  MainWindowState& mw = gkesto.mw;
  oscheckdlgbutton(mw.main, IDC_SS, 0);
  mw.screenw = osgetsystemmetrics(OS_SM_CXSCREEN);
  mw.screenh = osgetsystemmetrics(OS_SM_CYSCREEN);
  // What the clipboard holds now is the user's: it stays there.
  rememberclipboard();
  mw.progress = osgetdlgitem(mw.main, IDC_PROGRESS);
  // A themed Windows draws the bar in its own colour unless its styles are off.
  osnovisualstyle(mw.progress);
  showcount();
  gkesto.marker.width = 100;
  gkesto.marker.pos = 0;
  gkesto.marker.slide = SlideOff;
  int64_t freq = 0;
  osqueryperformancefrequency(&freq);
  mw.countsperms = freq / 1000;
}

void startwatch() {
  MainWindowState& mw = gkesto.mw;
  Settings& s = gkesto.set;
  if (s.loadmask & LM_DEFAULTED) {
    showhex(s.loadmask);
    osmessagebox(mw.main,
                 "キャプチャーエリアなどの設定をデフォルトにしました。\r\n\"範囲\"ボタンの画面で保存してください\r\n",
                 "範囲設定", OS_MB_ICONINFORMATION);
  }
  if (mw.run == Ending) return;
  if (!s.complete) {
    showhex(s.loadmask);
    osmessagebox(mw.main,
                 "ゴルフ漬けのフォルダが設定されていません\r\n設定ボタンを押して環境設定をしてください",
                 "設定エラー", OS_MB_ICONERROR);
    return;
  }
  switch (mw.run) {
    case NeverStarted:
      mw.watch.logfile = 0;
      mw.run = Running;
      starttimers();
      ossetdlgitemtext(mw.main, IDC_STATUSLINE, "起動監視をスタートしました");
      mw.watch.following = 0;
      mw.watch.state = SeekGame;
      break;
    case Paused:
      mw.run = Running;
      starttimers();
      ossetdlgitemtext(mw.main, IDC_STATUSLINE, "起動監視を再開しました");
      mw.watch.resume = 1;
      mw.watch.ticks = 0;
      mw.watch.delay = 0;
      break;
    case Running:
    case Ending:
      break;
  }
}

void pausewatch() {
  MainWindowState& mw = gkesto.mw;
  if (gkesto.set.complete != 1 || mw.run != Running) return;
  stoptimers();
  ossetdlgitemtext(mw.main, IDC_STATUSLINE, "監視を中断しました。スタートで再開します");
  mw.watch.ticks = 0;
  mw.watch.delay = 0;
  mw.run = Paused;
}

// Opens a modeless dialog, or closes it through its own close command when it
// is open already.
static void toggledialog(OsWin* dlg, int templ, int closecmd, const char* name) {
  if (*dlg) {
    ossendcommand(*dlg, closecmd);
    return;
  }
  OsWin w = oscreatedialog(templ, gkesto.mw.main);
  if (!w) {
    osmessagebox(gkesto.mw.main, name, "Open error", OS_MB_ICONERROR);
    return;
  }
  *dlg = w;
  osshowwindow(w, 1);
  osupdatewindow(w);
}

void openplaylog() {
  MainWindowState& mw = gkesto.mw;
  if (mw.logdlg) {
    ossendcommand(mw.logdlg, IDC_LOG_END);
    return;
  }
  OsHandle f = 0;
  uint32_t size = 0;
  if (!openlog(mw.main, klogfilter, &f, &size)) return;
  if (!loadplaylog(f, size)) return;
  if (!mw.logdlg) toggledialog(&mw.logdlg, IDD_PLAYLOG, 2, "DISPLOG");
}

// A file of the user's that start-up could not read: which, why, and that
// it is kept.
static void startnotice() {
  const Settings& s = gkesto.set;
  char b[1024];
  if (s.iniunread) {
    failuretext(b, (int)sizeof b, "設定ファイル loginit.txt を読めませんでした", s.inifile, s.inierror,
                "設定は既定値で始めます。loginit.txt は「設定保存」で保存するまで書き換えません。\r\n"
                "終了時に golfcourse.txt も保存しません。");
    osmessagebox(gkesto.mw.main, b, "Open error", OS_MB_ICONERROR);
  }
  if (s.courseunread) {
    failuretext(b, (int)sizeof b, "コースデータ golfcourse.txt を読めませんでした", s.coursefile, s.courseerror,
                "組み込みのコース表を使います。終了時に golfcourse.txt は保存しません。");
    osmessagebox(gkesto.mw.main, b, "Open error", OS_MB_ICONERROR);
  }
  if (livestartnotice(b, (int)sizeof b)) osmessagebox(gkesto.mw.main, b, "Open error", OS_MB_ICONERROR);
  liveservernotice();
}

// The end sequence proper: nothing of a burst is left in memory by now.
static void finishend() {
  if (gended) return;
  gended = 1;
  stoptimers();
  serverstop();
  // A page still being written (Windows ends the session while a question
  // of "HTM作成" is up) is dropped: the earlier page stays, no half page.
  abandonpage(&gkesto);
  // So is an animated PNG being made.
  apngabandon();
  if (gkesto.user32) {
    osfreelibrary(gkesto.user32);
    gkesto.user32 = 0;
  }
  // golfcourse.txt is written only from a table read from it whole (or
  // with READ_COURSE=0, the built-in one); a user's file the table did not
  // come from stays as it is.
  if (gkesto.set.savecourse && !gkesto.set.coursekeep) {
    // golfcourse.txt is replaced whole: a failure leaves the old one as it was.
    Replacement r;
    char head[64] = " オープンエラー！";
    if (beginreplace(&r, gkesto.set.coursefile)) {
      int32_t failed = writecourses(&r);
      if (failed != 0) snprintf(head, sizeof head, " %d 回の書き込みエラー！", failed);
      else snprintf(head, sizeof head, "golfcourse.txt を保存できませんでした");
      endreplace(&r, 1);
    }
    if (r.failed) {
      char b[1024];
      failuretext(b, (int)sizeof b, head, gkesto.set.coursefile, r.error, "golfcourse.txt は変更していません。");
      osmessagebox(gkesto.mw.main, b, "Save Error", OS_MB_ICONERROR);
    }
  }
  ospostquitmessage(0);
}

// A burst with frames in memory is written out first: 10 frames a tick on
// timer 1 alone, the progress in the status line; the end sequence goes on
// after the last (mainwintimer).
void endsequence() {
  MainWindowState& mw = gkesto.mw;
  if (gended || mw.run == Ending) return;
  if (!burstpending()) {
    finishend();
    return;
  }
  stopburst();
  stoptimers();
  mw.run = Ending;
  starttimers();
  showending();
}

// The window goes, or Windows ends the session: nothing waits for a tick,
// so what is left of a burst is written out here and now.
static void endnow(WriteOut how) {
  if (gended) return;
  stopburst();
  stoptimers();
  writeoutnow(how);
  finishend();
}

void mainwinclose() { endsequence(); }

int mainwinqueryend() {
  // No more frames are taken; the session may end, and Windows is told why
  // it should wait for frames still in memory (a system without the call
  // just ends the session).
  stopburst();
  if (burstpending()) osshutdownblockreasoncreate(gkesto.mw.main, "連写の画像を保存しています");
  return 1;
}

void mainwinendsession(int ending) {
  // No one is there to answer a question: frames that cannot be written now
  // are lost.
  if (ending) endnow(NoOneToAsk);
  osshutdownblockreasondestroy(gkesto.mw.main);
}

void mainwincommand(int id, int code) {
  MainWindowState& mw = gkesto.mw;
  switch (id) {
    case IDC_END:
    case IDC_CANCEL:
      endsequence();
      break;
    case IDC_SETTINGS:
      toggledialog(&mw.setdlg, IDD_SETTINGS, IDC_SET_END, "CONFIGLOG");
      break;
    case IDC_START:
      startwatch();
      break;
    case IDC_STOP:
      pausewatch();
      break;
    case IDC_PLAYLOG:
      openplaylog();
      break;
    case IDC_SS:
    case IDC_BURST:
      if (code == OS_BN_CLICKED) modeclick(id);
      break;
    case IDC_AREA:
      toggledialog(&mw.areadlg, IDD_AREA, IDA_END, "CONFIGSS");
      break;
    case IDC_COUNT:
      if (code == OS_EN_CHANGE) countchanged();
      break;
    case IDC_SHOWCOUNT:
      showcount();
      break;
    case IDC_STARTNOTICE:
      startnotice();
      break;
    default:
      break;
  }
}

// The last shot read: club, remaining distance (yards for clubs of 70 and
// above), power.
static void showshot(const LiveShot& s) {
  OsWin m = gkesto.mw.main;
  char b[64];
  ossetdlgitemint(m, IDC_CLUB, s.club, 1);
  if (s.club >= 70) {
    float yards = s.remain * 1.0936133f;
    snprintf(b, sizeof b, "%.1fy", (double)yards);
  } else {
    snprintf(b, sizeof b, "%.1fm", (double)s.remain);
  }
  ossetdlgitemtext(m, IDC_REMAIN, b);
  snprintf(b, sizeof b, "%4f", s.power * 100.0 * 0.008333333333333333);
  ossetdlgitemtext(m, IDC_POWER, b);
}

// What the watcher saw this tick, applied in the order it happened: the
// fields and messages to the main window.
static void routewatch(const WatchEvents& events) {
  OsWin m = gkesto.mw.main;
  for (int32_t i = 0; i < events.count; i++) {
    const WatchEvent& e = events.ev[i];
    switch (e.kind) {
      case WatchFieldText: ossetdlgitemtext(m, e.id, e.text); break;
      case WatchFieldNumber: ossetdlgitemint(m, e.id, e.value, e.sign); break;
      case WatchShot:
        liveshot(e.shot);
        servershot();
        if (e.value) showshot(e.shown);
        break;
      case WatchLogRead: livelogread(e.value); break;
      case WatchMessage: osmessagebox(m, e.text, e.caption, e.type); break;
      case WatchStopTicks: stoptimers(); break;
      case WatchStartTicks: starttimers(); break;
      case WatchGameStarted: livegamestarted(e.value, e.sign); break;
      case WatchGameEnded:
      case WatchLogCopied: break;
    }
  }
}

// A burst whose write-out ended since the last tick: the page server's
// burst event (the write-out runs in several places; this is the one that
// routes).
static void routeburst() {
  MainWindowState& mw = gkesto.mw;
  if (mw.burstsrouted == gkesto.burst.ended) return;
  mw.burstsrouted = gkesto.burst.ended;
  serverburst();
}

static void timer(int id);

void mainwintimer(int id) {
  timer(id);
  routeburst();
}

static void timer(int id) {
  if (id == TICK_HOUSEKEEPING) {
    housekeepingtick();
    return;
  }
  // The question about frames that could not be written is up: it answers
  // first.
  if (askingnow()) return;
  if (id == TICK_KEYS) {
    capturekeys();
    return;
  }
  if (id != TICK_WORK) return;
  if (gkesto.mw.run == Ending) {
    if (!writeoutstep()) finishend();
    return;
  }
  // The events of one step, allocated once.
  static WatchEvents events;
  // The capture part reads the foreground window the watcher uses too; when
  // it found the game window gone, the watcher hears of it.
  if (!capturetick()) {
    gamewindowgone(events);
    routewatch(events);
    serverlive();
    return;
  }
  watchstep(events);
  routewatch(events);
  livetick();
  // The page server hears what changed once the files are written.
  serverlive();
}

void mainwindestroy() { endnow(AskOrDiscard); }
