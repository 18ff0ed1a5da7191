// Centres a dialog over a window, or over its monitor's work area: the
// placement both dialogs make when they open.
#pragma once

#include "platform/win32.h"

// centre: the window to centre over; null or hidden or minimised means the
// dialog's owner, then the work area of the nearest monitor. Moves only the
// position, without activating; leaves the dialog alone when no monitor
// answers.
void centreWindow(HWND dialog, HWND centre);
