// Failed file calls in words.
#include "fileerror.h"

#include <cstdio>

#include "gamelog/gamelog.h"
#include "os/os.h"

void errorreason(uint32_t error, char* buf, int n) {
  const char* why;
  switch (error) {
    case OS_ERROR_DISK_FULL:
    case OS_ERROR_HANDLE_DISK_FULL: why = "ディスクの空きが足りません"; break;
    case OS_ERROR_ACCESS_DENIED: why = "書き込みが許可されていません"; break;
    case OS_ERROR_SHARING_VIOLATION:
    case 33: why = "ほかのプログラムが使用中です"; break;  // 33: a lock violation
    case OS_ERROR_FILE_NOT_FOUND: why = "ファイルが見つかりません"; break;
    case OS_ERROR_PATH_NOT_FOUND: why = "フォルダが見つかりません"; break;
    case OS_ERROR_NOT_ENOUGH_MEMORY: why = "メモリが足りません"; break;
    case OS_ERROR_READ_FAULT: why = "読み込みに失敗しました"; break;
    case OS_ERROR_HANDLE_EOF: why = "ファイルを最後まで読めませんでした"; break;
    case OS_ERROR_BAD_FORMAT: why = "ファイルの形式が違います"; break;
    default: why = "書き込みに失敗しました"; break;
  }
  char b[96];
  snprintf(b, sizeof b, "%s (エラー %u)", why, (unsigned)error);
  sjiscopy(buf, n, b);
}

void failuretext(char* buf, int n, const char* head, const char* path, uint32_t error, const char* tail) {
  char why[96];
  errorreason(error, why, (int)sizeof why);
  static char b[2048];
  snprintf(b, sizeof b, "%s\r\n\r\n%s\r\n%s%s%s", head, path, why, tail ? "\r\n\r\n" : "", tail ? tail : "");
  sjiscopy(buf, n, b);
}
