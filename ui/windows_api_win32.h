// The Windows headers, for every file of the Win32 layer. The program's own
// headers that declare constants under Windows macro names (MM_WIM_DATA,
// BN_CLICKED, WAVE_MAPPER, WAVE_FORMAT_PCM, WHDR_DONE ...) come first; the
// macros that windows.h defines afterwards have the same values, so either
// spelling means the same thing from here on.
#pragma once

#include "capture/capture_device.h"
#include "capture/wave_format.h"
#include "ui/messages.h"
// Windows after them.
#include <windows.h>
// After windows.h, whose types they use.
#include <commctrl.h>
#include <mmsystem.h>
#include <objbase.h>
#include <richedit.h>
#include <shellapi.h>
