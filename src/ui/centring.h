// Where a dialog goes when it centres itself over a window or, without one,
// over the work area of its monitor: plain arithmetic on screen rectangles.
#pragma once

struct ScreenRect {
    int left;
    int top;
    int right;
    int bottom;
};

struct ScreenPoint {
    int x;
    int y;
};

// The dialog's new top-left corner: centred on reference (null: on the area),
// then pushed back inside the area, right and bottom first, so the left and
// top edges stay visible when the dialog is larger than the area.
ScreenPoint centredPosition(const ScreenRect& dialog, const ScreenRect* reference, const ScreenRect& area);
