// The fake desktop's files and disk: real files and folders on the host
// (backslashes in paths become slashes) under the scripted disk figures,
// denials and write faults.
#include "os/fake/fakeos.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fnmatch.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "os/fake/fakeshared.h"

// A Shift-JIS path as the host's: its separators become slashes; the second
// byte of a double-byte character (0x5C in 表 or ソ) is no separator, as on
// Windows.
static std::string hostpath(const char* path) {
  std::string p(path);
  for (size_t i = 0; i < p.size(); i++) {
    unsigned char c = (unsigned char)p[i];
    if (((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) && i + 1 < p.size()) {
      i++;
      continue;
    }
    if (c == '\\') p[i] = '/';
  }
  return p;
}

static int isdenied(const std::string& hp) {
  for (const std::string& d : gfake.denied) {
    if (d == hp) return 1;
    if (!d.empty() && d.back() == '/' && hp.compare(0, d.size(), d) == 0) return 1;
  }
  return 0;
}

// ---- files ------------------------------------------------------------------

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

// ---- the disk and folders ---------------------------------------------------

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

uint32_t osgetwindowsdirectory(uint32_t n, char* buf) {
  const std::string& d = gfake.windowsdir;
  if (d.empty()) return 0;
  if (d.size() + 1 > n) return (uint32_t)d.size() + 1;
  memcpy(buf, d.c_str(), d.size() + 1);
  return (uint32_t)d.size();
}

int osfindfile(const char* path) {
  struct stat st;
  return stat(hostpath(path).c_str(), &st) == 0;
}

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
  gfake.finds.push_back(rev);
  return (OsHandle)gfake.finds.size();
}

int osfindnextfile(OsHandle h, OsFindData* fd) {
  if (h == 0 || h > gfake.finds.size() || gfake.finds[h - 1].empty()) return 0;
  *fd = gfake.finds[h - 1].back();
  gfake.finds[h - 1].pop_back();
  return 1;
}

int osfindclose(OsHandle h) {
  if (h == 0 || h > gfake.finds.size()) return 0;
  gfake.finds[h - 1].clear();
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
