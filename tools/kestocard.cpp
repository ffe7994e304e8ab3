// kestocard: writes the scorecard page of play logs from the command line,
// the same page, under the same name, that "HTM作成" writes for a log.
//   kestocard [--courses golfcourse.txt] [--short yes|no] [--links] LOG...
// Pages go to the current folder; their names go to standard output, what
// the user would be told or asked (and the tool's answers) to standard error.
#include <cstdio>
#include <cstring>

#include "kesto.h"
#include "app/live.h"
#include "capture/burstapng.h"
#include "config/course.h"
#include "config/textfile.h"
#include "fileerror.h"
#include "os/console/console.h"
#include "report/htmflow.h"
#include "report/mkhtm.h"
#include "report/playlog.h"
#include "report/burstview.h"
#include "report/rounds.h"
#include "report/stats.h"

#define COURSEFILESIZE 65536  // golfcourse.txt is read this far, as at start-up

static const char kusage[] =
    "usage: kestocard [--courses golfcourse.txt] [--short yes|no] [--links] LOG...\n"
    "       kestocard --stats [--courses golfcourse.txt] LOG...\n"
    "       kestocard --live [--courses golfcourse.txt] LOG\n"
    "       kestocard --apng DIR\n"
    "       kestocard --viewer DIR...\n"
    "Writes the scorecard page of each play log (golf.txt or a saved copy) into the\n"
    "current folder, named log<year><month><day>_<hour><minute>.html after the log's\n"
    "last-write time: the same page that KESTO's \"HTM作成\" writes for that log.\n"
    "  --courses FILE  take names, pars and links of the courses from FILE, a\n"
    "                  golfcourse.txt, instead of the built-in table\n"
    "  --short yes|no  answer to \"show this game of fewer than 18 holes?\"\n"
    "                  (asked when the first game was a full one; default yes)\n"
    "  --links         also write linkcc.html, the links to the courses' pages\n"
    "  --stats         instead of pages, the statistics of every finished game\n"
    "                  of all the logs (each game once, however many logs hold\n"
    "                  it): stats.html and rounds.csv (UTF-8, for spreadsheets)\n"
    "                  in the current folder, as KESTO's \"成績集計\" writes them\n"
    "  --live          instead of a page, the live state at the end of the log\n"
    "                  as KESTO's streaming would hold it after following the\n"
    "                  whole log: one line of JSON (UTF-8) on standard output\n"
    "  --apng DIR      instead of pages, the animated PNG of the burst folder DIR\n"
    "                  (burst.png beside its frames, at their logged times; a\n"
    "                  burst whose frames change size gives burst_2.png, ...)\n"
    "  --viewer        instead of pages, index.html in each burst folder DIR:\n"
    "                  the page that plays its frames at their logged times, as\n"
    "                  KESTO writes it when a burst has been saved\n"
    "  --help          show this text\n"
    "The name of each page written goes to standard output; notices, questions\n"
    "and answers go to standard error.  The exit status is 0 when every page was\n"
    "written, 1 when a log could not be read, held no finished game to write or a\n"
    "page could not be written (the other logs are still done), 2 for wrong\n"
    "arguments.  With --stats it is 1 when a log was skipped (the files are still\n"
    "written from the others), no log held a finished game (nothing is written)\n"
    "or a file could not be written.\n";

static int gshortanswer = OS_IDYES;
static const char* gcurrentlog = "";

// Prints "kestocard: LOG: " and a Shift-JIS text on standard error.
static void complain(const char* log, const char* text) {
  conputs(2, "kestocard: ");
  if (log) {
    conputarg(2, log);
    conputs(2, ": ");
  }
  conputs(2, text);
  conputs(2, "\n");
}

// "HTM作成"'s notices and questions: printed, and the questions answered
// with --short.
static int cardask(const char* text, const char* caption, uint32_t type) {
  char line[256];
  snprintf(line, sizeof line, "%s: %s", caption, text);
  int answer = OS_IDOK;
  if ((type & 0xF) == OS_MB_YESNO) {
    answer = gshortanswer;
    size_t n = strlen(line);
    snprintf(line + n, sizeof line - n, " -> %s", answer == OS_IDYES ? "yes" : "no");
  }
  complain(gcurrentlog, line);
  return answer;
}

// The names of the pages written so far, to tell when a log's page replaces
// that of an earlier log of the same minute.
#define MAXPAGES 1024
static char gwritten[MAXPAGES][sizeof gkesto.page.name];
static int32_t gwrittencount;

// One log: 0 when its page was written, 1 when it was not.
static int onelog(const char* path) {
  gcurrentlog = path;
  OsHandle f = oscreatefile(path, OS_GENERIC_READ, OS_FILE_SHARE_READ | OS_FILE_SHARE_WRITE, OS_OPEN_EXISTING);
  if (f == OS_BADFILE || f == 0) {
    complain(path, "cannot open the log; nothing written for it");
    return 1;
  }
  uint32_t size = osgetfilesize(f);
  // The page depends on this log alone, as in a KESTO just started.
  memset(&gkesto.game, 0, sizeof gkesto.game);
  char text[160];
  int r = size == OS_INVALID_FILE_SIZE ? PLAYLOG_UNREADABLE : readplaylog(f, size);
  osclosehandle(f);
  if (r == PLAYLOG_TOOBIG) {
    snprintf(text, sizeof text,
             "the log is too large (%lu bytes; KESTO reads logs below 0x400000 = 4194304 bytes); nothing written "
             "for it",
             (unsigned long)size);
    complain(path, text);
    return 1;
  }
  if (r != PLAYLOG_OK) {
    complain(path, "cannot read the log; nothing written for it");
    return 1;
  }
  // A log with nothing to write has been told about by htmcreate.
  int32_t tables = htmcreate(cardask);
  if (tables == 0) return 1;
  if (tables < 0 || gkesto.page.failed) {
    snprintf(text, sizeof text, "cannot create the page %s", gkesto.page.name);
    complain(path, text);
    return 1;
  }
  for (int32_t i = 0; i < gwrittencount; i++)
    if (strcmp(gwritten[i], gkesto.page.name) == 0) {
      snprintf(text, sizeof text, "%s replaces the page of an earlier log last written in the same minute",
               gkesto.page.name);
      complain(path, text);
      break;
    }
  if (gwrittencount < MAXPAGES) strcpy(gwritten[gwrittencount++], gkesto.page.name);
  conputs(1, gkesto.page.name);
  conputs(1, "\n");
  return 0;
}

// --live: the log as the watcher's live buffer holds it, then the state as JSON.
static int live(const char* path) {
  OsHandle f = oscreatefile(path, OS_GENERIC_READ, OS_FILE_SHARE_READ | OS_FILE_SHARE_WRITE, OS_OPEN_EXISTING);
  if (f == OS_BADFILE || f == 0) {
    complain(path, "cannot open the log");
    return 1;
  }
  uint32_t size = osgetfilesize(f), got = 0, error = 0;
  int ok = size != OS_INVALID_FILE_SIZE && size < LOGBUFSIZE && readall(f, gkesto.livebuf, size, &got, &error);
  osclosehandle(f);
  if (!ok) {
    complain(path, size != OS_INVALID_FILE_SIZE && size >= LOGBUFSIZE
                       ? "the log is too large (KESTO follows logs below 0x400000 = 4194304 bytes)"
                       : "cannot read the log");
    return 1;
  }
  gkesto.livebuf[size] = 0;
  livefromlog((int32_t)size);
  static char json[16384];
  if (livejson(json, (int32_t)sizeof json) < 0) {
    complain(path, "the state does not fit its buffer");
    return 1;
  }
  conpututf8(1, json);
  conpututf8(1, "\n");
  return 0;
}

// --apng: the animated PNG of a burst folder, all its frames at once; the
// names of the files written (in that folder) go to standard output.
static int apng(const char* dir) {
  int r = apngjobbegin(dir);
  while (r == APNGJOB_MORE) r = apngjobstep(1000);
  const ApngJob& j = gapngjob;
  char name[APNGNAMESIZE], why[128], text[256];
  for (int32_t i = 1; i <= j.done; i++) {
    apngfilename(i, name, (int)sizeof name);
    conputs(1, name);
    conputs(1, "\n");
  }
  if (r == APNGJOB_DONE) {
    if (j.skipped) {
      snprintf(text, sizeof text, "%d of the %d frames of the log are missing or unreadable; left out",
               (int)j.skipped, (int)(j.skipped + j.usable));
      complain(dir, text);
    }
    return 0;
  }
  errorreason(j.error, why, (int)sizeof why);
  switch (j.fail) {
    case APNGFAIL_NOLOG: complain(dir, "no burst log (c<time>.txt) in the folder; nothing written"); break;
    case APNGFAIL_LOG: snprintf(text, sizeof text, "cannot read the burst log: %s", why); complain(dir, text); break;
    case APNGFAIL_NOFRAME: complain(dir, "no frame of the burst log can be read; nothing written"); break;
    case APNGFAIL_FRAME:
      snprintf(text, sizeof text, "cannot read the frame: %s; the animated PNG is not written", why);
      complain(j.file, text);
      break;
    default:
      snprintf(text, sizeof text, "cannot write the animated PNG: %s; no part of it is left", why);
      complain(j.file, text);
      break;
  }
  return 1;
}

// --stats: every log into one round history, then the page and the CSV.
static int stats(char** logs, int nlogs) {
  static RoundHistory h;
  int status = 0;
  char text[160];
  for (int i = 0; i < nlogs; i++) {
    int32_t r = roundsaddlog(h, logs[i]);
    const RoundLog& l = h.logs[h.nlogs - 1];
    if (r == ROUNDLOG_TOOBIG) {
      snprintf(text, sizeof text, "the log is too large (%lu bytes; logs below 0x400000 = 4194304 bytes are read); skipped",
               (unsigned long)l.size);
      complain(logs[i], text);
      status = 1;
    } else if (r == ROUNDLOG_UNREADABLE) {
      complain(logs[i], "cannot read the log; skipped");
      status = 1;
    } else if (r == ROUNDLOG_NOMEMORY) {
      complain(logs[i], "out of memory; the games read so far are counted");
      status = 1;
      break;
    }
  }
  if (h.count == 0) {
    complain(nullptr, "no finished game in the logs; nothing written");
    roundsfree(h);
    return 1;
  }
  roundssort(h);
  uint32_t error = 0;
  char why[96];
  if (writeroundscsv(h, STATSCSV, &error)) {
    conputs(1, STATSCSV "\n");
  } else {
    snprintf(why, sizeof why, "cannot write " STATSCSV " (error %u); an earlier one is kept", (unsigned)error);
    complain(nullptr, why);
    status = 1;
  }
  if (writestatspage(h, STATSPAGE, &error)) {
    conputs(1, STATSPAGE "\n");
  } else {
    snprintf(why, sizeof why, "cannot write " STATSPAGE " (error %u); an earlier one is kept", (unsigned)error);
    complain(nullptr, why);
    status = 1;
  }
  roundsfree(h);
  return status;
}

// --viewer: the viewer page of each burst folder.  1 when one was not
// written (no burst log, an unreadable log, a page that could not be made).
static int viewers(char** dirs, int ndirs) {
  int status = 0;
  for (int i = 0; i < ndirs; i++) {
    ViewerResult r;
    int got = writeburstviewer(dirs[i], &r);
    char b[160];
    if (got == VIEWER_WRITTEN) {
      conputarg(1, r.path);
      conputs(1, "\n");
      snprintf(b, sizeof b, "%d frames, %d of them missing, %d damaged log lines", (int)r.frames,
               (int)r.missing, (int)r.damaged);
      complain(dirs[i], b);
      continue;
    }
    status = 1;
    if (got == VIEWER_NOLOG)
      snprintf(b, sizeof b, "no burst log (c<hhmm>_<ss>_<ms>.txt) in this folder; nothing written");
    else if (got == VIEWER_UNREAD)
      snprintf(b, sizeof b, "cannot read the burst log (error %u); nothing written", (unsigned)r.error);
    else
      snprintf(b, sizeof b, "cannot write " VIEWERNAME " (error %u); an earlier one is kept", (unsigned)r.error);
    complain(dirs[i], b);
  }
  return status;
}

static int usage(const char* why) {
  if (why) complain(nullptr, why);
  conputs(2, kusage);
  return 2;
}

int conmain(int argc, char** argv) {
  const char* courses = nullptr;
  bool links = false, statsmode = false, livemode = false, viewermode = false;
  const char* apngdir = nullptr;
  // Options may come anywhere; the logs are gathered at the front of argv.
  int nlogs = 0;
  bool optionsdone = false;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    if (optionsdone || a[0] != '-' || !a[1]) {
      argv[nlogs++] = argv[i];
    } else if (strcmp(a, "--") == 0) {
      optionsdone = true;
    } else if (strcmp(a, "--help") == 0 || strcmp(a, "-h") == 0) {
      conputs(1, kusage);
      return 0;
    } else if (strcmp(a, "--courses") == 0) {
      if (++i >= argc) return usage("--courses needs a file");
      courses = argv[i];
    } else if (strcmp(a, "--short") == 0) {
      if (++i >= argc) return usage("--short needs yes or no");
      if (strcmp(argv[i], "yes") == 0)
        gshortanswer = OS_IDYES;
      else if (strcmp(argv[i], "no") == 0)
        gshortanswer = OS_IDNO;
      else
        return usage("--short takes yes or no");
    } else if (strcmp(a, "--links") == 0) {
      links = true;
    } else if (strcmp(a, "--stats") == 0) {
      statsmode = true;
    } else if (strcmp(a, "--live") == 0) {
      livemode = true;
    } else if (strcmp(a, "--apng") == 0) {
      if (++i >= argc) return usage("--apng needs a burst folder");
      apngdir = argv[i];
    } else if (strcmp(a, "--viewer") == 0) {
      viewermode = true;
    } else {
      char b[96];
      snprintf(b, sizeof b, "unknown option %.60s", a);
      return usage(b);
    }
  }
  if (apngdir) {
    if (nlogs || statsmode || livemode || links || courses || viewermode)
      return usage("--apng takes one folder and nothing else");
    return apng(apngdir);
  }
  if (viewermode) {
    if (nlogs == 0 || statsmode || links || livemode || courses) return usage("--viewer takes burst folders only");
    return viewers(argv, nlogs);
  }
  if (nlogs == 0 && (!links || statsmode)) return usage("no log given");

  initcourses();
  if (courses) {
    static char text[COURSEFILESIZE + 1];
    uint32_t len = 0, error = 0;
    int r = readtextfile(courses, text, COURSEFILESIZE, &len, &error);
    if (r != TEXT_READ && r != TEXT_CUT) {
      complain(courses, "cannot read the course file");
      return 2;
    }
    if (parsecourses(text, (int32_t)len) == 0) complain(courses, "no \"COURSENO:\" line; the built-in courses stay");
  }

  int status = 0;
  if (livemode) {
    if (nlogs != 1 || statsmode || links) return usage("--live takes one log, without --stats or --links");
    return live(argv[0]);
  }
  if (statsmode)
    status = stats(argv, nlogs);
  else
    for (int i = 0; i < nlogs; i++) status |= onelog(argv[i]);
  if (links) {
    if (mklink(&gkesto) == 1) {
      conputs(1, "linkcc.html\n");
    } else {
      complain(nullptr, "cannot create linkcc.html");
      status = 1;
    }
  }
  return status;
}
