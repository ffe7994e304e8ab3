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

void fmtaverage(char* buf, int32_t n, int64_t sum, int32_t count, int32_t decimals, bool sign) {
  // The double nearest sum / count is m * 2^e exactly; it is rounded to
  // decimals places with ties to even, as glibc's printf does, in integers so
  // that every C library gives the same text.
  double v = (double)sum / (double)count;
  uint64_t bits;
  memcpy(&bits, &v, sizeof bits);
  bool neg = (bits >> 63) != 0;
  int32_t ex = (int32_t)((bits >> 52) & 0x7FF);
  uint64_t m = bits & ((UINT64_C(1) << 52) - 1);
  if (ex) m |= UINT64_C(1) << 52;
  else ex = 1;
  int32_t e = ex - 1075;
  uint64_t scale = decimals >= 2 ? 100 : 10;
  uint64_t q;
  if (e >= 0) {
    q = (m << e) * scale;  // |v| <= 2^63: no bits are lost before the scale
  } else if (-e >= 62) {
    q = 0;  // below a quarter of the last place
  } else {
    int32_t k = -e;
    uint64_t num = m * scale, rem = num & ((UINT64_C(1) << k) - 1), half = UINT64_C(1) << (k - 1);
    q = num >> k;
    if (rem > half || (rem == half && (q & 1))) q++;
  }
  snprintf(buf, (size_t)n, "%s%llu.%0*llu", neg ? "-" : sign ? "+" : "", (unsigned long long)(q / scale),
           decimals >= 2 ? 2 : 1, (unsigned long long)(q % scale));
}

void fmtsigned(char* buf, int32_t n, int64_t sum, int32_t count) { fmtaverage(buf, n, sum, count, 1, true); }

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

bool roundputts(const RoundGame& g, int32_t player, int32_t* putts, int32_t* oneputts, int32_t* threeputts,
                int32_t* greens) {
  int32_t n = 0, one = 0, three = 0, gir = 0, p = player - 1;
  for (int32_t k = 0; k < 18; k++) {
    int32_t s = g.stroke[p][k];
    if (s == 0) continue;
    if (g.shots[p][k] != s) return false;
    int32_t pt = g.putts[p][k], first = g.firstputt[p][k], par = g.par[k];
    n += pt;
    one += pt == 1;
    three += pt >= 3;
    if (par > 0 && (first ? first <= par - 1 : s <= par - 2)) gir++;
  }
  if (putts) *putts = n;
  if (oneputts) *oneputts = one;
  if (threeputts) *threeputts = three;
  if (greens) *greens = gir;
  return true;
}

PuttCheck puttcheck(const RoundHistory& h) {
  PuttCheck c = {0, 0, 0, 0, false};
  for (int32_t i = 0; i < h.count; i++) {
    const RoundGame& g = h.games[i];
    for (int32_t p = 0; p < g.players; p++)
      for (int32_t k = 0; k < 18; k++) {
        if (!g.shots[p][k]) continue;
        bool counted = g.shots[p][k] == g.stroke[p][k], holed = g.holedputt[p][k] != 0;
        c.holes++;
        c.counted += counted;
        c.holed += holed;
        c.both += counted && holed;
      }
  }
  c.shown = c.holes > 0 && (int64_t)c.both * 10 >= (int64_t)c.holes * 9;
  return c;
}

bool formindex(const KindFigures& k, int64_t* sum, int32_t* count) {
  int32_t n = k.next < INDEXROUNDS ? k.next : INDEXROUNDS;
  if (n < INDEXLEAST) return false;
  int32_t take = n == INDEXROUNDS ? INDEXBEST : n * 4 / 10;
  if (take < 1) take = 1;
  // The best take of the n to pars: a sort of at most INDEXROUNDS numbers.
  int32_t v[INDEXROUNDS];
  memcpy(v, k.last, sizeof v);
  for (int32_t i = 1; i < n; i++)
    for (int32_t j = i; j > 0 && v[j] < v[j - 1]; j--) {
      int32_t t = v[j];
      v[j] = v[j - 1];
      v[j - 1] = t;
    }
  *sum = 0;
  for (int32_t i = 0; i < take; i++) *sum += v[i];
  *count = take;
  return true;
}

void formrecent(const KindFigures& k, int64_t* sum, int32_t* count) {
  int32_t n = k.next < FORMROUNDS ? k.next : FORMROUNDS;
  *sum = 0;
  for (int32_t i = 1; i <= n; i++) *sum += k.last[(k.next - i) % INDEXROUNDS];
  *count = n;
}

// A full round into its player's figures of its kind.
static void addfull(KindFigures& k, const RoundGame& g, int32_t p, const RoundRow& r) {
  int32_t d = r.strokes - r.par;
  k.full++;
  k.strokes += r.strokes;
  k.topar += d;
  k.last[k.next % INDEXROUNDS] = d;
  k.next++;
  for (int32_t h = 0; h < 18; h++) {
    int32_t hd = g.stroke[p - 1][h] - g.par[h];
    (h < 9 ? k.front : k.back) += hd;
    k.birdies += hd == -1;
  }
  int32_t putts, one, three, greens;
  if (roundputts(g, p, &putts, &one, &three, &greens)) {
    k.puttrounds++;
    k.putts += putts;
    k.oneputts += one;
    k.threeputts += three;
    k.greens += greens;
  }
}

int32_t statsfigures(const RoundHistory& h, StatsFigures& f) {
  memset(&f, 0, sizeof f);
  f.putt = puttcheck(h);
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
      KindFigures& kf = pf->kind[g.pointbattle ? 1 : 0];
      if (r.full) {
        int32_t d = r.strokes - r.par;
        addfull(kf, g, p, r);
        cf->kindfull[g.pointbattle ? 1 : 0]++;
        cf->kindtopar[g.pointbattle ? 1 : 0] += d;
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
        kf.other++;
      }
      for (int32_t k = 0; k < 18; k++) {
        int32_t s = g.stroke[p - 1][k], par = g.par[k];
        if (s == 0 || par == 0) continue;
        int32_t d = s - par;
        pf->results[d <= -2 ? EAGLE : d == -1 ? BIRDIE : d == 0 ? PARHOLE : d == 1 ? BOGEY : DOUBLE]++;
        if (par >= 3 && par <= 5) {
          pf->partopar[par - 3] += d;
          pf->parholes[par - 3]++;
          kf.partopar[par - 3] += d;
          kf.parholes[par - 3]++;
        }
        cf->holetopar[k] += d;
        cf->holeplays[k]++;
      }
    }
  }
  return 1;
}

// ---- rounds.csv ----------------------------------------------------------------

// A Shift-JIS field as a CSV field.  A text that a spreadsheet would take
// for a formula (beginning with =, +, -, @, a tab or a carriage return) gets
// a leading apostrophe, which spreadsheets show as text.
static void csvtext(const char* sjis, int32_t size) {
  char u[3 * 104 + 2], q[2 * sizeof u + 3];
  sjistoutf8(u + 1, sizeof u - 1, sjis, size);
  const char* t = u + 1;
  if (strchr("=+-@\t\r", u[1]) && u[1]) {
    u[0] = '\'';
    t = u;
  }
  csvfield(q, sizeof q, t);
  puts0(q);
}

int32_t writeroundscsv(const RoundHistory& h, const char* path, uint32_t* error) {
  if (!openout(path, error)) return 0;
  puts0("\xEF\xBB\xBF" "start,date,time,course,kind,player,holes,strokes,par,to_par");
  for (int32_t k = 1; k <= 18; k++) putf(",h%d", k);
  puts0(",putts,gir\r\n");
  bool putts = puttcheck(h).shown;
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
      // Putts and greens when the club codes read as putts and every hole
      // of the round has its shots; greens when every par is known too.
      int32_t n, greens;
      if (putts && roundputts(g, p, &n, nullptr, nullptr, &greens)) {
        putf(",%d,", n);
        if (r.par >= 0) putf("%d", greens);
      } else {
        puts0(",,");
      }
      puts0("\r\n");
    }
  }
  return closeout(error);
}

// ---- stats.html ----------------------------------------------------------------

// Numbers, dates, names and headers never break inside a word: every cell
// stays on one line and a table wider than the window scrolls in its own box.
static const char kstyle[] =
    "<style>\r\n"
    "body{font-family:sans-serif;margin:8px;max-width:960px}\r\n"
    "h1{font-size:1.4em}h2{font-size:1.15em;margin-top:1.2em;border-bottom:1px solid #999}\r\n"
    ".wide{overflow-x:auto;max-width:100%}\r\n"
    "table{border-collapse:collapse;margin:4px 0 12px}\r\n"
    "th,td{border:1px solid #999;padding:2px 4px;text-align:right;vertical-align:top;white-space:nowrap}\r\n"
    "th{background:#eee;font-weight:normal}\r\n"
    ".t{text-align:left}\r\n"
    ".n,.logs li{white-space:nowrap}\r\n"
    ".logs{margin:4px 0;padding-left:1.2em}\r\n"
    ".bar{display:flex;height:10px;width:100%;margin:2px 0}\r\n"
    ".bar span{display:block;height:10px}\r\n"
    ".charts{display:flex;flex-wrap:wrap;gap:4px 12px}\r\n"
    ".charts figure{margin:0 0 8px;width:100%}\r\n"
    ".charts.multi figure{max-width:300px}\r\n"
    ".charts.one figure{max-width:480px}\r\n"
    ".charts figcaption{font-size:85%;white-space:nowrap;overflow:hidden;text-overflow:ellipsis}\r\n"
    "svg.trend{width:100%;height:auto;display:block}\r\n"
    ".small{font-size:85%}\r\n"
    ".def{font-size:85%;margin:2px 0}\r\n"
    "h3{font-size:1em;margin:12px 0 2px}\r\n"
    ".warn{border:1px solid #C00;background:#FFF4F4;padding:2px 8px;margin:8px 0}\r\n"
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

static void putaverage(int64_t sum, int32_t count, int32_t decimals, bool sign) {
  char b[48];
  fmtaverage(b, sizeof b, sum, count, decimals, sign);
  puts0(b);
}
static void putsigned(int64_t sum, int32_t count) { putaverage(sum, count, 1, true); }

static void opentable() { puts0("<div class=\"wide\"><table>\r\n"); }
static void closetable() { puts0("</table></div>\r\n"); }

#define LONGLOGLIST 8  // a longer list of logs is folded

// What the reader must know before the figures: the counts, the stretches of
// zero bytes and the logs that were not read.
static void summarysection(const RoundHistory& h, int32_t games, int32_t rounds) {
  putf("<p>ゲーム %d、ラウンド %d (ひとりの 1 ゲームを 1 ラウンドと数えます)、ログ %d 個</p>\r\n", games, rounds,
       h.nlogs);
  int32_t zerologs = 0, skipped = 0;
  for (int32_t i = 0; i < h.nlogs; i++) {
    zerologs += h.logs[i].zeroruns > 0;
    skipped += h.logs[i].status != ROUNDLOG_READ;
  }
  if (zerologs) {
    puts0("<div class=\"warn\"><p>ゼロのバイトが続く箇所のあるログがあります (書き込みの途中で止まった跡です)。"
          "そこで途切れたゲームは数えず、その後のゲームは数えています。</p>\r\n<div class=\"wide\"><ul class=\"logs\">\r\n");
    for (int32_t i = 0; i < h.nlogs; i++) {
      const RoundLog& l = h.logs[i];
      for (int32_t k = 0; k < l.zeroruns && k < ZEROSPANS; k++) {
        puts0("<li>");
        puttext(l.path, sizeof l.path);
        putf(" : %lu バイト目から %lu バイト</li>\r\n", (unsigned long)l.zero[k].offset, (unsigned long)l.zero[k].length);
      }
      if (l.zeroruns > ZEROSPANS) {
        puts0("<li>");
        puttext(l.path, sizeof l.path);
        putf(" : ほかに %d 箇所</li>\r\n", l.zeroruns - ZEROSPANS);
      }
    }
    puts0("</ul></div></div>\r\n");
  }
  if (skipped)
    putf("<div class=\"warn\"><p>読めなかったログが %d 個あります (理由はページの最後の「読んだログ」に)。</p></div>\r\n",
         skipped);
}

static void logsection(const RoundHistory& h) {
  puts0("<h2>読んだログ</h2>\r\n");
  bool fold = h.nlogs > LONGLOGLIST;
  if (fold) putf("<details><summary>ログ %d 個の一覧</summary>\r\n", h.nlogs);
  puts0("<div class=\"wide\"><ul class=\"logs small\">\r\n");
  for (int32_t i = 0; i < h.nlogs; i++) {
    const RoundLog& l = h.logs[i];
    puts0("<li>");
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
    if (l.zeroruns) putf("、ゼロのバイトの続く箇所 %d", l.zeroruns);
    puts0("</li>\r\n");
  }
  puts0("</ul></div>\r\n");
  if (fold) puts0("</details>\r\n");
}

static const char* const kkindname[2] = {"ストローク", "ポイント"};

// The name and kind cells that begin a row of a player's figures of one kind.
static void putwho(const PlayerFigures& p, int32_t kind) {
  puts0("<tr><td class=\"t\">");
  puttext(p.name, sizeof p.name);
  putf("</td><td class=\"t\">%s</td>", kkindname[kind]);
}

// A cell of sum / count, or "-" when count is 0.
static void putcell(int64_t sum, int32_t count, int32_t decimals, bool sign, const char* unit = "") {
  puts0("<td>");
  if (count > 0) {
    putaverage(sum, count, decimals, sign);
    puts0(unit);
  } else {
    puts0("-");
  }
  puts0("</td>");
}

// A figure's rule, in one line of its own.
static void putdef(const char* name, const char* rule) { putf("<p class=\"def\"><b>%s</b> : %s</p>\r\n", name, rule); }

// A table of a row per player and kind: the header cells head after those
// of the player and the kind, a row for each kind k of a player with has(k),
// its cells from cells(k).
template <typename Has, typename Cells>
static void kindtable(const StatsFigures& f, const char* head, Has has, Cells cells) {
  opentable();
  putf("<tr><th class=\"t\">プレイヤー</th><th class=\"t\">種類</th>%s</tr>\r\n", head);
  for (int32_t i = 0; i < f.nplayers; i++)
    for (int32_t kind = 0; kind < 2; kind++) {
      const KindFigures& k = f.players[i].kind[kind];
      if (!has(k)) continue;
      putwho(f.players[i], kind);
      cells(k);
      puts0("</tr>\r\n");
    }
  closetable();
}

static void playersection(const RoundHistory& h, const StatsFigures& f) {
  puts0("<h2>プレイヤー別</h2>\r\n");
  puts0("<p class=\"small\">18 ホールのラウンド (パーの分かるコース) の平均。短いゲームとパーの分からないラウンドは"
        "「その他」に数えます。ストロークプレイとポイントバトルは別々に平均します。</p>\r\n");
  kindtable(
      f, "<th>18H</th><th>平均打数</th><th>平均パー比</th><th>その他</th>",
      [](const KindFigures& k) { return k.full + k.other > 0; },
      [](const KindFigures& k) {
        putf("<td>%d</td>", k.full);
        putcell(k.strokes, k.full, 1, false);
        putcell(k.topar, k.full, 1, true);
        putf("<td>%d</td>", k.other);
      });
  opentable();
  puts0("<tr><th class=\"t\">プレイヤー</th><th>ベスト</th><th class=\"t\">コース</th><th>日付</th></tr>\r\n");
  for (int32_t i = 0; i < f.nplayers; i++) {
    const PlayerFigures& p = f.players[i];
    if (p.best < 0) continue;
    const RoundGame& g = h.games[p.best];
    puts0("<tr><td class=\"t\">");
    puttext(p.name, sizeof p.name);
    putf("</td><td>%d (", p.beststrokes);
    putdiff(p.besttopar);
    puts0(")</td><td class=\"t\">");
    puttext(g.course, sizeof g.course);
    puts0("</td><td>");
    putdate(g);
    puts0("</td></tr>\r\n");
  }
  closetable();
}

static void resultsection(const StatsFigures& f) {
  puts0("<h2>ホール別の結果</h2>\r\n<p class=\"small\">パーの分かるホールすべて。");
  for (int32_t k = 0; k < RESULTS; k++)
    putf("<span class=\"n\"><span style=\"color:%s\">&#9632;</span>%s</span> ", kresultcolour[k], kresultname[k]);
  puts0("</p>\r\n");
  opentable();
  puts0("<tr><th class=\"t\">プレイヤー</th>");
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
      putf("<td>%d<br><span class=\"small\">", p.results[k]);
      if (all) putaverage((int64_t)p.results[k] * 100, all, 1, false);
      else puts0("0.0");
      puts0("%</span></td>");
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
  closetable();

  puts0("<h2>パー3・パー4・パー5 の平均パー比</h2>\r\n");
  kindtable(
      f, "<th>パー3</th><th>パー4</th><th>パー5</th>",
      [](const KindFigures& k) { return k.parholes[0] + k.parholes[1] + k.parholes[2] > 0; },
      [](const KindFigures& k) {
        for (int32_t t = 0; t < 3; t++) putcell(k.partopar[t], k.parholes[t], 2, true);
      });
}

// Recent form and the handicap-like figure, the two nines and the birdies.
static void formsection(const StatsFigures& f) {
  puts0("<h2>最近の調子</h2>\r\n");
  putdef("直近10", "最後の 10 ラウンド (10 より少なければそのすべて) の平均パー比");
  putdef("通算", "すべての 18 ホールのラウンドの平均パー比");
  putdef("ハンデ目安", "直近 20 ラウンドのうちパー比の良い 8 ラウンドの平均 (20 ラウンド未満ではその 40 % を切り捨てた数、"
                      "1 以上。3 ラウンド未満は出しません)。公式のハンディキャップではありません");
  auto played = [](const KindFigures& k) { return k.full > 0; };
  kindtable(f, "<th>直近10</th><th>通算</th><th>ハンデ目安</th>", played, [](const KindFigures& k) {
    int64_t sum;
    int32_t count;
    formrecent(k, &sum, &count);
    putcell(sum, count, 1, true);
    putcell(k.topar, k.full, 1, true);
    if (!formindex(k, &sum, &count)) count = 0;
    putcell(sum, count, 1, true);
  });

  puts0("<h2>前半・後半</h2>\r\n");
  putdef("前半・後半", "1-9 番と 10-18 番ホールの、1 ラウンドあたりの平均パー比");
  putdef("バーディ", "パーより 1 打少ないホールの、1 ラウンドあたりの数");
  kindtable(f, "<th>前半</th><th>後半</th><th>バーディ</th>", played, [](const KindFigures& k) {
    putcell(k.front, k.full, 1, true);
    putcell(k.back, k.full, 1, true);
    putcell(k.birdies, k.full, 1, false);
  });
}

// A share of the holes in percent with one decimal.
static void putshare(const PuttCheck& c, int32_t n) {
  putf("%d / %d (", n, c.holes);
  putaverage((int64_t)n * 100, c.holes, 1, false);
  puts0(" %)");
}

// Putts and greens in regulation, or why they are not shown.
static void puttsection(const StatsFigures& f) {
  puts0("<h2>パット・パーオン</h2>\r\n");
  const PuttCheck& c = f.putt;
  if (!c.shown) {
    puts0("<p class=\"def\">");
    if (c.holes == 0) {
      puts0("ログにショットの記録 (ShotData) がないため、パットとパーオンは出していません。");
    } else {
      puts0("ショットの記録がパットを示すと言えないため、パットとパーオンは出していません: ");
      puts0("記録の数が打数と合うホール ");
      putshare(c, c.counted);
      puts0("、最後のショットがパット (クラブ番号 70 以上) のホール ");
      putshare(c, c.holed);
      puts0("、その両方 ");
      putshare(c, c.both);
      puts0(" で、90 % に届きません。");
    }
    puts0("</p>\r\n");
    return;
  }
  putdef("パット", "クラブ番号 70 以上 (ヤードで測るクラブ) のショット。1 ラウンドあたりの数");
  putdef("1パット・3パット以上", "パットが 1 回、3 回以上のホールの、1 ラウンドあたりの数");
  putdef("パーオン", "パー - 1 打目までに最初のパットを打った (またはパー - 2 打以内にカップインした) ホールの割合");
  puts0("<p class=\"small\">");
  putf("ホールごとの記録の数が打数と合うラウンドだけを数えます (ショットの記録のあるホールのうち、記録の数が打数と合い"
       "最後のショットがパットのもの ");
  putshare(c, c.both);
  puts0(")。</p>\r\n");
  kindtable(
      f, "<th>ラウンド</th><th>パット</th><th>1パット</th><th>3パット以上</th><th>パーオン</th>",
      [](const KindFigures& k) { return k.puttrounds > 0; },
      [](const KindFigures& k) {
        putf("<td>%d</td>", k.puttrounds);
        putcell(k.putts, k.puttrounds, 1, false);
        putcell(k.oneputts, k.puttrounds, 1, false);
        putcell(k.threeputts, k.puttrounds, 1, false);
        putcell((int64_t)k.greens * 100, k.puttrounds * 18, 1, false, " %");
      });
}

// Eagles and holes in one of the 18-hole rounds, in date order.
static void eaglesection(const RoundHistory& h) {
  puts0("<h2>イーグル・ホールインワン</h2>\r\n");
  putdef("イーグル", "パーより 2 打以上少ないホール (3 打以上少なければアルバトロス)。1 打で入れば、ホールインワン");
  int32_t n = 0;
  for (int32_t pass = 0; pass < 2; pass++) {
    if (pass == 1) {
      if (n == 0) {
        puts0("<p>まだありません。</p>\r\n");
        return;
      }
      if (n > LONGLOGLIST) putf("<details><summary>%d 回</summary>\r\n", n);
      opentable();
      puts0("<tr><th>日付</th><th class=\"t\">プレイヤー</th><th class=\"t\">コース</th><th>ホール</th><th>パー</th>"
            "<th>打数</th><th class=\"t\">記録</th></tr>\r\n");
    }
    for (int32_t i = 0; i < h.count; i++) {
      const RoundGame& g = h.games[i];
      for (int32_t p = 1; p <= g.players; p++) {
        if (!roundrow(g, p).full) continue;
        for (int32_t k = 0; k < 18; k++) {
          int32_t s = g.stroke[p - 1][k], d = s - g.par[k];
          if (s != 1 && d > -2) continue;
          if (pass == 0) {
            n++;
            continue;
          }
          puts0("<tr><td>");
          putdate(g);
          puts0("</td><td class=\"t\">");
          puttext(g.name[p - 1], sizeof g.name[0]);
          puts0("</td><td class=\"t\">");
          puttext(g.course, sizeof g.course);
          putf("</td><td>%d</td><td>%d</td><td>%d</td><td class=\"t\">%s</td></tr>\r\n", k + 1, g.par[k], s,
               s == 1 ? "ホールインワン" : d <= -3 ? "アルバトロス" : "イーグル");
        }
      }
    }
  }
  closetable();
  if (n > LONGLOGLIST) puts0("</details>\r\n");
}

// ---- the trend chart ----------------------------------------------------------

#define AVGWINDOW 10  // rounds in the running average
#define CHARTFONT 13  // label size in units; a chart is never drawn larger than its units
#define CHARTL 34     // room for the labels on the left
#define CHARTR 6
#define CHARTT 8
#define CHARTB 22     // room for the dates below

// One chart: the 18-hole rounds of the players pick[0..n) (colours from
// colour on) over the games that hold one of them, in date order, on the
// to-par range lo..hi.  Coordinates are worked out in tenths of a unit in
// integers so that every system writes the same page.
static void drawchart(const RoundHistory& h, const StatsFigures& f, const int32_t* pick, int32_t n, int32_t colour,
                      int32_t w, int32_t ht, int32_t lo, int32_t hi) {
  auto charted = [&](const RoundGame& g, int32_t p) {
    for (int32_t j = 0; j < n; j++)
      if (strcmp(f.players[pick[j]].name, g.name[p - 1]) == 0) return true;
    return false;
  };
  // The x axis: the games that hold a charted round, and three of their dates.
  int32_t ngames = 0, datex[3] = {-1, -1, -1};
  for (int32_t pass = 0; pass < 2; pass++) {
    int32_t x = 0;
    for (int32_t i = 0; i < h.count; i++) {
      const RoundGame& g = h.games[i];
      bool any = false;
      for (int32_t p = 1; p <= g.players && !any; p++) any = roundrow(g, p).full && charted(g, p);
      if (!any) continue;
      if (pass == 1) {
        if (x == 0) datex[0] = i;
        if (x == (ngames - 1) / 2 && ngames >= 3) datex[1] = i;
        if (x == ngames - 1 && ngames >= 2) datex[2] = i;
      }
      x++;
    }
    ngames = x;
  }
  const int64_t pw = 10 * (w - CHARTL - CHARTR), ph = 10 * (ht - CHARTT - CHARTB);
  const int64_t span = hi - lo;
  // y of a to-par of num / den (den > 0, lo <= num / den <= hi).
  auto yof = [&](int64_t num, int64_t den) { return tenths(10 * CHARTT + ph * (hi * den - num) / (den * span)); };
  auto xat = [&](int32_t x) { return 10 * CHARTL + (ngames > 1 ? pw * x / (ngames - 1) : pw / 2); };
  auto xof = [&](int32_t x) { return tenths(xat(x)); };
  putf("<svg class=\"trend\" viewBox=\"0 0 %d %d\" style=\"max-width:%dpx\" role=\"img\" aria-label=\"trend\">\r\n", w,
       ht, w);
  putf("<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"#fafafa\" stroke=\"#999\"/>\r\n", CHARTL, CHARTT,
       (int)(pw / 10), (int)(ph / 10));
  // Labels at the top, the bottom and par; one too close to par's is left out.
  auto label = [&](int32_t d) {
    putf("<text class=\"ylabel\" x=\"%d\" y=\"%s\" font-size=\"%d\" text-anchor=\"end\">", CHARTL - 3,
         tenths(10 * CHARTT + ph * (hi - d) / span + 45).t, CHARTFONT);
    putdiff(d);
    puts0("</text>\r\n");
  };
  bool zero = lo <= 0 && hi >= 0;
  int64_t near = (int64_t)16 * 10 * span;  // 16 units, in the measure of ph * distance
  if (zero) {
    putf("<line class=\"zero\" x1=\"%d\" y1=\"%s\" x2=\"%d\" y2=\"%s\" stroke=\"#555\" stroke-dasharray=\"4 3\"/>\r\n",
         CHARTL, yof(0, 1).t, w - CHARTR, yof(0, 1).t);
    label(0);
  }
  if (!zero || ph * hi >= near) label(hi);
  if (!zero || ph * -lo >= near) label(lo);
  // The dates below: the first at the left, the last at the right, one between.
  // A single game has its date under its point, in the middle.
  static const char* const kanchor[3] = {"start", "middle", "end"};
  const int64_t datexat[3] = {10 * CHARTL, xat((ngames - 1) / 2), 10 * (w - CHARTR)};
  // A date is about 10 * 0.6 em wide: the middle one is left out when it
  // would touch the first or the last.
  const int64_t datew = 10 * (10 * CHARTFONT * 6 / 10 + 4);
  if (datexat[1] - datew / 2 < datexat[0] + datew || datexat[1] + datew / 2 > datexat[2] - datew) datex[1] = -1;
  for (int32_t k = 0; k < 3; k++) {
    if (datex[k] < 0) continue;
    const RoundGame& g = h.games[datex[k]];
    bool alone = ngames == 1;
    putf("<text class=\"xlabel\" x=\"%s\" y=\"%d\" font-size=\"%d\" text-anchor=\"%s\">",
         tenths(alone ? xat(0) : datexat[k]).t, ht - 6, CHARTFONT, alone ? "middle" : kanchor[k]);
    if (g.date) putf("%04d-%02d-%02d", g.date / 10000, g.date / 100 % 100, g.date % 100);
    else puts0("?");
    puts0("</text>\r\n");
  }
  for (int32_t j = 0; j < n; j++) {
    const PlayerFigures& pf = f.players[pick[j]];
    const char* c = kchartcolour[colour + j];
    putf("<g class=\"trend-player\" data-player=\"%d\" data-rounds=\"%d\">\r\n", colour + j, pf.full);
    // Four passes over the player's rounds: the line, the running average of
    // the stroke-play rounds, that of the point-battle rounds (dashed), the
    // points (those of point battle hollow).
    for (int32_t pass = 0; pass < 4; pass++) {
      int32_t kind = pass - 1;
      if ((pass == 1 || pass == 2) && pf.kind[kind].full == 0) continue;
      if (pass == 0)
        putf("<polyline class=\"trend-line\" fill=\"none\" stroke=\"%s\" stroke-opacity=\"0.45\" stroke-width=\"1\" "
             "points=\"",
             c);
      else if (pass < 3)
        putf("<polyline class=\"trend-avg\" fill=\"none\" stroke=\"%s\" stroke-width=\"2.5\"%s points=\"", c,
             kind ? " stroke-dasharray=\"5 3\"" : "");
      int32_t window[AVGWINDOW], nwin = 0, x = 0;
      int64_t wsum = 0;
      for (int32_t i = 0; i < h.count; i++) {
        const RoundGame& g = h.games[i];
        bool any = false;
        for (int32_t p = 1; p <= g.players; p++) {
          RoundRow r = roundrow(g, p);
          if (!r.full || !charted(g, p)) continue;
          any = true;
          // A player twice in one game (two players of one name) gives two points.
          if (strcmp(pf.name, g.name[p - 1]) != 0) continue;
          int32_t d = r.strokes - r.par;
          if (pass == 0) {
            putf("%s,%s ", xof(x).t, yof(d, 1).t);
          } else if (pass < 3) {
            if (g.pointbattle != kind) continue;
            if (nwin == AVGWINDOW) wsum -= window[0], memmove(window, window + 1, sizeof window - sizeof window[0]), nwin--;
            window[nwin++] = d;
            wsum += d;
            putf("%s,%s ", xof(x).t, yof(wsum, nwin).t);
          } else {
            putf("<circle class=\"trend-point\" cx=\"%s\" cy=\"%s\" r=\"2.5\" fill=\"%s\"", xof(x).t, yof(d, 1).t,
                 g.pointbattle ? "#fff" : c);
            if (g.pointbattle) putf(" stroke=\"%s\"", c);
            puts0("/>\r\n");
          }
        }
        x += any;
      }
      if (pass < 3) puts0("\"/>\r\n");
    }
    puts0("</g>\r\n");
  }
  puts0("</svg>\r\n");
}

static void putlegend(const StatsFigures& f, int32_t pick, int32_t colour) {
  putf("<span class=\"n\"><span style=\"color:%s\">&#9632;</span> ", kchartcolour[colour]);
  puttext(f.players[pick].name, sizeof f.players[0].name);
  putf(" (%d)</span> ", f.players[pick].full);
}

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
  // One to-par range for every chart, from the rounds, a stroke of room each side.
  int32_t lo = 0, hi = 0;
  bool first = true;
  for (int32_t i = 0; i < h.count; i++) {
    const RoundGame& g = h.games[i];
    for (int32_t p = 1; p <= g.players; p++) {
      RoundRow r = roundrow(g, p);
      if (!r.full) continue;
      for (int32_t j = 0; j < npick; j++)
        if (strcmp(f.players[pick[j]].name, g.name[p - 1]) == 0) {
          int32_t d = r.strokes - r.par;
          if (first || d < lo) lo = d;
          if (first || d > hi) hi = d;
          first = false;
        }
    }
  }
  lo -= 1;
  hi += 1;
  putf("<p class=\"small\">18 ホールのラウンドのパー比を日付の順に。点がラウンド、太い線は直近 %d "
       "ラウンドの平均 (移動平均) です。ストロークプレイとポイントバトルは別々に平均し、ポイントバトルは白抜きの点と"
       "破線で描きます。",
       AVGWINDOW);
  if (f.nplayers > npick) putf("ラウンドの多い %d 人を表示しています。", npick);
  puts0("</p>\r\n");
  if (npick <= 3) {
    puts0("<div class=\"charts one\"><figure>\r\n");
    drawchart(h, f, pick, npick, 0, 360, 210, lo, hi);
    puts0("<figcaption>");
    for (int32_t j = 0; j < npick; j++) putlegend(f, pick[j], j);
    puts0("</figcaption></figure></div>\r\n");
    return;
  }
  // Small multiples: one chart a player, on the same range.
  puts0("<div class=\"charts multi\">\r\n");
  for (int32_t j = 0; j < npick; j++) {
    puts0("<figure>");
    drawchart(h, f, pick + j, 1, j, 300, 170, lo, hi);
    puts0("<figcaption>");
    putlegend(f, pick[j], j);
    puts0("</figcaption></figure>\r\n");
  }
  puts0("</div>\r\n");
}

static void coursesection(const RoundHistory& h, const StatsFigures& f) {
  puts0("<h2>コース別</h2>\r\n");
  opentable();
  puts0("<tr><th class=\"t\">コース</th><th>ラウンド</th><th>ベスト</th><th class=\"t\">プレイヤー</th>"
        "<th>平均 (ストローク)</th><th>平均 (ポイント)</th><th>最終プレイ</th></tr>\r\n");
  for (int32_t i = 0; i < f.ncourses; i++) {
    const CourseFigures& c = f.courses[i];
    puts0("<tr><td class=\"t\">");
    if (c.name[0]) puttext(c.name, sizeof c.name);
    else puts0("(コースの行なし)");
    putf("</td><td>%d</td><td>", c.rounds);
    if (c.best >= 0) {
      const RoundGame& g = h.games[c.best];
      putf("%d (", c.beststrokes);
      putdiff(c.besttopar);
      puts0(")</td><td class=\"t\">");
      puttext(g.name[c.bestplayer - 1], sizeof g.name[0]);
    } else {
      puts0("-</td><td class=\"t\">-");
    }
    puts0("</td>");
    for (int32_t kind = 0; kind < 2; kind++) putcell(c.kindtopar[kind], c.kindfull[kind], 1, true);
    puts0("<td>");
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
      putf("<tr><td class=\"t small\" colspan=\"7\">難しいホール %d (", hard + 1);
      putsigned(c.holetopar[hard], c.holeplays[hard]);
      putf(")、易しいホール %d (", easy + 1);
      putsigned(c.holetopar[easy], c.holeplays[easy]);
      puts0(")</td></tr>\r\n");
    }
  }
  closetable();
}

// One player's 18-hole rounds of one kind on a course: strokes per hole.
struct HoleRow {
  const char* name;
  int32_t kind, rounds;
  int32_t strokes[18];
};

// Every course: a row of its pars, under it each player's average strokes
// on every hole (a row per kind), then the list of its rounds.  rows has
// room for every player in both kinds.
static void holesection(const RoundHistory& h, const StatsFigures& f, HoleRow* rows) {
  puts0("<h2>コースのホールごと</h2>\r\n");
  putdef("ホールの平均", "そのコースの 18 ホールのラウンドでの、ホールごとの平均打数 (パーの行の下)");
  for (int32_t c = 0; c < f.ncourses; c++) {
    const CourseFigures& cf = f.courses[c];
    const int8_t* par = nullptr;
    int32_t nrows = 0;
    for (int32_t i = 0; i < h.count; i++) {
      const RoundGame& g = h.games[i];
      if (strcmp(g.course, cf.name) != 0) continue;
      if (g.courseindex >= 0) par = g.par;
      for (int32_t p = 1; p <= g.players; p++) {
        if (!roundrow(g, p).full) continue;
        int32_t kind = g.pointbattle ? 1 : 0, r = 0;
        while (r < nrows && (rows[r].kind != kind || strcmp(rows[r].name, g.name[p - 1]) != 0)) r++;
        if (r == nrows) {
          memset(&rows[r], 0, sizeof rows[r]);
          rows[r].name = g.name[p - 1];
          rows[r].kind = kind;
          nrows++;
        }
        rows[r].rounds++;
        for (int32_t k = 0; k < 18; k++) rows[r].strokes[k] += g.stroke[p - 1][k];
      }
    }
    puts0("<h3>");
    if (cf.name[0]) puttext(cf.name, sizeof cf.name);
    else puts0("(コースの行なし)");
    puts0("</h3>\r\n");
    if (par && nrows) {
      opentable();
      puts0("<tr><th class=\"t\">ホール</th><th></th>");
      for (int32_t k = 1; k <= 18; k++) putf("<th>%d</th>", k);
      puts0("</tr>\r\n<tr><th class=\"t\">パー</th><th></th>");
      for (int32_t k = 0; k < 18; k++) putf("<th>%d</th>", par[k]);
      puts0("</tr>\r\n");
      for (int32_t r = 0; r < nrows; r++) {
        puts0("<tr><td class=\"t\">");
        puttext(rows[r].name, sizeof h.games[0].name[0]);
        putf("</td><td class=\"t\">%s</td>", kkindname[rows[r].kind]);
        for (int32_t k = 0; k < 18; k++) putcell(rows[r].strokes[k], rows[r].rounds, 1, false);
        puts0("</tr>\r\n");
      }
      closetable();
    }
    bool fold = cf.rounds > LONGLOGLIST;
    if (fold) putf("<details><summary>ラウンド %d</summary>\r\n", cf.rounds);
    opentable();
    puts0("<tr><th>日付</th><th class=\"t\">プレイヤー</th><th class=\"t\">種類</th><th>ホール</th><th>打数</th>"
          "<th>パー比</th></tr>\r\n");
    for (int32_t i = 0; i < h.count; i++) {
      const RoundGame& g = h.games[i];
      if (strcmp(g.course, cf.name) != 0) continue;
      for (int32_t p = 1; p <= g.players; p++) {
        RoundRow r = roundrow(g, p);
        if (r.holes == 0) continue;
        puts0("<tr><td>");
        putdate(g);
        puts0("</td><td class=\"t\">");
        puttext(g.name[p - 1], sizeof g.name[0]);
        putf("</td><td class=\"t\">%s</td><td>%d</td><td>%d</td><td>", kkindname[g.pointbattle ? 1 : 0], r.holes,
             r.strokes);
        if (r.full) putdiff(r.strokes - r.par);
        else puts0("-");
        puts0("</td></tr>\r\n");
      }
    }
    closetable();
    if (fold) puts0("</details>\r\n");
  }
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
  HoleRow* rows = (HoleRow*)malloc(sizeof(HoleRow) * 2 * ((size_t)f.nplayers + 1));
  if (!rows) {
    statsfree(f);
    if (error) *error = OS_ERROR_NOT_ENOUGH_MEMORY;
    return 0;
  }
  if (!openout(path, error)) {
    free(rows);
    statsfree(f);
    return 0;
  }
  puts0("<!DOCTYPE html>\r\n<html lang=\"ja\">\r\n<head>\r\n");
  puts0("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\r\n");
  puts0("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\r\n");
  puts0("<title>成績集計</title>\r\n");
  puts0(kstyle);
  puts0("</head>\r\n<body>\r\n<h1>成績集計</h1>\r\n");
  summarysection(h, h.count, f.rounds);
  playersection(h, f);
  formsection(f);
  puttsection(f);
  resultsection(f);
  eaglesection(h);
  chartsection(h, f);
  coursesection(h, f);
  holesection(h, f, rows);
  logsection(h);
  puts0("<p class=\"small\">Created by <a href=\"" KESTO_HOMEPAGE "\">" KESTO_TITLE "</a></p>\r\n");
  puts0("</body>\r\n</html>\r\n");
  free(rows);
  statsfree(f);
  return closeout(error);
}
