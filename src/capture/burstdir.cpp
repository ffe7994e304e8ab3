// Reading a burst folder back.
#include "capture/burstdir.h"

#include <cstdio>
#include <cstring>


void burstdirclear(BurstDir* d) {
  d->folder[0] = 0;
  d->logname[0] = 0;
  d->count = d->missing = d->damaged = d->firstdamaged = d->over = d->cut = d->lines = 0;
  d->error = 0;
  d->linelen = d->linelong = d->aftercr = 0;
  memset(d->present, 0, sizeof d->present);
}

static int isdigitc(char c) { return c >= '0' && c <= '9'; }

// 1 when the n bytes at p are "c%05d.bmp" (case ignored) of a frame number
// 1 to 99,999, with the number in *number.
static int framename(const char* p, int32_t n, int32_t* number) {
  if (n != 10 || (p[0] != 'c' && p[0] != 'C')) return 0;
  int32_t v = 0;
  for (int i = 1; i <= 5; i++) {
    if (!isdigitc(p[i])) return 0;
    v = v * 10 + (p[i] - '0');
  }
  const char* ext = ".bmp";
  for (int i = 0; i < 4; i++) {
    char c = p[6 + i];
    if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    if (c != ext[i]) return 0;
  }
  if (v < 1 || v > BURSTDIRFRAMES) return 0;
  *number = v;
  return 1;
}

int parseburstframe(const char* line, int32_t n, int32_t* number, int64_t* tic) {
  static const char head[] = "DATA ";
  const int32_t hn = (int32_t)sizeof head - 1;
  if (n < hn + 10 + 5 || memcmp(line, head, (size_t)hn) != 0) return 0;
  if (!framename(line + hn, 10, number)) return 0;
  int32_t i = hn + 10;
  if (n - i < 5 || memcmp(line + i, " Tic=", 5) != 0) return 0;
  i += 5;
  while (i < n && line[i] == ' ') i++;
  int neg = 0;
  if (i < n && line[i] == '-') {
    neg = 1;
    i++;
  }
  int64_t v = 0;
  int digits = 0;
  while (i < n && isdigitc(line[i])) {
    if (++digits > 10) return 0;
    v = v * 10 + (line[i++] - '0');
  }
  if (digits == 0) return 0;
  if (i < n && line[i] == ',') {
    // Whole seconds, then exactly three digits of milliseconds.
    i++;
    if (n - i < 3 || !isdigitc(line[i]) || !isdigitc(line[i + 1]) || !isdigitc(line[i + 2])) return 0;
    v = v * 1000 + (line[i] - '0') * 100 + (line[i + 1] - '0') * 10 + (line[i + 2] - '0');
    i += 3;
  }
  if (n - i < 3 || memcmp(line + i, " ms", 3) != 0) return 0;
  i += 3;
  if (i < n && line[i] != ' ') return 0;
  *tic = neg ? -v : v;
  return 1;
}

static void damaged(BurstDir* d) {
  if (d->damaged++ == 0) d->firstdamaged = d->lines;
}

int burstdirline(BurstDir* d, const char* line, int32_t n) {
  d->lines++;
  int32_t k = 0;
  while (k < n && (line[k] == ' ' || line[k] == '\t')) k++;
  if (k == n) return 0;
  static const char header[] = "disk free = ";
  if (n >= (int32_t)sizeof header - 1 && memcmp(line, header, sizeof header - 1) == 0) return 0;
  int32_t number = 0;
  int64_t tic = 0;
  if (!parseburstframe(line, n, &number, &tic)) {
    damaged(d);
    return -1;
  }
  // Frames are logged in order: a number not above the last is damage.
  if (d->count > 0 && number <= d->frames[d->count - 1].number) {
    damaged(d);
    return -1;
  }
  if (d->count >= BURSTDIRFRAMES) {
    d->over++;
    return -1;
  }
  BurstFrame& f = d->frames[d->count];
  snprintf(f.name, sizeof f.name, "c%05d.bmp", (int)number);
  f.number = number;
  f.tic = tic;
  // Frame 1 is at 0; each later frame its Tic after the one before (a
  // negative Tic, a clock gone back, adds nothing).
  f.time = d->count == 0 ? 0 : d->frames[d->count - 1].time + (tic > 0 ? tic : 0);
  f.exists = d->present[number];
  d->count++;
  return 1;
}

static void endline(BurstDir* d) {
  if (d->linelong) {
    d->lines++;
    damaged(d);
  } else {
    burstdirline(d, d->line, d->linelen);
  }
  d->linelen = 0;
  d->linelong = 0;
}

void burstdirtext(BurstDir* d, const char* text, int32_t n) {
  for (int32_t i = 0; i < n; i++) {
    char c = text[i];
    if (c == '\n' && d->aftercr) {
      d->aftercr = 0;
      continue;
    }
    d->aftercr = c == '\r';
    if (c == '\r' || c == '\n') {
      endline(d);
      continue;
    }
    if (d->linelen < BURSTLINEMAX)
      d->line[d->linelen++] = c;
    else
      d->linelong = 1;
  }
}

void burstdirend(BurstDir* d) {
  if (d->linelen > 0 || d->linelong) endline(d);
  d->aftercr = 0;
}

// 1 when name is a burst log name "c%02d%02d_%02d_%03d.txt".
static int logname(const char* name) {
  static const char form[] = "c####_##_###.txt";
  size_t n = strlen(name);
  if (n != sizeof form - 1) return 0;
  for (size_t i = 0; i < n; i++) {
    char c = name[i], f = form[i];
    if (f == '#') {
      if (!isdigitc(c)) return 0;
    } else {
      if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
      if (c != f) return 0;
    }
  }
  return 1;
}

int readburstdir(const char* folder, BurstDir* d) {
  burstdirclear(d);
  snprintf(d->folder, sizeof d->folder, "%s", folder);
  char pattern[PATHSIZE + 32];
  OsFindData fd;
  // The frame files there, by number.
  snprintf(pattern, sizeof pattern, "%s\\c?????.bmp", folder);
  OsHandle h = osfindfirstfile(pattern, &fd);
  if (h != OS_BADFILE) {
    do {
      int32_t number = 0;
      if (!(fd.attributes & OS_FILE_ATTRIBUTE_DIRECTORY) && framename(fd.name, (int32_t)strlen(fd.name), &number))
        d->present[number] = 1;
    } while (osfindnextfile(h, &fd));
    osfindclose(h);
  }
  // The log: the first in name order of those named as logs are.
  snprintf(pattern, sizeof pattern, "%s\\c*.txt", folder);
  h = osfindfirstfile(pattern, &fd);
  if (h != OS_BADFILE) {
    do {
      if (!(fd.attributes & OS_FILE_ATTRIBUTE_DIRECTORY) && logname(fd.name) &&
          (d->logname[0] == 0 || strcmp(fd.name, d->logname) < 0))
        memcpy(d->logname, fd.name, strlen(fd.name) + 1);  // 16 bytes by its form
    } while (osfindnextfile(h, &fd));
    osfindclose(h);
  }
  if (d->logname[0] == 0) return BURSTDIR_NOLOG;
  char path[PATHSIZE + 48];
  snprintf(path, sizeof path, "%s\\%s", folder, d->logname);
  OsHandle f = oscreatefile(path, OS_GENERIC_READ, OS_FILE_SHARE_READ | OS_FILE_SHARE_WRITE, OS_OPEN_EXISTING);
  if (f == OS_BADFILE) {
    d->error = osgetlasterror();
    if (d->error == 0) d->error = OS_ERROR_READ_FAULT;
    return BURSTDIR_UNREAD;
  }
  uint32_t total = 0;
  for (;;) {
    uint32_t want = BURSTCHUNK, got = 0;
    if (total >= BURSTLOGMAX) {
      // One byte more tells whether the log goes on.
      char extra;
      if (osreadfile(f, &extra, 1, &got) && got > 0) d->cut = 1;
      break;
    }
    if (BURSTLOGMAX - total < want) want = BURSTLOGMAX - total;
    if (!osreadfile(f, d->chunk, want, &got)) {
      d->error = osgetlasterror();
      if (d->error == 0) d->error = OS_ERROR_READ_FAULT;
      osclosehandle(f);
      return BURSTDIR_UNREAD;
    }
    if (got == 0) break;
    if (got > want) got = want;
    burstdirtext(d, d->chunk, (int32_t)got);
    total += got;
  }
  osclosehandle(f);
  burstdirend(d);
  for (int32_t i = 0; i < d->count; i++)
    if (!d->frames[i].exists) d->missing++;
  return BURSTDIR_READ;
}

int64_t burstspan(const BurstDir* d) { return d->count > 0 ? d->frames[d->count - 1].time : 0; }
