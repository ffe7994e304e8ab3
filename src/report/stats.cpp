// stats.html and rounds.csv from a round history.  Both files are written
// through one fixed output buffer into a temporary beside the file, which
// replaces the file only when everything reached the disk: a write that fails
// or comes short leaves the earlier file as it was.
#include "report/stats.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/textfile.h"
#include "kesto.h"
#include "report/cp932.h"
#include "report/mkhtm.h"

#define OUTSIZE 65536
#define ESC(size) (6 * (size) + 1)  // an escaped text: at most six bytes a byte

// ---- output ------------------------------------------------------------------

static struct {
  Replacement r;
  char buf[OUTSIZE];
  int32_t n;
} gout;

static void flush() {
  if (gout.n == 0) return;
  replacewrite(&gout.r, gout.buf, (uint32_t)gout.n);
  gout.n = 0;
}

static void put(const char* s, size_t n) {
  while (n > 0) {
    if (gout.n == OUTSIZE) flush();
    size_t k = OUTSIZE - (size_t)gout.n;
    if (k > n) k = n;
    memcpy(gout.buf + gout.n, s, k);
    gout.n += (int32_t)k;
    s += k;
    n -= k;
  }
}

static void puts0(const char* s) { put(s, strlen(s)); }

static void putf(const char* fmt, ...) {
  char b[2048];
  va_list ap;
  va_start(ap, fmt);
  int n = vsnprintf(b, sizeof b, fmt, ap);
  va_end(ap);
  if (n < 0) return;
  if (n > (int)sizeof b - 1) n = (int)sizeof b - 1;
  put(b, (size_t)n);
}

static bool openout(const char* path, uint32_t* error) {
  gout.n = 0;
  if (beginreplace(&gout.r, path)) return true;
  if (error) *error = gout.r.error;
  return false;
}

// 1 when everything reached the file, which then replaces the earlier one;
// 0 with *error, the earlier file untouched.
static int32_t closeout(uint32_t* error) {
  flush();
  if (endreplace(&gout.r, 1)) return 1;
  if (error) *error = gout.r.error;
  return 0;
}

// A number of tenths or hundredths as text ("12.3", "4.56").
struct Num {
  char t[32];
};
static Num tenths(int64_t v) {
  Num n;
  snprintf(n.t, sizeof n.t, "%s%lld.%lld", v < 0 ? "-" : "", (long long)((v < 0 ? -v : v) / 10),
           (long long)((v < 0 ? -v : v) % 10));
  return n;
}
// a / b in hundredths, rounded (a, b >= 0, b > 0).
static Num hundredths(int64_t a, int64_t b) {
  int64_t v = (2 * a + b) / (2 * b);
  Num n;
  snprintf(n.t, sizeof n.t, "%lld.%02lld", (long long)(v / 100), (long long)(v % 100));
  return n;
}

// ---- figures -------------------------------------------------------------------

void fmtsigned(char* buf, int32_t n, int64_t sum, int32_t count) {
  int64_t neg = sum < 0;
  int64_t a = neg ? -sum : sum;
  int64_t tenths = (20 * a + count) / (2 * (int64_t)count);  // half away from zero
  if (tenths == 0)
    snprintf(buf, n, "0.0");
  else
    snprintf(buf, n, "%c%lld.%lld", neg ? '-' : '+', (long long)(tenths / 10), (long long)(tenths % 10));
}

// An average without a sign, one decimal.
static void fmtplain(char* buf, int32_t n, int64_t sum, int32_t count) {
  int64_t tenths = (20 * sum + count) / (2 * (int64_t)count);
  snprintf(buf, n, "%lld.%lld", (long long)(tenths / 10), (long long)(tenths % 10));
}

static bool growarray(void** a, int32_t* cap, int32_t need, size_t size) {
  if (need <= *cap) return true;
  int32_t n = *cap ? *cap * 2 : 16;
  if (n < need) n = need;
  void* p = realloc(*a, (size_t)n * size);
  if (!p) return false;
  *a = p;
  *cap = n;
  return true;
}

static PlayerFigures* playerof(StatsFigures& f, const char* name) {
  for (int32_t i = 0; i < f.nplayers; i++)
    if (strcmp(f.players[i].name, name) == 0) return &f.players[i];
  if (!growarray((void**)&f.players, &f.playercap, f.nplayers + 1, sizeof(PlayerFigures))) return nullptr;
  PlayerFigures& p = f.players[f.nplayers++];
  memset(&p, 0, sizeof p);
  memcpy(p.name, name, sizeof p.name);
  p.best = -1;
  p.first = f.nplayers - 1;
  return &p;
}

static CourseFigures* courseof(StatsFigures& f, const char* name) {
  for (int32_t i = 0; i < f.ncourses; i++)
    if (strcmp(f.courses[i].name, name) == 0) return &f.courses[i];
  if (!growarray((void**)&f.courses, &f.coursecap, f.ncourses + 1, sizeof(CourseFigures))) return nullptr;
  CourseFigures& c = f.courses[f.ncourses++];
  memset(&c, 0, sizeof c);
  memcpy(c.name, name, sizeof c.name);
  c.best = -1;
  return &c;
}

void statsfree(StatsFigures& f) {
  free(f.players);
  free(f.courses);
  memset(&f, 0, sizeof f);
}

int32_t statsfigures(const RoundHistory& h, StatsFigures& f) {
  memset(&f, 0, sizeof f);
  for (int32_t i = 0; i < h.count; i++) {
    const RoundGame& g = h.games[i];
    for (int32_t p = 1; p <= g.players; p++) {
      RoundRow r = roundrow(g, p);
      if (r.holes == 0) continue;
      PlayerFigures* pf = playerof(f, g.name[p - 1]);
      CourseFigures* cf = courseof(f, g.course);
      if (!pf || !cf) return 0;
      f.rounds++;
      pf->rounds++;
      cf->rounds++;
      cf->last = i;  // the games are in date order
      if (r.full) {
        int32_t d = r.strokes - r.par;
        pf->full++;
        pf->strokes += r.strokes;
        pf->topar += d;
        // Ties keep the earlier round.
        if (pf->best < 0 || d < pf->besttopar || (d == pf->besttopar && r.strokes < pf->beststrokes)) {
          pf->best = i;
          pf->besttopar = d;
          pf->beststrokes = r.strokes;
        }
        cf->full++;
        cf->topar += d;
        if (cf->best < 0 || d < cf->besttopar || (d == cf->besttopar && r.strokes < cf->beststrokes)) {
          cf->best = i;
          cf->bestplayer = p;
          cf->besttopar = d;
          cf->beststrokes = r.strokes;
        }
      } else {
        pf->other++;
      }
      for (int32_t k = 0; k < 18; k++) {
        int32_t s = g.stroke[p - 1][k], par = g.par[k];
        if (s == 0 || par == 0) continue;
        int32_t d = s - par;
        pf->results[d <= -2 ? EAGLE : d == -1 ? BIRDIE : d == 0 ? PARHOLE : d == 1 ? BOGEY : DOUBLE]++;
        if (par >= 3 && par <= 5) {
          pf->partopar[par - 3] += d;
          pf->parholes[par - 3]++;
        }
        cf->holetopar[k] += d;
        cf->holeplays[k]++;
      }
    }
  }
  return 1;
}

// ---- rounds.csv ----------------------------------------------------------------

// A Shift-JIS field as a CSV field.
static void csvtext(const char* sjis, int32_t size) {
  char u[3 * 104 + 1], q[2 * sizeof u + 3];
  sjistoutf8(u, sizeof u, sjis, size);
  csvfield(q, sizeof q, u);
  puts0(q);
}

int32_t writeroundscsv(const RoundHistory& h, const char* path, uint32_t* error) {
  if (!openout(path, error)) return 0;
  puts0("\xEF\xBB\xBF" "start,date,time,course,kind,player,holes,strokes,par,to_par");
  for (int32_t k = 1; k <= 18; k++) putf(",h%d", k);
  puts0("\r\n");
  for (int32_t i = 0; i < h.count; i++) {
    const RoundGame& g = h.games[i];
    for (int32_t p = 1; p <= g.players; p++) {
      RoundRow r = roundrow(g, p);
      if (r.holes == 0) continue;
      csvtext(g.start, sizeof g.start);
      if (g.date) putf(",%04d-%02d-%02d", g.date / 10000, g.date / 100 % 100, g.date % 100);
      else puts0(",");
      if (g.time >= 0) putf(",%02d:%02d,", g.time / 100, g.time % 100);
      else puts0(",,");
      csvtext(g.course, sizeof g.course);
      puts0(g.pointbattle ? ",pointbattle," : ",stroke,");
      csvtext(g.name[p - 1], sizeof g.name[0]);
      putf(",%d,%d", r.holes, r.strokes);
      if (r.par >= 0) putf(",%d,%d", r.par, r.strokes - r.par);
      else puts0(",,");
      for (int32_t k = 0; k < 18; k++) {
        if (g.stroke[p - 1][k]) putf(",%d", g.stroke[p - 1][k]);
        else puts0(",");
      }
      puts0("\r\n");
    }
  }
  return closeout(error);
}

// ---- stats.html ----------------------------------------------------------------

static const char kstyle[] =
    "<style>\r\n"
    "body{font-family:sans-serif;margin:8px;max-width:960px;overflow-wrap:anywhere}\r\n"
    "h1{font-size:1.4em}h2{font-size:1.15em;margin-top:1.2em;border-bottom:1px solid #999}\r\n"
    "table{border-collapse:collapse;margin:4px 0 12px;max-width:100%}\r\n"
    "th,td{border:1px solid #999;padding:2px 4px;text-align:right;vertical-align:top}\r\n"
    "th{background:#eee;font-weight:normal}\r\n"
    ".t{text-align:left;overflow-wrap:anywhere}\r\n"
    ".n{white-space:nowrap}\r\n"
    ".bar{display:flex;height:10px;width:100%;margin:2px 0}\r\n"
    ".bar span{display:block;height:10px}\r\n"
    "svg{width:100%;height:auto;max-width:720px;display:block}\r\n"
    ".small{font-size:85%}\r\n"
    "</style>\r\n";

// Colours of the hole results, like the scorecard's: under par red, over par blue.
static const char* const kresultcolour[RESULTS] = {"#800000", "#CC0000", "#888888", "#6666FF", "#0000CC"};
static const char* const kresultname[RESULTS] = {"イーグル以上", "バーディ", "パー", "ボギー", "ダブルボギー以上"};
static const char* const kchartcolour[CHARTPLAYERS] = {"#CC0000", "#0000CC", "#008000", "#B03000", "#8000C0", "#008080"};

// Puts a Shift-JIS field escaped.
static void puttext(const char* s, int32_t size) {
  static char e[ESC(PATHSIZE)];
  htmlescape(e, sizeof e, s, size);
  puts0(e);
}

static void putdate(const RoundGame& g) {
  if (g.date)
    putf("%04d-%02d-%02d", g.date / 10000, g.date / 100 % 100, g.date % 100);
  else
    puttext(g.start, sizeof g.start);
}

// A whole number against par: "+4", "0", "-2".
static void putdiff(int32_t d) {
  if (d == 0) puts0("0");
  else putf("%+d", d);
}

static void putsigned(int64_t sum, int32_t count) {
  char b[32];
  fmtsigned(b, sizeof b, sum, count);
  puts0(b);
}

static void logsection(const RoundHistory& h, int32_t games, int32_t rounds) {
  puts0("<h2>読んだログ</h2>\r\n<ul class=\"small\">\r\n");
  for (int32_t i = 0; i < h.nlogs; i++) {
    const RoundLog& l = h.logs[i];
    puts0("<li class=\"t\">");
    puttext(l.path, sizeof l.path);
    switch (l.status) {
      case ROUNDLOG_READ:
        putf(" : %d ゲーム (新しいもの %d)", l.games, l.added);
        break;
      case ROUNDLOG_TOOBIG:
        putf(" : 読みませんでした (%lu バイト、4 MiB 以上のログは読みません)", (unsigned long)l.size);
        break;
      case ROUNDLOG_NOMEMORY:
        putf(" : メモリが足りず、途中までしか集計していません (%d ゲーム)", l.games);
        break;
      default:
        puts0(" : 読めませんでした");
        break;
    }
    puts0("</li>\r\n");
  }
  puts0("</ul>\r\n");
  putf("<p>ゲーム %d、ラウンド %d (ひとりの 1 ゲームを 1 ラウンドと数えます)</p>\r\n", games, rounds);
}

static void playersection(const RoundHistory& h, const StatsFigures& f) {
  puts0("<h2>プレイヤー別</h2>\r\n");
  puts0("<p class=\"small\">18 ホールのラウンド (パーの分かるコース) の平均。短いゲームとパーの分からないラウンドは"
        "「その他」に数えます。</p>\r\n");
  puts0("<table>\r\n<tr><th class=\"t\">プレイヤー</th><th>18H</th><th>平均打数</th><th>平均パー比</th>"
        "<th>その他</th></tr>\r\n");
  char b[32];
  for (int32_t i = 0; i < f.nplayers; i++) {
    const PlayerFigures& p = f.players[i];
    puts0("<tr><td class=\"t\">");
    puttext(p.name, sizeof p.name);
    putf("</td><td>%d</td>", p.full);
    if (p.full) {
      fmtplain(b, sizeof b, p.strokes, p.full);
      putf("<td>%s</td><td>", b);
      putsigned(p.topar, p.full);
      puts0("</td>");
    } else {
      puts0("<td>-</td><td>-</td>");
    }
    putf("<td>%d</td></tr>\r\n", p.other);
  }
  puts0("</table>\r\n");
  puts0("<table>\r\n<tr><th class=\"t\">プレイヤー</th><th class=\"t\">ベストラウンド</th></tr>\r\n");
  for (int32_t i = 0; i < f.nplayers; i++) {
    const PlayerFigures& p = f.players[i];
    if (p.best < 0) continue;
    const RoundGame& g = h.games[p.best];
    puts0("<tr><td class=\"t\">");
    puttext(p.name, sizeof p.name);
    putf("</td><td class=\"t\">%d (", p.beststrokes);
    putdiff(p.besttopar);
    puts0(") ");
    puttext(g.course, sizeof g.course);
    puts0(" ");
    putdate(g);
    puts0("</td></tr>\r\n");
  }
  puts0("</table>\r\n");
}

static void resultsection(const StatsFigures& f) {
  puts0("<h2>ホール別の結果</h2>\r\n<p class=\"small\">パーの分かるホールすべて。");
  for (int32_t k = 0; k < RESULTS; k++)
    putf("<span style=\"color:%s\">&#9632;</span>%s ", kresultcolour[k], kresultname[k]);
  puts0("</p>\r\n<table>\r\n<tr><th class=\"t\">プレイヤー</th>");
  for (int32_t k = 0; k < RESULTS; k++) putf("<th>%s</th>", kresultname[k]);
  puts0("</tr>\r\n");
  for (int32_t i = 0; i < f.nplayers; i++) {
    const PlayerFigures& p = f.players[i];
    int32_t all = 0;
    for (int32_t k = 0; k < RESULTS; k++) all += p.results[k];
    puts0("<tr><td class=\"t\">");
    puttext(p.name, sizeof p.name);
    puts0("</td>");
    for (int32_t k = 0; k < RESULTS; k++) {
      int64_t tenths = all ? ((int64_t)p.results[k] * 2000 + all) / (2 * (int64_t)all) : 0;
      putf("<td>%d<br><span class=\"small n\">%lld.%lld%%</span></td>", p.results[k], (long long)(tenths / 10),
           (long long)(tenths % 10));
    }
    puts0("</tr>\r\n");
    if (all) {
      putf("<tr><td colspan=\"%d\"><div class=\"bar\">", RESULTS + 1);
      for (int32_t k = 0; k < RESULTS; k++)
        if (p.results[k])
          putf("<span style=\"width:%s%%;background:%s\"></span>", hundredths((int64_t)p.results[k] * 10000, all).t,
               kresultcolour[k]);
      puts0("</div></td></tr>\r\n");
    }
  }
  puts0("</table>\r\n");

  puts0("<h2>パー3・パー4・パー5 の平均パー比</h2>\r\n<table>\r\n<tr><th class=\"t\">プレイヤー</th><th>パー3</th>"
        "<th>パー4</th><th>パー5</th></tr>\r\n");
  for (int32_t i = 0; i < f.nplayers; i++) {
    const PlayerFigures& p = f.players[i];
    puts0("<tr><td class=\"t\">");
    puttext(p.name, sizeof p.name);
    puts0("</td>");
    for (int32_t k = 0; k < 3; k++) {
      puts0("<td>");
      if (p.parholes[k]) putsigned(p.partopar[k], p.parholes[k]);
      else puts0("-");
      puts0("</td>");
    }
    puts0("</tr>\r\n");
  }
  puts0("</table>\r\n");
}

#define CHARTW 640
#define CHARTH 260
#define CHARTL 36  // room for the labels on the left
#define CHARTR 8
#define CHARTT 10
#define CHARTB 20

static void chartsection(const RoundHistory& h, const StatsFigures& f) {
  puts0("<h2>推移</h2>\r\n");
  // The players with the most 18-hole rounds; ties go to the one met first.
  int32_t pick[CHARTPLAYERS], npick = 0;
  for (int32_t n = 0; n < CHARTPLAYERS; n++) {
    int32_t bestp = -1;
    for (int32_t i = 0; i < f.nplayers; i++) {
      bool taken = false;
      for (int32_t j = 0; j < npick; j++) taken = taken || pick[j] == i;
      if (taken || f.players[i].full == 0) continue;
      if (bestp < 0 || f.players[i].full > f.players[bestp].full) bestp = i;
    }
    if (bestp < 0) break;
    pick[npick++] = bestp;
  }
  if (npick == 0) {
    puts0("<p>18 ホールのラウンド (パーの分かるコース) がまだありません。</p>\r\n");
    return;
  }
  // The x axis: the games that hold a round of a charted player, in date order.
  int32_t ngames = 0, lo = 0, hi = 0;
  for (int32_t i = 0; i < h.count; i++) {
    const RoundGame& g = h.games[i];
    bool any = false;
    for (int32_t p = 1; p <= g.players; p++) {
      RoundRow r = roundrow(g, p);
      if (!r.full) continue;
      for (int32_t j = 0; j < npick; j++)
        if (strcmp(f.players[pick[j]].name, g.name[p - 1]) == 0) {
          any = true;
          int32_t d = r.strokes - r.par;
          if (d < lo) lo = d;
          if (d > hi) hi = d;
        }
    }
    ngames += any;
  }
  if (lo == hi) hi = lo + 1;
  // Coordinates in tenths of a unit, worked out in integers so every
  // system writes the same page.
  const int64_t pw = 10 * (CHARTW - CHARTL - CHARTR), ph = 10 * (CHARTH - CHARTT - CHARTB);
  auto ypos = [&](int32_t d) { return tenths(10 * CHARTT + ph * (hi - d) / (hi - lo)); };
  putf("<svg id=\"trend\" viewBox=\"0 0 %d %d\" role=\"img\" aria-label=\"trend\">\r\n", CHARTW, CHARTH);
  putf("<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"#fafafa\" stroke=\"#999\"/>\r\n", CHARTL, CHARTT,
       (int)(pw / 10), (int)(ph / 10));
  putf("<line x1=\"%d\" y1=\"%s\" x2=\"%d\" y2=\"%s\" stroke=\"#888\" stroke-dasharray=\"4 3\"/>\r\n", CHARTL,
       ypos(0).t, CHARTW - CHARTR, ypos(0).t);
  // Labels sit 4 units below their line's height, at the left.
  auto label = [&](int32_t d, const char* text) {
    putf("<text x=\"%d\" y=\"%s\" font-size=\"16\" text-anchor=\"end\">%s</text>\r\n", CHARTL - 4,
         tenths(10 * CHARTT + ph * (hi - d) / (hi - lo) + 40).t, text);
  };
  char b[16];
  snprintf(b, sizeof b, "%+d", hi);
  label(hi, b);
  label(0, "0");
  snprintf(b, sizeof b, "%+d", lo);
  label(lo, b);
  putf("<text x=\"%d\" y=\"%d\" font-size=\"16\">1</text>\r\n", CHARTL, CHARTH - 4);
  putf("<text x=\"%d\" y=\"%d\" font-size=\"16\" text-anchor=\"end\">%d</text>\r\n", CHARTW - CHARTR, CHARTH - 4,
       ngames);
  for (int32_t j = 0; j < npick; j++) {
    const PlayerFigures& pf = f.players[pick[j]];
    putf("<polyline class=\"trend-line\" data-rounds=\"%d\" fill=\"none\" stroke=\"%s\" stroke-width=\"1.5\" "
         "points=\"",
         pf.full, kchartcolour[j]);
    int32_t x = 0;
    for (int32_t i = 0; i < h.count; i++) {
      const RoundGame& g = h.games[i];
      bool any = false;
      for (int32_t p = 1; p <= g.players; p++) {
        RoundRow r = roundrow(g, p);
        if (!r.full) continue;
        bool charted = false;
        for (int32_t k = 0; k < npick; k++) charted = charted || strcmp(f.players[pick[k]].name, g.name[p - 1]) == 0;
        any = any || charted;
        // A player twice in one game (two players of one name) gives two points.
        if (strcmp(pf.name, g.name[p - 1]) == 0) {
          int64_t xx = 10 * CHARTL + (ngames > 1 ? pw * x / (ngames - 1) : pw / 2);
          putf("%s,%s ", tenths(xx).t, ypos(r.strokes - r.par).t);
        }
      }
      x += any;
    }
    puts0("\"/>\r\n");
  }
  puts0("</svg>\r\n<p class=\"small\">");
  for (int32_t j = 0; j < npick; j++) {
    putf("<span style=\"color:%s\">&#9632;</span> ", kchartcolour[j]);
    puttext(f.players[pick[j]].name, sizeof f.players[0].name);
    putf(" (%d) ", f.players[pick[j]].full);
  }
  puts0("<br>18 ホールのラウンドのパー比を日付の順に。");
  if (f.nplayers > npick) putf("ラウンドの多い %d 人を表示しています。", npick);
  puts0("</p>\r\n");
}

static void coursesection(const RoundHistory& h, const StatsFigures& f) {
  puts0("<h2>コース別</h2>\r\n<table>\r\n<tr><th class=\"t\">コース</th><th>ラウンド</th><th class=\"t\">ベスト</th>"
        "<th>平均パー比</th><th>最終プレイ</th></tr>\r\n");
  for (int32_t i = 0; i < f.ncourses; i++) {
    const CourseFigures& c = f.courses[i];
    puts0("<tr><td class=\"t\">");
    puttext(c.name, sizeof c.name);
    putf("</td><td>%d</td><td class=\"t\">", c.rounds);
    if (c.best >= 0) {
      const RoundGame& g = h.games[c.best];
      putf("%d (", c.beststrokes);
      putdiff(c.besttopar);
      puts0(") ");
      puttext(g.name[c.bestplayer - 1], sizeof g.name[0]);
    } else {
      puts0("-");
    }
    puts0("</td><td>");
    if (c.full) putsigned(c.topar, c.full);
    else puts0("-");
    puts0("</td><td>");
    putdate(h.games[c.last]);
    puts0("</td></tr>\r\n");
    // The hardest and easiest holes, from two rounds on.
    int32_t hard = -1, easy = -1;
    for (int32_t k = 0; k < 18; k++) {
      if (c.holeplays[k] < 2) continue;
      int64_t a = (int64_t)c.holetopar[k], an = c.holeplays[k];
      if (hard < 0 || a * c.holeplays[hard] > (int64_t)c.holetopar[hard] * an) hard = k;
      if (easy < 0 || a * c.holeplays[easy] < (int64_t)c.holetopar[easy] * an) easy = k;
    }
    if (hard >= 0) {
      putf("<tr><td class=\"t small\" colspan=\"5\">難しいホール %d (", hard + 1);
      putsigned(c.holetopar[hard], c.holeplays[hard]);
      putf(")、易しいホール %d (", easy + 1);
      putsigned(c.holetopar[easy], c.holeplays[easy]);
      puts0(")</td></tr>\r\n");
    }
  }
  puts0("</table>\r\n");
}

// Players with the most 18-hole rounds first, then the most rounds; ties
// in the order they were met.
static int cmpplayers(const void* pa, const void* pb) {
  const PlayerFigures& a = *(const PlayerFigures*)pa;
  const PlayerFigures& b = *(const PlayerFigures*)pb;
  if (a.full != b.full) return a.full > b.full ? -1 : 1;
  if (a.rounds != b.rounds) return a.rounds > b.rounds ? -1 : 1;
  return a.first < b.first ? -1 : a.first > b.first ? 1 : 0;
}

int32_t writestatspage(const RoundHistory& h, const char* path, uint32_t* error) {
  StatsFigures f;
  if (!statsfigures(h, f)) {
    statsfree(f);
    if (error) *error = OS_ERROR_NOT_ENOUGH_MEMORY;
    return 0;
  }
  if (f.nplayers > 1) qsort(f.players, (size_t)f.nplayers, sizeof(PlayerFigures), cmpplayers);
  if (!openout(path, error)) {
    statsfree(f);
    return 0;
  }
  puts0("<!DOCTYPE html>\r\n<html lang=\"ja\">\r\n<head>\r\n");
  puts0("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\r\n");
  puts0("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\r\n");
  puts0("<title>成績集計</title>\r\n");
  puts0(kstyle);
  puts0("</head>\r\n<body>\r\n<h1>成績集計</h1>\r\n");
  logsection(h, h.count, f.rounds);
  playersection(h, f);
  resultsection(f);
  chartsection(h, f);
  coursesection(h, f);
  puts0("<p class=\"small\">Created by <a href=\"" KESTO_HOMEPAGE "\">" KESTO_TITLE "</a></p>\r\n");
  puts0("</body>\r\n</html>\r\n");
  statsfree(f);
  return closeout(error);
}
