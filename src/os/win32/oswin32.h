// What the Windows entry point hands the system seam.
#pragma once

#include <windows.h>

void oswin32setinstance(HINSTANCE h);
