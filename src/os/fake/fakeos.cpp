// The scripted fake desktop: see fakeos.h.
#include "os/fake/fakeos.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fnmatch.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>


FakeDesktop gfake;

void fakereset() {
  gfake = FakeDesktop();
  gfake.foreground = 0;
  gfake.clipboardopen = 0;
  gfake.clipboardempties = 0;
  gfake.clipboardhasimage = 0;
  memset(gfake.keystate, 0, sizeof gfake.keystate);
  gfake.screenw = 1280;
  gfake.screenh = 1024;
  gfake.perffreq = 10000000;
  gfake.perfcount = 0;
  gfake.localtime = OsTime{2026, 12, 2, 8, 12, 34, 56, 0};
  gfake.spc = 8;
  gfake.bps = 512;
  gfake.freeclusters = 2621440;  // 10 GiB in 4 KiB clusters
  gfake.totalclusters = 26214400;
  gfake.diskfails = 0;
  gfake.mutexexists = 0;
  gfake.mutexfails = 0;
  gfake.registerfails = 0;
  gfake.createmainfails = 0;
  gfake.loadlibraryfails = 0;
  gfake.procaddressfails = 0;
  gfake.quitposted = 0;
  gfake.quitcode = -1;
  gfake.lasterror = 0;
  gfake.nextid = 0x100;
  gfake.dlgerror = 0;
  gfake.mkdirfails = 0;
  gfake.availphys = 1073741824u;  // 1 GiB
  gfake.windowsdir = "C:\\WINDOWS";
}

// Index of the window last looked at: walks down the list ask for it and for
// the one below it, one after the other.
static size_t gwinhint;

static FakeWindow* findwin(OsWin w) {
  if (gwinhint < gfake.windows.size() && gfake.windows[gwinhint].id == w)
    return gfake.windows[gwinhint].alive ? &gfake.windows[gwinhint] : nullptr;
  for (size_t i = 0; i < gfake.windows.size(); i++)
    if (gfake.windows[i].id == w && gfake.windows[i].alive) {
      gwinhint = i;
      return &gfake.windows[i];
    }
  return nullptr;
}

// A window call: the test's hook, then the scripted vanishing of a window.
static void windowcall(const char* call) {
  if (gfake.oncall) gfake.oncall(call);
  if (gfake.vanishwin && gfake.vanishafter > 0 && (gfake.vanishon.empty() || gfake.vanishon == call) &&
      --gfake.vanishafter == 0) {
    OsWin w = gfake.vanishwin;
    gfake.vanishwin = 0;
    fakeclosewindow(w);
  }
}

OsWin fakeaddwindow(const char* cls, const char* title, int l, int t, int r, int b) {
  if (gfake.nextid == 0) gfake.nextid = 0x100;
  FakeWindow w{gfake.nextid++, cls, title, {l, t, r, b}, 0, true};
  gfake.windows.insert(gfake.windows.begin(), w);
  gfake.foreground = w.id;
  return w.id;
}

const FakeTimer* fakefindtimer(OsWin win, int id) {
  for (auto& t : gfake.timers)
    if (t.win == win && t.id == id) return &t;
  return nullptr;
}

static FakeDesktop::Item* finditem(OsWin dlg, int id, bool make) {
  for (auto& it : gfake.items)
    if (it.dlg == dlg && it.id == id) return &it;
  if (!make) return nullptr;
  gfake.items.push_back(FakeDesktop::Item{dlg, id, std::string(), 0});
  return &gfake.items.back();
}

OsWin fakefinddialog(int templ) {
  for (auto& x : gfake.windows)
    if (x.alive && x.templ == templ) return x.id;
  return 0;
}

std::string fakeitemtext(OsWin dlg, int id) {
  FakeDesktop::Item* it = finditem(dlg, id, false);
  return it ? it->text : std::string();
}

// ---- files ---------------------------------------------------------------

static std::string hostpath(const char* path) {
  std::string p(path);
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

// Takes one call from a fault count: 1 when this call fails.
static int takefault(long& count) {
  if (count == 0) return 0;
  if (count > 0) count--;
  return 1;
}

static int isdenied(const std::string& hp) {
  for (const std::string& d : gfake.denied) {
    if (d == hp) return 1;
    if (!d.empty() && d.back() == '/' && hp.compare(0, d.size(), d) == 0) return 1;
  }
  return 0;
}

static int failwith(uint32_t error) {
  gfake.lasterror = error;
  return 0;
}

OsHandle oscreatefile(const char* path, uint32_t access, uint32_t share, uint32_t disposition) {
  int flags = 0;
  if ((access & OS_GENERIC_READ) && (access & OS_GENERIC_WRITE)) flags = O_RDWR;
  else if (access & OS_GENERIC_WRITE) flags = O_WRONLY;
  else flags = O_RDONLY;
  switch (disposition) {
    case OS_CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case OS_CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    case OS_OPEN_EXISTING: break;
    case OS_OPEN_ALWAYS: flags |= O_CREAT; break;
    case OS_TRUNCATE_EXISTING: flags |= O_TRUNC; break;
    default: return OS_BADFILE;
  }
  std::string hp = hostpath(path);
  for (const std::string& l : gfake.locked)
    if (l == hp) {
      gfake.lasterror = 32;
      return OS_BADFILE;
    }
  if (access & OS_GENERIC_WRITE)
    for (const std::string& l : gfake.writelocked)
      if (l == hp) {
        gfake.lasterror = 32;  // sharing violation
        return OS_BADFILE;
      }
  if ((access & OS_GENERIC_WRITE) && isdenied(hp)) {
    gfake.lasterror = OS_ERROR_ACCESS_DENIED;
    return OS_BADFILE;
  }
  struct stat st;
  if (stat(hp.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    gfake.lasterror = 5;
    return OS_BADFILE;
  }
  int fd = open(hp.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) {
    gfake.lasterror = errno == ENOENT ? 2 : errno == EEXIST ? 80 : 5;
    return OS_BADFILE;
  }
  gfake.openfiles.push_back({(OsHandle)(fd + 1), hp});
  return (OsHandle)(fd + 1);
}

static int fdof(OsHandle f) { return f == OS_BADFILE || f == 0 ? -1 : (int)(f - 1); }

int osreadfile(OsHandle f, void* buf, uint32_t n, uint32_t* got) {
  *got = 0;
  int fd = fdof(f);
  if (fd < 0) return 0;
  if (n > 1 && takefault(gfake.shortreads)) n /= 2;
  uint32_t total = 0;
  while (total < n) {
    ssize_t r = read(fd, (char*)buf + total, n - total);
    if (r < 0) return 0;
    if (r == 0) break;
    total += (uint32_t)r;
  }
  *got = total;
  return gfake.readfails ? 0 : 1;
}

int oswritefile(OsHandle f, const void* buf, uint32_t n, uint32_t* put) {
  *put = 0;
  int fd = fdof(f);
  if (fd < 0) return failwith(6);
  if (takefault(gfake.writefails)) return failwith(OS_ERROR_WRITE_FAULT);
  uint32_t want = n;
  int isshort = n > 0 && takefault(gfake.shortwrites);
  if (isshort) want = n / 2;
  if (gfake.diskroom >= 0 && (int64_t)want > gfake.diskroom) want = (uint32_t)gfake.diskroom;
  uint32_t total = 0;
  while (total < want) {
    ssize_t r = write(fd, (const char*)buf + total, want - total);
    if (r <= 0) {
      *put = total;
      if (gfake.diskroom >= 0) gfake.diskroom -= total;
      return failwith(errno == ENOSPC ? OS_ERROR_DISK_FULL : OS_ERROR_WRITE_FAULT);
    }
    total += (uint32_t)r;
  }
  *put = total;
  if (gfake.diskroom >= 0) gfake.diskroom -= total;
  if (isshort) {
    gfake.lasterror = 0;
    return 1;
  }
  if (total < n) return failwith(OS_ERROR_DISK_FULL);
  return 1;
}

int osclosehandle(OsHandle h) {
  int fd = fdof(h);
  bool file = false;
  for (size_t i = 0; i < gfake.openfiles.size(); i++)
    if (gfake.openfiles[i].first == h) {
      gfake.openfiles.erase(gfake.openfiles.begin() + (long)i);
      file = true;
      break;
    }
  int ok = fd >= 0 && close(fd) == 0;
  if (ok && file && takefault(gfake.closefails)) {
    gfake.lasterror = 0;
    return 0;
  }
  return ok;
}

int osflushfilebuffers(OsHandle f) {
  int fd = fdof(f);
  if (fd < 0) return failwith(6);
  if (takefault(gfake.flushfails)) return failwith(OS_ERROR_WRITE_FAULT);
  return fsync(fd) == 0 ? 1 : failwith(OS_ERROR_WRITE_FAULT);
}

int osmovefileex(const char* from, const char* to, uint32_t flags) {
  std::string hf = hostpath(from), ht = hostpath(to);
  if (takefault(gfake.movefails) || isdenied(hf) || isdenied(ht)) return failwith(OS_ERROR_ACCESS_DENIED);
  struct stat st;
  if (stat(hf.c_str(), &st) != 0) return failwith(OS_ERROR_FILE_NOT_FOUND);
  if (stat(ht.c_str(), &st) == 0) {
    if (!(flags & OS_MOVEFILE_REPLACE_EXISTING)) return failwith(OS_ERROR_ALREADY_EXISTS);
    if (S_ISDIR(st.st_mode)) return failwith(OS_ERROR_ACCESS_DENIED);
  }
  for (const std::string& l : gfake.locked)
    if (l == ht || l == hf) return failwith(OS_ERROR_SHARING_VIOLATION);
  if (rename(hf.c_str(), ht.c_str()) != 0) return failwith(errno == ENOENT ? OS_ERROR_PATH_NOT_FOUND : 5);
  return 1;
}

int osdeletefile(const char* path) {
  std::string hp = hostpath(path);
  if (takefault(gfake.deletefails) || isdenied(hp)) return failwith(OS_ERROR_ACCESS_DENIED);
  struct stat st;
  if (stat(hp.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return failwith(OS_ERROR_ACCESS_DENIED);
  if (unlink(hp.c_str()) != 0) return failwith(errno == ENOENT ? OS_ERROR_FILE_NOT_FOUND : 5);
  return 1;
}

uint32_t osgetfilesize(OsHandle f) {
  struct stat st;
  int fd = fdof(f);
  if (fd < 0 || fstat(fd, &st) != 0) return OS_INVALID_FILE_SIZE;
  if ((uint64_t)st.st_size >= OS_INVALID_FILE_SIZE) return OS_INVALID_FILE_SIZE;
  return (uint32_t)st.st_size;
}

int ossetfilepointer(OsHandle f, uint32_t offset) {
  int fd = fdof(f);
  return fd >= 0 && lseek(fd, (off_t)offset, SEEK_SET) == (off_t)offset;
}

int oscopyfile(const char* from, const char* to, int failifexists) {
  if (gfake.copyfails) return failwith(OS_ERROR_ACCESS_DENIED);
  std::string ht = hostpath(to);
  if (isdenied(ht)) return failwith(OS_ERROR_ACCESS_DENIED);
  for (const std::string& l : gfake.locked)
    if (l == ht) return failwith(OS_ERROR_SHARING_VIOLATION);
  for (const std::string& l : gfake.writelocked)
    if (l == ht) return failwith(OS_ERROR_SHARING_VIOLATION);
  int in = open(hostpath(from).c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return failwith(errno == ENOENT ? OS_ERROR_FILE_NOT_FOUND : 5);
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (failifexists ? O_EXCL : O_TRUNC);
  int out = open(ht.c_str(), flags, 0644);
  if (out < 0) {
    int e = errno;
    close(in);
    return failwith(e == EEXIST ? 80 : e == ENOENT ? OS_ERROR_PATH_NOT_FOUND : 5);
  }
  char buf[65536];
  int ok = 1;
  uint32_t error = 0;
  for (;;) {
    ssize_t r = read(in, buf, sizeof buf);
    if (r == 0) break;
    if (r < 0) {
      ok = 0;
      error = 30;  // ERROR_READ_FAULT
      break;
    }
    ssize_t fit = r;
    if (gfake.diskroom >= 0 && fit > gfake.diskroom) fit = (ssize_t)gfake.diskroom;
    ssize_t w = fit > 0 ? write(out, buf, (size_t)fit) : 0;
    if (w > 0 && gfake.diskroom >= 0) gfake.diskroom -= w;
    if (w != r) {
      ok = 0;
      error = w == fit || errno == ENOSPC ? OS_ERROR_DISK_FULL : OS_ERROR_WRITE_FAULT;
      break;
    }
  }
  close(in);
  if (close(out) != 0 && ok) {
    ok = 0;
    error = OS_ERROR_WRITE_FAULT;
  }
  if (!ok) {
    unlink(ht.c_str());  // CopyFile leaves no partial copy behind
    return failwith(error);
  }
  return 1;
}

uint32_t osgetcompressedfilesize(const char* path) {
  struct stat st;
  if (stat(hostpath(path).c_str(), &st) != 0) return OS_INVALID_FILE_SIZE;
  if ((uint64_t)st.st_size >= OS_INVALID_FILE_SIZE) return OS_INVALID_FILE_SIZE;
  return (uint32_t)st.st_size;
}

int osgetfiletimelocal(OsHandle f, OsTime* t) {
  struct stat st;
  int fd = fdof(f);
  if (fd < 0 || fstat(fd, &st) != 0) return 0;
  struct tm tm;
  time_t s = st.st_mtime;
  if (!localtime_r(&s, &tm)) return 0;
  t->year = (uint16_t)(tm.tm_year + 1900);
  t->month = (uint16_t)(tm.tm_mon + 1);
  t->dayofweek = (uint16_t)tm.tm_wday;
  t->day = (uint16_t)tm.tm_mday;
  t->hour = (uint16_t)tm.tm_hour;
  t->minute = (uint16_t)tm.tm_min;
  t->second = (uint16_t)tm.tm_sec;
  t->ms = 0;
  return 1;
}

int osgetdiskfreespace(const char* root, uint32_t* spc, uint32_t* bps, uint32_t* freeclusters,
                       uint32_t* totalclusters) {
  gfake.lastdiskroot = root ? root : "";
  if (gfake.diskfails) return 0;
  *spc = gfake.spc;
  *bps = gfake.bps;
  *freeclusters = gfake.freeclusters;
  *totalclusters = gfake.totalclusters;
  return 1;
}

uint32_t osgetcurrentdirectory(uint32_t n, char* buf) {
  std::string d = gfake.cwd;
  if (d.empty()) {
    char tmp[PATH_MAX];
    if (!getcwd(tmp, sizeof tmp)) return 0;
    d = tmp;
  }
  if (d.size() + 1 > n) return (uint32_t)d.size() + 1;
  memcpy(buf, d.c_str(), d.size() + 1);
  return (uint32_t)d.size();
}

void osgetlocaltime(OsTime* t) { *t = gfake.localtime; }

// ---- folders -----------------------------------------------------------------

uint32_t osgetwindowsdirectory(uint32_t n, char* buf) {
  const std::string& d = gfake.windowsdir;
  if (d.empty()) return 0;
  if (d.size() + 1 > n) return (uint32_t)d.size() + 1;
  memcpy(buf, d.c_str(), d.size() + 1);
  return (uint32_t)d.size();
}

int oscreateprocess(const char* program, const char* cmdline, int inherit, uint32_t flags,
                    const OsPlacement* place) {
  bool there = false;
  for (const std::string& p : gfake.programs)
    if (p == program) there = true;
  if (!there) return 0;
  FakeProcess x{program, cmdline, inherit, flags, place != nullptr, place ? *place : OsPlacement{0, 0, 0, 0}};
  gfake.started.push_back(x);
  return 1;
}

int osshellopen(OsWin, const char* path) {
  gfake.opened.push_back(FakeProcess{"", path, 0, 0, false, OsPlacement{0, 0, 0, 0}});
  return gfake.shellopenfails ? 0 : 1;
}

int osfindfile(const char* path) {
  struct stat st;
  return stat(hostpath(path).c_str(), &st) == 0;
}

// ---- the system menu and folder searches ---------------------------------------

// A system menu is its window's id with the top bit set.
#define SYSMENUBIT ((OsHandle)1 << (sizeof(OsHandle) * 8 - 1))

OsHandle osgetsystemmenu(OsWin w) {
  if (gfake.sysmenufails || !findwin(w)) return 0;
  return (OsHandle)w | SYSMENUBIT;
}

int osappendmenu(OsHandle menu, uint32_t flags, uint32_t id, const char* text) {
  if (!(menu & SYSMENUBIT)) return 0;
  gfake.sysmenu.push_back(FakeMenuEntry{(OsWin)(menu & ~SYSMENUBIT), flags, id, text ? text : ""});
  return 1;
}

int oscheckmenuitem(OsHandle menu, uint32_t id, int checked) {
  if (!(menu & SYSMENUBIT)) return 0;
  for (FakeMenuEntry& e : gfake.sysmenu)
    if (e.win == (OsWin)(menu & ~SYSMENUBIT) && e.id == id) {
      e.flags = checked ? e.flags | OS_MF_CHECKED : e.flags & ~OS_MF_CHECKED;
      return 1;
    }
  return 0;
}

// Open searches: the matches not yet told, by handle - 1.
static std::vector<std::vector<OsFindData>> gfinds;

OsHandle osfindfirstfile(const char* pattern, OsFindData* fd) {
  std::string hp = hostpath(pattern);
  size_t cut = hp.rfind('/');
  std::string dir = cut == std::string::npos ? "." : hp.substr(0, cut);
  std::string part = cut == std::string::npos ? hp : hp.substr(cut + 1);
  if (dir.empty()) dir = "/";
  std::vector<OsFindData> found;
  if (DIR* d = opendir(dir.c_str())) {
    while (struct dirent* e = readdir(d)) {
      if (fnmatch(part.c_str(), e->d_name, FNM_CASEFOLD) != 0) continue;
      OsFindData x;
      memset(&x, 0, sizeof x);
      if (strlen(e->d_name) >= sizeof x.name) continue;
      strcpy(x.name, e->d_name);
      struct stat st;
      if (stat((dir + "/" + e->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        x.attributes = OS_FILE_ATTRIBUTE_DIRECTORY;
      found.push_back(x);
    }
    closedir(d);
  }
  if (found.empty()) return OS_BADFILE;
  // Backwards, so the first match is taken from the end.
  std::vector<OsFindData> rev(found.rbegin(), found.rend());
  *fd = rev.back();
  rev.pop_back();
  gfinds.push_back(rev);
  return (OsHandle)gfinds.size();
}

int osfindnextfile(OsHandle h, OsFindData* fd) {
  if (h == 0 || h > gfinds.size() || gfinds[h - 1].empty()) return 0;
  *fd = gfinds[h - 1].back();
  gfinds[h - 1].pop_back();
  return 1;
}

int osfindclose(OsHandle h) {
  if (h == 0 || h > gfinds.size()) return 0;
  gfinds[h - 1].clear();
  return 1;
}

int oscreatedirectory(const char* path) {
  if (gfake.mkdirfails) {
    gfake.lasterror = 5;
    return 0;
  }
  if (mkdir(hostpath(path).c_str(), 0755) != 0) {
    gfake.lasterror = errno == EEXIST ? OS_ERROR_ALREADY_EXISTS : 3;
    return 0;
  }
  return 1;
}


uint32_t osgetlasterror() { return gfake.lasterror; }

// ---- messages ------------------------------------------------------------

int osmessagebox(OsWin owner, const char* text, const char* caption, uint32_t type) {
  if (gfake.oncall) gfake.oncall("osmessagebox");
  int answer = OS_IDOK;
  if (!gfake.onanswer && !gfake.answers.empty()) {
    answer = gfake.answers.front();
    gfake.answers.erase(gfake.answers.begin());
  }
  gfake.boxes.push_back(FakeMessageBox{owner, text ? text : "", caption ? caption : "", type, answer,
                                       gfake.timers.size(), gfake.clipboardopen});
  size_t at = gfake.boxes.size() - 1;  // a callback may show boxes of its own
  if (gfake.onbox) gfake.onbox(FakeMessageBox(gfake.boxes[at]));
  if (gfake.onanswer) answer = gfake.boxes[at].answer = gfake.onanswer(FakeMessageBox(gfake.boxes[at]));
  return answer;
}

// ---- the open-file dialog -----------------------------------------------

int osgetopenfilename(OsWin owner, const char* filter, const char* initialdir, const char* title,
                      uint32_t flags, char* path, uint32_t n) {
  std::string f;
  for (const char* p = filter; p && *p; p += strlen(p) + 1) f.append(p, strlen(p) + 1);
  gfake.opencalls.push_back(FakeOpenCall{owner, f, initialdir ? initialdir : "", title ? title : "", flags,
                                         std::string(path, strnlen(path, n))});
  gfake.dlgerror = 0;
  if (gfake.openanswers.empty()) return 0;
  FakeOpenAnswer a = gfake.openanswers.front();
  gfake.openanswers.erase(gfake.openanswers.begin());
  if (!a.chosen) {
    gfake.dlgerror = a.error;
    return 0;
  }
  if (a.path.size() + 1 > n) {
    gfake.dlgerror = OS_FNERR_BUFFERTOOSMALL;
    return 0;
  }
  memcpy(path, a.path.c_str(), a.path.size() + 1);
  return 1;
}

uint32_t oscommdlgextendederror() { return gfake.dlgerror; }

// ---- windows and dialog items -------------------------------------------

int ossetwindowtext(OsWin w, const char* text) {
  windowcall("ossetwindowtext");
  FakeWindow* x = findwin(w);
  if (!x) return 0;
  x->title = text;
  return 1;
}

int osgetwindowtext(OsWin w, char* buf, int n) {
  windowcall("osgetwindowtext");
  if (n <= 0) return 0;
  gfake.lastgettextsize = n;
  FakeWindow* x = findwin(w);
  if (!x) {
    buf[0] = 0;
    return 0;
  }
  int len = (int)x->title.size();
  if (len > n - 1) len = n - 1;
  memcpy(buf, x->title.data(), (size_t)len);
  buf[len] = 0;
  return len;
}

int ossetdlgitemtext(OsWin dlg, int id, const char* text) {
  finditem(dlg, id, true)->text = text;
  if (gfake.editchange) gfake.editchange(dlg, id);
  return 1;
}

int osgetdlgitemtext(OsWin dlg, int id, char* buf, int n) {
  if (n <= 0) return 0;
  std::string t = fakeitemtext(dlg, id);
  int len = (int)t.size();
  if (len > n - 1) len = n - 1;
  memcpy(buf, t.data(), (size_t)len);
  buf[len] = 0;
  return len;
}

int ossetdlgitemint(OsWin dlg, int id, int value, int issigned) {
  char b[16];
  if (issigned) snprintf(b, sizeof b, "%d", value);
  else snprintf(b, sizeof b, "%u", (unsigned)value);
  return ossetdlgitemtext(dlg, id, b);
}

int osgetdlgitemint(OsWin dlg, int id, int* ok, int issigned) {
  std::string t = fakeitemtext(dlg, id);
  char* end = nullptr;
  long v = strtol(t.c_str(), &end, 10);
  bool good = !t.empty() && end && *end == 0 && (issigned || v >= 0);
  if (ok) *ok = good;
  return good ? (int)v : 0;
}

int oscheckdlgbutton(OsWin dlg, int id, int check) {
  finditem(dlg, id, true)->check = check;
  return 1;
}

int osisdlgbuttonchecked(OsWin dlg, int id) {
  FakeDesktop::Item* it = finditem(dlg, id, false);
  return it ? it->check : 0;
}

OsWin osgetdlgitem(OsWin dlg, int id) { return dlg * 0x10000 + (OsWin)(id & 0xFFFF); }

void osshowwindow(OsWin, int) {}
void osupdatewindow(OsWin) {}

OsWin osfindwindow(const char* cls, const char* title) {
  windowcall("osfindwindow");
  for (auto& x : gfake.windows)
    if (x.alive && (!cls || x.cls == cls) && (!title || x.title == title)) return x.id;
  return 0;
}

int ossetforegroundwindow(OsWin w) {
  windowcall("ossetforegroundwindow");
  if (!findwin(w)) return 0;
  gfake.foreground = w;
  if (gfake.onforeground) gfake.onforeground(w);
  return 1;
}

OsWin osgetforegroundwindow() {
  windowcall("osgetforegroundwindow");
  return gfake.foreground;
}

OsWin osgetwindow(OsWin w, uint32_t cmd) {
  windowcall("osgetwindow");
  if (cmd != OS_GW_HWNDNEXT) return 0;
  if (!findwin(w)) return 0;
  for (size_t i = gwinhint + 1; i < gfake.windows.size(); i++) {
    gwinhint = i;
    gfake.getwindowcalls++;
    if (gfake.windows[i].alive) return gfake.windows[i].id;
  }
  return 0;
}

void fakeclosewindow(OsWin w) {
  FakeWindow* x = findwin(w);
  if (x) x->alive = false;
  if (gfake.foreground == w) gfake.foreground = 0;
}

// ---- timers, clipboard, screen, clock -------------------------------------

int ossettimer(OsWin w, int id, uint32_t ms) {
  for (auto& t : gfake.timers)
    if (t.win == w && t.id == id) {
      t.ms = ms;
      return id;
    }
  gfake.timers.push_back(FakeTimer{w, id, ms});
  return id;
}

int oskilltimer(OsWin w, int id) {
  for (size_t i = 0; i < gfake.timers.size(); i++)
    if (gfake.timers[i].win == w && gfake.timers[i].id == id) {
      gfake.timers.erase(gfake.timers.begin() + (long)i);
      return 1;
    }
  return 0;
}

int osopenclipboard(OsWin) {
  if (gfake.oncall) gfake.oncall("osopenclipboard");
  if (takefault(gfake.clipboardheld)) return failwith(OS_ERROR_ACCESS_DENIED);
  if (gfake.clipboardopen) return 0;
  gfake.clipboardopen = 1;
  return 1;
}

int osemptyclipboard() {
  if (!gfake.clipboardopen) return 0;
  gfake.clipboardempties++;
  gfake.clipseq++;
  gfake.clipboardhasimage = 0;
  gfake.clipimage = 0;
  return 1;
}

OsHandle osgetclipboardbitmap() { return gfake.clipboardopen ? gfake.clipimage : 0; }

uint32_t osgetclipboardsequencenumber() { return gfake.clipseqzero ? 0 : gfake.clipseq; }

int oscloseclipboard() {
  if (!gfake.clipboardopen) return 0;
  gfake.clipboardopen = 0;
  return 1;
}

int osgetsystemmetrics(int index) {
  if (index == OS_SM_CXSCREEN) return gfake.screenw;
  if (index == OS_SM_CYSCREEN) return gfake.screenh;
  return 0;
}

int osqueryperformancefrequency(int64_t* f) {
  *f = gfake.perffreq;
  return 1;
}

int osqueryperformancecounter(int64_t* c) {
  *c = gfake.perfcount;
  return 1;
}

// ---- start-up and the message loop ---------------------------------------

OsHandle oscreatemutex(const char*, int) {
  if (gfake.mutexfails) {
    gfake.lasterror = 5;
    return 0;
  }
  gfake.lasterror = gfake.mutexexists ? OS_ERROR_ALREADY_EXISTS : 0;
  return 0x4D;
}

OsHandle osloadlibrary(const char*) { return gfake.loadlibraryfails ? 0 : 0x7500; }

static void fakesetlayered() {}

void* osgetprocaddress(OsHandle, const char*) {
  return gfake.procaddressfails ? nullptr : (void*)&fakesetlayered;
}

int osfreelibrary(OsHandle) { return 1; }

int osshutdownblockreasoncreate(OsWin, const char* reason) {
  gfake.blockcalls++;
  gfake.blockreason = reason;
  return 1;
}

int osshutdownblockreasondestroy(OsWin) {
  gfake.blockreason.clear();
  return 1;
}

int osregistermainclass() { return gfake.registerfails ? 0 : 1; }

int osdestroywindow(OsWin w) {
  windowcall("osdestroywindow");
  FakeWindow* x = findwin(w);
  if (!x) return 0;
  OsWin owner = x->owner;
  // Owned windows go first, as the system destroys them with their owner.
  for (size_t i = 0; i < gfake.windows.size(); i++)
    if (gfake.windows[i].alive && gfake.windows[i].owner == w && gfake.windows[i].id != w)
      osdestroywindow(gfake.windows[i].id);
  x = findwin(w);
  if (!x) return 1;
  if (gfake.ondestroy) gfake.ondestroy(w);
  x = findwin(w);
  if (!x) return 1;
  x->alive = false;
  for (size_t i = gfake.items.size(); i-- > 0;)
    if (gfake.items[i].dlg == w) gfake.items.erase(gfake.items.begin() + (long)i);
  if (gfake.capture == w) gfake.capture = 0;
  if (gfake.foreground == w) gfake.foreground = owner;
  return 1;
}

void ospostquitmessage(int code) {
  gfake.quitposted++;
  gfake.quitcode = code;
}

void osinitcommoncontrols() {}

// ---- bitmaps and the screen -------------------------------------------------

uint32_t fakepixel(int x, int y) {
  uint32_t r = (uint32_t)(x * 7 + y * 3) & 0xFF;
  uint32_t g = (uint32_t)(x ^ (y * 5)) & 0xFF;
  uint32_t b = (uint32_t)(x / 3 + y * 11 + 1) & 0xFF;
  return r << 16 | g << 8 | b;
}

OsHandle fakeclipimage(int w, int h) {
  OsHandle hd = 0xB000 + (OsHandle)gfake.images.size() * 4;
  gfake.images.push_back(FakeImage{hd, w, h, 1, 0});
  gfake.clipimage = hd;
  gfake.clipboardhasimage = 1;
  gfake.clipseq++;
  return hd;
}

static FakeImage* findimage(OsHandle h) {
  for (auto& i : gfake.images)
    if (i.handle == h) return &i;
  return nullptr;
}

static uint64_t fakeimagesize(int64_t w, int64_t h) {
  if (w < 0) w = -w;
  if (h < 0) h = -h;
  return (uint64_t)((w * 3 + 3) & ~(int64_t)3) * (uint64_t)h;
}

// Bottom-up 24-bit rows of the screen's picture from (left, top), black
// outside the screen.
static void fillrows(uint8_t* buf, int32_t left, int32_t top, int32_t w, int32_t h, int onscreenonly) {
  uint64_t stride = fakeimagesize(w, 1);
  for (int32_t y = 0; y < h; y++) {
    uint8_t* row = buf + stride * (uint64_t)(h - 1 - y);
    memset(row, 0, (size_t)stride);
    for (int32_t x = 0; x < w; x++) {
      int64_t sx = (int64_t)left + x, sy = (int64_t)top + y;
      if (onscreenonly && (sx < 0 || sy < 0 || sx >= gfake.screenw || sy >= gfake.screenh)) continue;
      uint32_t p = fakepixel((int)sx, (int)sy);
      row[3 * x] = (uint8_t)p;
      row[3 * x + 1] = (uint8_t)(p >> 8);
      row[3 * x + 2] = (uint8_t)(p >> 16);
    }
  }
}

int osgetbitmapheader(OsHandle bmp, OsBitmapHeader* h) {
  FakeImage* i = findimage(bmp);
  memset(h, 0, sizeof *h);
  h->size = 40;
  if (!i) return 0;
  h->width = i->width;
  h->height = i->height;
  h->planes = i->planes;
  h->bitcount = 32;
  h->compression = 3;  // bit fields, as a 32-bit screen's bitmap reports it
  h->sizeimage = (uint32_t)(4ull * (uint64_t)(i->width < 0 ? -i->width : i->width) *
                            (uint64_t)(i->height < 0 ? -i->height : i->height));
  h->xppm = 3780;
  h->yppm = 3780;
  return 1;
}

int osgetbitmaprows(OsHandle bmp, OsBitmapHeader* h, void* buf, uint32_t size) {
  FakeImage* i = findimage(bmp);
  if (!i || i->rowsfail) return 0;
  int32_t w = i->width, hh = i->height < 0 ? -i->height : i->height;
  uint64_t need = fakeimagesize(w, hh);
  if (w <= 0 || need > size) return 0;
  h->bitcount = 24;
  h->compression = 0;
  h->sizeimage = (uint32_t)need;
  fillrows((uint8_t*)buf, 0, 0, w, hh, 0);
  gfake.rowsfetched++;
  return 1;
}

int osgrabscreen(const int32_t r[4], OsBitmapHeader* h, void* buf, uint32_t size) {
  gfake.grabs++;
  memcpy(gfake.lastgrab, r, sizeof gfake.lastgrab);
  int64_t w = (int64_t)r[2] - r[0], hh = (int64_t)r[3] - r[1];
  if (w < 0) w = -w;
  if (hh < 0) hh = -hh;
  memset(h, 0, sizeof *h);
  h->size = 40;
  // CreateCompatibleBitmap fails for an empty size
  if (w == 0 || hh == 0 || takefault(gfake.grabfails)) return 0;
  h->planes = 1;
  h->bitcount = 32;
  if (takefault(gfake.blitfails)) return 0;
  if (fakeimagesize(w, hh) > size) return 0;
  fillrows((uint8_t*)buf, r[0], r[1], (int32_t)w, (int32_t)hh, 1);
  gfake.grabsok++;
  return 1;
}

int osgetwindowrect(OsWin w, int32_t r[4]) {
  windowcall("osgetwindowrect");
  FakeWindow* x = findwin(w);
  if (!x) return 0;
  for (int i = 0; i < 4; i++) r[i] = x->rect[i];
  return 1;
}

uint16_t osgetasynckeystate(int vk) { return vk >= 0 && vk < 256 ? gfake.keystate[vk] : 0; }

// ---- memory ------------------------------------------------------------------

uint32_t osavailphys() { return gfake.availphys; }

static FakeBlock* findblock(OsHandle m) {
  for (auto& b : gfake.blocks)
    if (b.handle == m) return &b;
  return nullptr;
}

OsHandle osglobalalloc(uint32_t size) {
  gfake.allocs++;
  if (gfake.allocfailat && gfake.allocs >= gfake.allocfailat) return 0;
  if (gfake.allocrefuse && gfake.allocs == gfake.allocrefuse) return 0;
  static OsHandle next = 0x10000;
  next += 8;
  gfake.blocks.push_back(FakeBlock{next, std::vector<uint8_t>(size, 0xCD), 0});
  uint64_t total = 0;
  for (auto& b : gfake.blocks) total += b.bytes.size();
  if (total > gfake.peakbytes) gfake.peakbytes = total;
  return next;
}

void* osgloballock(OsHandle m) {
  gfake.lockcalls++;
  FakeBlock* b = findblock(m);
  if (!b) return nullptr;
  if (gfake.lockfailat && gfake.lockcalls == gfake.lockfailat) return nullptr;
  b->locks++;
  return b->bytes.data();
}

int osglobalunlock(OsHandle m) {
  FakeBlock* b = findblock(m);
  if (!b || b->locks == 0) return 0;
  return --b->locks > 0;
}

OsHandle osglobalfree(OsHandle m) {
  for (size_t i = 0; i < gfake.blocks.size(); i++)
    if (gfake.blocks[i].handle == m) {
      gfake.blocks.erase(gfake.blocks.begin() + (long)i);
      return 0;
    }
  return m;
}

// ---- messages to windows -----------------------------------------------------

// A dialog item's handle from osgetdlgitem: the dialog and the id.
static FakeDesktop::Item* itemof(OsWin ctl, bool make) {
  return finditem(ctl / 0x10000, (int)(ctl % 0x10000), make);
}

intptr_t ossendmessage(OsWin w, uint32_t msg, uintptr_t wp, intptr_t lp) {
  switch (msg) {
    case OS_PBM_SETRANGE:
      gfake.pbrangelo = (uint32_t)lp & 0xFFFF;
      gfake.pbrangehi = ((uint32_t)lp >> 16) & 0xFFFF;
      break;
    case OS_PBM_SETPOS: gfake.pbpos = (uint32_t)wp; break;
    case OS_PBM_SETBARCOLOR: gfake.pbcolor = (uint32_t)lp; break;
    case OS_CB_RESETCONTENT:
    case OS_LB_RESETCONTENT: {
      FakeDesktop::Item* it = itemof(w, true);
      it->list.clear();
      it->sel = -1;
      return 0;
    }
    case OS_CB_SETCURSEL:
    case OS_LB_SETCURSEL: {
      FakeDesktop::Item* it = itemof(w, true);
      if (wp < it->list.size()) {
        it->sel = (int)wp;
        return (intptr_t)wp;
      }
      it->sel = -1;
      return -1;
    }
    case OS_CB_GETCURSEL:
    case OS_LB_GETCURSEL: {
      FakeDesktop::Item* it = itemof(w, false);
      return it ? it->sel : -1;
    }
    case OS_WM_COMMAND:
      if (gfake.oncommand) gfake.oncommand(w, (int)(wp & 0xFFFF), (int)((wp >> 16) & 0xFFFF), lp);
      break;
    default: break;
  }
  return 0;
}

int osnovisualstyle(OsWin ctl) {
  gfake.unstyled.push_back(ctl);
  return 1;
}

intptr_t osaddstring(OsWin ctl, uint32_t msg, const char* text) {
  if (msg != OS_CB_ADDSTRING && msg != OS_LB_ADDSTRING) return -1;
  FakeDesktop::Item* it = itemof(ctl, true);
  it->list.push_back(text);
  return (intptr_t)it->list.size() - 1;
}

std::vector<std::string> fakelist(OsWin dlg, int id) {
  FakeDesktop::Item* it = finditem(dlg, id, false);
  return it ? it->list : std::vector<std::string>();
}

int fakelistsel(OsWin dlg, int id) {
  FakeDesktop::Item* it = finditem(dlg, id, false);
  return it ? it->sel : -1;
}

void fakesetlistsel(OsWin dlg, int id, int sel) { finditem(dlg, id, true)->sel = sel; }

FakeWindow* fakewindow(OsWin w) { return findwin(w); }

OsWin oscreateupdowncontrol(uint32_t style, OsWin parent, int id, OsWin buddy, int upper, int lower, int pos) {
  gfake.updowns.push_back(FakeUpDown{parent, id, buddy, style, upper, lower, pos});
  // The control keeps its position within its range and shows it in its buddy.
  int lo = lower < upper ? lower : upper, hi = lower < upper ? upper : lower;
  int shown = pos < lo ? lo : pos > hi ? hi : pos;
  if (style & OS_UDS_SETBUDDYINT) ossetdlgitemint(buddy / 0x10000, (int)(buddy % 0x10000), shown, 1);
  return parent * 0x10000 + (OsWin)(id & 0xFFFF);
}

int osmovewindow(OsWin w, int32_t x, int32_t y, int32_t cx, int32_t cy, int) {
  windowcall("osmovewindow");
  FakeWindow* win = findwin(w);
  if (!win) return 0;
  bool moved = win->rect[0] != x || win->rect[1] != y;
  bool sized = win->rect[2] - win->rect[0] != cx || win->rect[3] - win->rect[1] != cy;
  win->rect[0] = x;
  win->rect[1] = y;
  win->rect[2] = x + cx;
  win->rect[3] = y + cy;
  if (moved && gfake.onmoved) gfake.onmoved(w, 0);
  if (sized && gfake.onmoved) gfake.onmoved(w, 1);
  return 1;
}

int osgetclientrect(OsWin w, int32_t r[4]) {
  windowcall("osgetclientrect");
  FakeWindow* win = findwin(w);
  if (!win) return 0;
  r[0] = r[1] = 0;
  r[2] = win->rect[2] - win->rect[0] - 2 * win->border;
  r[3] = win->rect[3] - win->rect[1] - 2 * win->border;
  return 1;
}

int osinvalidaterect(OsWin w, const int32_t* r, int) {
  if (!findwin(w)) return 0;
  gfake.invalidated.push_back({w, r ? std::vector<int32_t>(r, r + 4) : std::vector<int32_t>()});
  return 1;
}

OsWin ossetcapture(OsWin w) {
  OsWin before = gfake.capture;
  gfake.capture = w;
  return before;
}

int osreleasecapture() {
  gfake.capture = 0;
  return 1;
}

int osgetcursorpos(int32_t p[2]) {
  p[0] = gfake.cursor[0];
  p[1] = gfake.cursor[1];
  return 1;
}

int32_t osgetwindowlong(OsWin w, int index) {
  FakeWindow* win = findwin(w);
  return win && index == OS_GWL_EXSTYLE ? win->exstyle : 0;
}

int32_t ossetwindowlong(OsWin w, int index, int32_t value) {
  FakeWindow* win = findwin(w);
  if (!win || index != OS_GWL_EXSTYLE) return 0;
  int32_t before = win->exstyle;
  win->exstyle = value;
  return before;
}

int ossetlayeredwindowattributes(void* fn, OsWin w, uint32_t key, uint8_t, uint32_t flags) {
  if (!fn || gfake.layeredfails || !findwin(w)) return 0;
  gfake.layeredwin = w;
  gfake.layeredkey = key;
  gfake.layeredflags = flags;
  return 1;
}

int oscuttoband(OsWin w, int32_t band) {
  if (!findwin(w)) return 0;
  gfake.cuts.push_back({w, band});
  return 1;
}

int ostrackpopupmenu(OsWin owner, int32_t x, int32_t y, int n, const int* ids, const char* const* texts) {
  FakeMenu m{owner, x, y, {}, {}};
  for (int i = 0; i < n; i++) {
    m.ids.push_back(ids[i]);
    m.texts.push_back(texts[i]);
  }
  gfake.menus.push_back(m);
  // The chosen entry comes to the owner as a posted WM_COMMAND.
  if (gfake.menuanswer) gfake.posted.push_back({owner, gfake.menuanswer});
  gfake.menuanswer = 0;
  return 1;
}

int osgetwindowmodulename(OsWin w, char* buf, int n) {
  windowcall("osgetwindowmodulename");
  if (n <= 0) return 0;
  buf[0] = 0;
  FakeWindow* win = findwin(w);
  if (!win || win->procdenied) return 0;
  int len = (int)win->module.size();
  if (len > n - 1) len = n - 1;
  memcpy(buf, win->module.data(), (size_t)len);
  buf[len] = 0;
  return len;
}

// ---- painting ------------------------------------------------------------------

static OsWin gpainting;

OsHandle osbeginpaint(OsWin w) {
  if (!findwin(w)) return 0;
  gfake.paints++;
  gpainting = w;
  return 0xDC000000u + (OsHandle)w;
}

void osendpaint(OsWin, OsHandle) { gpainting = 0; }

static FakeDraw& newdraw(char kind) {
  gfake.draws.push_back(FakeDraw{gpainting, kind, {0, 0, 0, 0}, 0, 0, std::string(), {0, 0, 0, 0}});
  return gfake.draws.back();
}

int osrectangle(OsHandle, const int32_t r[4], uint32_t fill, uint32_t outline) {
  FakeDraw& d = newdraw('r');
  memcpy(d.r, r, sizeof d.r);
  d.fill = fill;
  d.colour = outline;
  return gfake.rectfails ? 0 : 1;
}

int osdrawline(OsHandle, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
  FakeDraw& d = newdraw('l');
  d.r[0] = x1;
  d.r[1] = y1;
  d.r[2] = x2;
  d.r[3] = y2;
  d.colour = colour;
  return 1;
}

int ostextout(OsHandle, int32_t x, int32_t y, const char* text, uint32_t colour, const int32_t clip[4]) {
  FakeDraw& d = newdraw('t');
  d.r[0] = x;
  d.r[1] = y;
  d.colour = colour;
  d.text = text;
  memcpy(d.clip, clip, sizeof d.clip);
  return 1;
}

void ospostcommand(OsWin w, int id) { gfake.posted.push_back({w, id}); }

// ---- what is held ----------------------------------------------------------------

int fakelockedblocks() {
  int n = 0;
  for (auto& b : gfake.blocks)
    if (b.locks > 0) n++;
  return n;
}

int fakeboxeswithclipboard() {
  int n = 0;
  for (auto& b : gfake.boxes)
    if (b.clipboardopen) n++;
  return n;
}

std::string fakeleftovers() {
  std::string out;
  char line[160];
  for (auto& f : gfake.openfiles) out += "open file: " + f.second + "\n";
  for (auto& b : gfake.blocks) {
    snprintf(line, sizeof line, "memory block %#lx: %zu bytes, %d locks\n", (unsigned long)b.handle, b.bytes.size(),
             b.locks);
    out += line;
  }
  if (gfake.clipboardopen) out += "clipboard open\n";
  return out;
}
