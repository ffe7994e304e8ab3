// Shared helpers of the native tests, tools and benchmarks.
#include "support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "app/live.h"
#include "app/server.h"
#include "app/ticks.h"
#include "kesto.h"
#include "loggen.h"
#include "os/fake/fakeos.h"

std::string maketempdir() {
  char tmpl[] = "/tmp/kestotest.XXXXXX";
  char* d = mkdtemp(tmpl);
  return d ? std::string(d) : std::string();
}

void removetree(const std::string& dir) {
  if (dir.rfind("/tmp/kestotest.", 0) != 0) return;
  std::string cmd = "rm -rf '" + dir + "'";
  if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", dir.c_str());
}

std::string readfile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

bool writefile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << bytes;
  return (bool)f;
}

void kestoreset() {
  memset(&gkesto, 0, sizeof gkesto);
  memset(&glive, 0, sizeof glive);
  memset(&gserver, 0, sizeof gserver);
  // The server's housekeeping is not left to a later test's window.
  removehousekeeper(serverhousekeeping);
  fakereset();
}

std::string logshot(int player, int stroke, int hole, int club, float metres, int power) {
  uint8_t rec[SHOTSIZE];
  for (int i = 0; i < SHOTSIZE; i++) rec[i] = (uint8_t)(i * 5);
  rec[12] = (uint8_t)(hole - 1);
  rec[40] = (uint8_t)club;
  memcpy(rec + 106, &metres, 4);
  rec[157] = 0;
  rec[158] = (uint8_t)power;
  char line[32];
  snprintf(line, sizeof line, "*Player%d %02d\r\n", player, stroke);
  return line + logshotblock(rec);
}

std::string logbegin(const std::vector<std::string>& names, const std::string& course) {
  std::string s = "*Game Setting*\r\nMode:Stroke Players:" + std::to_string(names.size()) + "\r\n";
  for (size_t i = 0; i < names.size(); i++) s += "Player" + std::to_string(i + 1) + ":" + names[i] + "\r\n";
  return s + "** Stroke Begin **\r\n2009/04/05 20:00:00\r\n*Club Setting*\r\nName: " + course + "\r\nTee:  2\r\n";
}

std::string loghole(int h) {
  char line[48];
  snprintf(line, sizeof line, "*Hole %2d\r\n Par4 325m Wind 0m\r\n", h);
  return line;
}

std::string completeloginit(const std::string& golf) {
  return "// loginit.txt\r\nHOME=C:\\kesto\r\nDGPATH=" + golf +
         "\r\nREAD_COURSE=0\r\nSAVE_COURSE=0\r\nIEXPLORE=0\r\nINTERVAL=1"
         "\r\nCAPTUREPAGE=100\r\nDEFAULTAREA=-29,-3,-3,-3\r\nCUSTOMAREA=-31,-5,-5,-5\r\n"
         "ENABLEAREA=2\r\nLOCKONWINDOW=1\r\nENABLECAPKEY=0\r\nSELECTCAPKEY=L-Alt\r\n";
}
