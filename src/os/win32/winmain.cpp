// The Windows entry point.
#include <windows.h>

#include "app/startup.h"
#include "os/win32/oswin32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
  oswin32setinstance(instance);
  return kestomain(show);
}
