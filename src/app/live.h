// The live state of the game in progress, for streaming tools: every shot
// the watcher reads, in order, and the board of the game from its first
// hole; one JSON form of it, and the text files in live\ under the program
// folder (UTF-8 with a BOM, CR LF, each replaced whole within the step that
// saw the shot).  Fed by the main window's tick from the watcher's events.
#pragma once

#include <cstdint>

#include "config/livesettings.h"
#include "gamelog/gamelog.h"
#include "os/os.h"

// The text files, one bit each in LiveState::pending.
enum LiveFile { LiveShotTxt, LiveBoardTxt, LivePlayerTxt, LiveHoleTxt, LiveClubTxt, LivePowerTxt,
                LiveRemainingTxt, LiveToParTxt, LIVEFILES };
extern const char* const klivefiles[LIVEFILES];
#define LIVEFILETEXT 2048  // the longest text of a file (board.txt: four lines)

struct LiveState {
  int32_t seq;           // shots read since KESTO started
  int32_t hasshot;
  LiveShot shot;         // the last shot, with its own club, power and distance left
  GameRecord game;       // the game in progress as read so far
  int32_t hasgame;       // a game has begun in what was read
  int32_t gamepos;       // where its parse begins in the live buffer
  int32_t parsed;        // bytes of the live buffer read for the board
  int32_t haspars;       // the course table knows the course
  int8_t par[18];
  LiveSettings set;      // live.txt as read or last written
  int32_t setbad;        // damaged lines of live.txt (told once at start)
  int32_t setbadline;
  int32_t setunread;     // live.txt is there but could not be read
  uint32_t seterror;
  int32_t settold;       // start-up has told of it
  uint32_t pending;      // text files waiting to be written, a bit each
  int32_t failures;      // text-file writes that failed since start
  uint32_t lasterror;    // the reason of the last
  char lastfile[24];     // and its file
  int32_t told;          // the status line told of the failures since the last success
  int32_t written;       // text-file replacements made
  OsWin dlg;             // "配信の設定" while open
};
extern LiveState glive;

// A new game is followed: no shot, no game (the count of shots, the
// settings, the files waiting and the dialog stay).
void livereset();
// Start-up: reads live.txt in the program folder (a missing file: all off).
void livestart();
// The watcher's events.
void livegamestarted(int32_t len, int whole);
void liveshot(const LiveShot& s);
void livelogread(int32_t upto);
// After the watcher's events of a work tick: the text files changed by them
// are replaced, and those refused before are tried again.
void livetick();
// The whole log text in the live buffer (len bytes): its shots and its last
// game, as kestocard --live reads a log.
void livefromlog(int32_t len);
// The JSON form of the state into dst (n bytes); its length, -1 when cut.
int32_t livejson(char* dst, int32_t n);
// One member's value of that JSON (the game, the last shot or the board) as
// livejson writes it; its length, -1 when cut.
enum LivePart { LiveGamePart, LiveShotPart, LiveBoardPart };
int32_t livejsonpart(int32_t which, char* dst, int32_t n);
// A Shift-JIS text (len bytes at most, up to its NUL) as a JSON string in
// UTF-8, quoted and escaped as livejson escapes; its length, -1 when cut.
int32_t livejsontext(const char* sjis, int32_t len, char* dst, int32_t n);
// The UTF-8 text of a text file (without BOM), lines ending CR LF; its
// length, -1 when there is nothing to write yet.
int32_t livefiletext(int32_t file, char* dst, int32_t n);
// "配信用テキストファイル" chosen: FILES switched and live.txt written.
void livetogglefiles();
// The system menu's two entries and their commands.
void livemenu(OsWin main);
int livesyscommand(int id);
// "配信の設定…".
void livedlginit(OsWin d);
void livedlgcommand(OsWin d, int id, int code, intptr_t lp);
void livedlgclose(OsWin d);
void livedlgdestroyed(OsWin d);
// The page server: started with the window when live.txt says SERVER=1;
// 1 when it could not start (the reason waits for liveservernotice).
int livestartserver();
// Tells why the page server could not start, once, through tickbox.
void liveservernotice();
// The system menu's "配信サーバー" and the dialog's switch: on or off, and
// live.txt written.
void livetoggleserver();
// The server's address "http://127.0.0.1:PORT/" into buf.
void liveaddress(char* buf, int n);
// A message for the user about live.txt that start-up could not take whole;
// 0 when there is none.
int livestartnotice(char* buf, int n);
