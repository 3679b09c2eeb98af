// The Windows headers, for every Windows file of the program, in the one
// order they need.
#pragma once

#include <windows.h>
// After windows.h, whose types they use.
#include <commctrl.h>
#include <mmsystem.h>
#include <objbase.h>
#include <richedit.h>
#include <shellapi.h>
