// The game watcher.  Every timer-1 tick counts L up, and D while it is armed;
// the states look at the game about once every A ticks and wait B ticks
// where they must, A and B coming from the interval row in force, so the pace
// stays near one and three seconds at every burst speed.  A step writes no
// window field and shows no message: it lists what happened, in order, and
// the main window's tick applies the list.
#include "app/watch.h"

#include <cstdio>
#include <cstring>

#include "config/textfile.h"
#include "fileerror.h"
#include "kesto.h"
#include "res/resource.h"

#define GAMETITLE "ゴルフ漬け"
#define GAMETITLE2 "ゴルフ漬け 特盛り"
#define EDITIONTITLELEN 11   // a longer title is the edition's
#define WALKLIMIT 65534      // windows examined below the foreground window
#define SHOTSTATUS 3         // parseshot read a ShotData record
#define LINELIMITSTATUS 1000 // parseshot stopped at its line limit

// The list the step being run fills.
static WatchEvents* gev;

// A text kept with the list; "" when the list's text space is used up.
static const char* keeptext(const char* text) {
  WatchEvents& e = *gev;
  size_t n = strlen(text) + 1;
  if (n > sizeof e.texts - e.textused) {
    e.lost++;
    return "";
  }
  char* at = e.texts + e.textused;
  memcpy(at, text, n);
  e.textused += (uint32_t)n;
  return at;
}

static WatchEvent* addevent(WatchEventKind kind) {
  WatchEvents& e = *gev;
  if (e.count >= WATCHEVENTS) {
    e.lost++;
    return nullptr;
  }
  WatchEvent* ev = &e.ev[e.count++];
  memset(ev, 0, sizeof *ev);
  ev->kind = kind;
  return ev;
}

static void settext(int id, const char* text) {
  const char* t = keeptext(text);
  if (WatchEvent* ev = addevent(WatchFieldText)) {
    ev->id = id;
    ev->text = t;
  }
}

static void setnumber(int id, int32_t v, int sign) {
  if (WatchEvent* ev = addevent(WatchFieldNumber)) {
    ev->id = id;
    ev->value = v;
    ev->sign = sign;
  }
}

static void status(const char* text) { settext(IDC_STATUSLINE, text); }

static void shownumber(int id, uint32_t v) { setnumber(id, (int32_t)v, 0); }

static void happened(WatchEventKind kind) { addevent(kind); }

// A message for the user: shown by the tick once the fields before it are.
static void errorbox(const char* text, const char* caption) {
  const char* t = keeptext(text);
  const char* c = keeptext(caption);
  if (WatchEvent* ev = addevent(WatchMessage)) {
    ev->text = t;
    ev->caption = c;
    ev->type = OS_MB_ICONERROR;
  }
}

static bool isgametitle(const char* t) { return strcmp(t, GAMETITLE) == 0 || strcmp(t, GAMETITLE2) == 0; }

int findgamewin() {
  WatchState& ws = gkesto.mw.watch;
  char title[512];
  OsWin w = gkesto.mw.foreground;
  for (int32_t n = 0; n < WALKLIMIT; n++) {
    w = osgetwindow(w, OS_GW_HWNDNEXT);
    if (!w) return 0;
    title[0] = 0;
    osgetwindowtext(w, title, sizeof title);
    if (isgametitle(title)) {
      sjiscopy(ws.title, sizeof ws.title, title);
      gkesto.mw.foreground = w;
      ws.edition = strlen(title) > EDITIONTITLELEN;
      return 1;
    }
  }
  return 0;
}

// Opens golf.txt for reading while the game writes it.  Read and write access
// as the game's own tools ask for it; when the game holds the file without
// write sharing that open fails, and read access alone still gets in.
static OsHandle openlogshared(uint32_t access) {
  const char* path = gkesto.set.gamelog;
  uint32_t share = OS_FILE_SHARE_READ | OS_FILE_SHARE_WRITE;
  OsHandle f = oscreatefile(path, access, share, OS_OPEN_EXISTING);
  if (f == OS_BADFILE && (access & OS_GENERIC_WRITE))
    f = oscreatefile(path, OS_GENERIC_READ, share, OS_OPEN_EXISTING);
  return f;
}

// Reads golf.txt whole into the live buffer at offset 0 and puts a zero byte
// after it, read after read until the size taken when it was opened is in.
// Returns the number of bytes read; -1 when the file cannot be opened or
// does not fit the buffer (nothing is read then); -2 when it could not be
// read whole (*error says why; what was read is in the buffer all the same).
static int32_t readwhole(uint32_t* error) {
  OsHandle f = openlogshared(OS_GENERIC_READ | OS_GENERIC_WRITE);
  if (f == OS_BADFILE) return -1;
  uint32_t size = osgetfilesize(f);
  int32_t result = -1;
  if (size != OS_INVALID_FILE_SIZE && size < LOGBUFSIZE) {
    uint32_t got = 0;
    result = readall(f, gkesto.livebuf, size, &got, error) ? (int32_t)got : -2;
    gkesto.livebuf[got] = 0;
  }
  osclosehandle(f);
  return result;
}

// The 4 MiB limit: the file and its terminating zero must fit the live buffer.
static void toolarge(uint32_t size) {
  char b[64];
  status("これ以上監視できません。KESTO を終了してください");
  snprintf(b, sizeof b, "golf.txt = %d, >= 4194304 !", (int)size);
  errorbox(b, "Open error");
}

// golfwatch.txt in the program folder: a copy of golf.txt as it is now,
// made only from the whole file.
static void keepcopy() {
  char path[PATHSIZE + 16];
  snprintf(path, sizeof path, "%s\\golfwatch.txt", gkesto.set.home);
  int ok = 0;
  uint32_t error = 0;
  int32_t len = readwhole(&error);
  if (len == -2) {
    // A part of the log is no copy of it.
    char b[1024];
    failuretext(b, (int)sizeof b, "ゲームのログ golf.txt を最後まで読めなかったため、golfwatch.txt を保存しませんでした",
                gkesto.set.gamelog, error, "前の golfwatch.txt は変更していません。");
    errorbox(b, "Write error");
    return;
  }
  // The copy replaces the old one whole: a failure leaves it as it was.
  if (len >= 0) {
    ok = replacefile(path, gkesto.livebuf, (uint32_t)len, &error);
  } else {
    // Larger than the live buffer, or not readable through it: the system
    // copies the file itself.
    ok = replacebycopy(gkesto.set.gamelog, path, &error);
  }
  if (!ok) {
    char b[1024];
    failuretext(b, (int)sizeof b, "ゲームのログのコピー golfwatch.txt を保存できませんでした", path, error,
                "前の golfwatch.txt は変更していません。");
    errorbox(b, "Write error");
  } else {
    happened(WatchLogCopied);
  }
}

static void seekgame(const IntervalRow& pace) {
  WatchState& ws = gkesto.mw.watch;
  if (ws.ticks < pace.ticks1s) return;
  ws.ticks = 0;
  ws.delay = 0;
  if (ws.following) return;
  OsWin fg = gkesto.mw.foreground;
  ws.title[0] = 0;
  osgetwindowtext(fg, ws.title, sizeof ws.title);
  settext(IDC_WINTITLE, ws.title);
  if (fg && isgametitle(ws.title)) {
    ws.gamewin = fg;
    ws.edition = strlen(ws.title) > EDITIONTITLELEN;
    ws.delay = 1;
    ws.state = GameFound;
    return;
  }
  if (findgamewin()) {
    ws.gamewin = gkesto.mw.foreground;
    ws.delay = 1;
    ws.state = GameFound;
    settext(IDC_WINTITLE, ws.title);
  }
}

static void gamefound(const IntervalRow& pace) {
  WatchState& ws = gkesto.mw.watch;
  if (ws.delay < pace.ticks3s) return;
  ws.delay = 0;
  uint32_t size = osgetcompressedfilesize(gkesto.set.gamelog);
  if (size == 0 || size == OS_INVALID_FILE_SIZE) {
    happened(WatchStopTicks);
    status("KESTO を終了してください");
    errorbox("ゴルフ漬け　ログファイル golf.txt が見つかりません　１", "Open error");
    ws.state = WatchIdle;
    return;
  }
  ws.following = 1;
  ws.state = FollowLog;
  ws.ticks = 0;
  ws.logsize = size;
  shownumber(IDC_LOGSIZE, size);
  status("golf.txt 監視中");
  WatchEvent* started = addevent(WatchGameStarted);
  if (started) started->value = (int32_t)size;
  // What is in the file now is never shown: following starts at its end.
  ws.readpos = size;
  if (size >= LOGBUFSIZE) {
    // Too large to mirror: refused as the follow step refuses it, and
    // refused again at every follow step after 停止 and スタート.
    happened(WatchStopTicks);
    toolarge(size);
    return;
  }
  // Only what the game appends from now on is shown as a shot; the game so
  // far is read for the live board when the buffer holds it whole.
  uint32_t error = 0;
  if (readwhole(&error) == (int32_t)size && started) started->sign = 1;
}

// The game window has no title any more: the game has ended.
static void gameended() {
  WatchState& ws = gkesto.mw.watch;
  happened(WatchStopTicks);
  status(ws.edition ? "ゴルフ漬け 特盛り が終了しました" : "ゴルフ漬け が終了しました");
  ws.edition = 0;
  happened(WatchGameEnded);
  keepcopy();
  ws.delay = 1;
  ws.state = GameEnded;
  ws.following = 0;
  ws.gamewin = 0;
  happened(WatchStartTicks);
}

// Reads what the game appended since the last read and shows its last shot.
// Returns 0 when the step ends early (a failure of step 3), else 1.
static int follownew(const IntervalRow& pace) {
  WatchState& ws = gkesto.mw.watch;
  OsHandle f = openlogshared(OS_GENERIC_READ);
  if (f == OS_BADFILE) {
    setnumber(IDC_STATUS, 1001, 0);
    ws.ticks = pace.backoff;
    return 0;
  }
  uint32_t size = osgetfilesize(f);
  uint32_t from = ws.readpos;
  uint32_t got = 0;
  if (size != OS_INVALID_FILE_SIZE && size > from) {
    // The file may have grown since its size was asked: never past the
    // buffer's last byte, which holds the terminating zero.
    uint32_t to = size < LOGBUFSIZE - 1 ? size : LOGBUFSIZE - 1;
    if (to > from && ossetfilepointer(f, from) && osreadfile(f, gkesto.livebuf + from, to - from, &got)) {
      gkesto.livebuf[from + got] = 0;
    } else {
      got = 0;
    }
  }
  osclosehandle(f);
  ws.newsize = from + got;
  if (got == 0) {
    setnumber(IDC_STATUS, 1002, 0);
    ws.ticks = pace.ticks1s;
    shownumber(IDC_LOGSIZE, size == OS_INVALID_FILE_SIZE ? from : size);
    shownumber(IDC_PREVSIZE, from);
    return 0;
  }
  ws.logsize = ws.newsize;
  shownumber(IDC_LOGSIZE, ws.newsize);
  shownumber(IDC_PREVSIZE, from);
  // The game may be caught in the middle of writing a record: what it has not
  // finished is left for the next read, so a shot is never shown half read.
  uint32_t end = (uint32_t)shotstretchend(gkesto.livebuf, (int32_t)from, (int32_t)ws.newsize);
  if (end == from) return 1;
  // Every record of the stretch is a shot of its own; the main window shows
  // the state after the whole stretch, as the last of them carries.
  static StretchShots recs;
  int32_t st = parseshots(gkesto.shot, recs, gkesto.livebuf, (int32_t)from, (int32_t)end);
  if (st == SHOTSTATUS) {
    int32_t first = recs.count > STRETCHSHOTS ? recs.count - STRETCHSHOTS : 0;
    for (int32_t i = first; i < recs.count; i++) {
      WatchEvent* ev = addevent(WatchShot);
      if (!ev) continue;
      ev->shot = recs.shot[i % STRETCHSHOTS];
      if (i == recs.count - 1) {
        ev->value = 1;
        ev->shown = gkesto.shot;
      }
    }
  }
  setnumber(IDC_STATUS, st, 1);
  if (st == LINELIMITSTATUS) ws.ticks = 2 * pace.backoff;
  setnumber(IDC_PLAYER, gkesto.shot.player, 1);
  setnumber(IDC_HOLE, gkesto.shot.hole, 1);
  ws.readpos = end;
  if (WatchEvent* ev = addevent(WatchLogRead)) ev->value = (int32_t)end;
  return 1;
}

static void followlog(const IntervalRow& pace) {
  WatchState& ws = gkesto.mw.watch;
  if (ws.ticks < pace.ticks1s) return;
  ws.ticks = 0;
  ws.title[0] = 0;
  if (osgetwindowtext(ws.gamewin, ws.title, sizeof ws.title) <= 0 || !ws.title[0]) {
    gameended();
    return;
  }
  if (!ws.following) return;
  uint32_t size = osgetcompressedfilesize(gkesto.set.gamelog);
  if (size == 0 || size == OS_INVALID_FILE_SIZE) {
    happened(WatchStopTicks);
    status("KESTO を終了してください");
    errorbox("ゴルフ漬け　ログファイル golf.txt が見つかりません　２", "Open error");
    ws.following = 0;
    ws.state = WatchIdle;
    return;
  }
  ws.newsize = size;
  if (size >= LOGBUFSIZE) {
    happened(WatchStopTicks);
    toolarge(size);
    return;
  }
  if (size > ws.readpos && !follownew(pace)) return;
  if (ws.resume) {
    status("golf.txt 監視中");
    ws.resume = 0;
  }
}

static void endedwait(const IntervalRow& pace) {
  WatchState& ws = gkesto.mw.watch;
  if (ws.delay < pace.ticks3s) return;
  ws.delay = 0;
  status("起動監視をスタートしました");
  ws.state = SeekGame;
  ws.delay = 0;
  ws.ticks = 0;
}

void gamewindowgone(WatchEvents& events) {
  events.count = 0;
  events.textused = 0;
  events.lost = 0;
  gev = &events;
  WatchState& ws = gkesto.mw.watch;
  ws.gamewin = 0;
  status(ws.edition ? "ゴルフ漬け 特盛り が終了しました" : "ゴルフ漬け が終了しました");
  ws.state = GameEnded;
  ws.delay = gkesto.mw.pace.ticks1s;
  ws.following = 0;
}

void watchstep(WatchEvents& events) {
  events.count = 0;
  events.textused = 0;
  events.lost = 0;
  gev = &events;
  WatchState& ws = gkesto.mw.watch;
  const IntervalRow& pace = gkesto.mw.pace;
  ws.ticks++;
  if (ws.delay != 0) ws.delay++;
  switch (ws.state) {
    case SeekGame: seekgame(pace); break;
    case GameFound: gamefound(pace); break;
    case FollowLog: followlog(pace); break;
    case GameEnded: endedwait(pace); break;
    case WatchIdle: break;
  }
}
