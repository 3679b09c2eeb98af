// The popup menu as a control of its own, for window layers that have no
// toolkit to draw one: its layout, its picture (a raised edge, a check mark
// before a checked item, greyed text for a disabled one, an etched line for
// a separator, the highlighted item in the selection colours) and its rules
// for the mouse and the keys. The layer keeps the window or surface, the
// grab, presenting the picture and posting the choice; it hands the control
// positions in the picture's pixels and keys as keysyms, and the control
// answers with what to do.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "ui/control_keys.h"
#include "ui/control_picture.h"
#include "ui/popup_menu.h"

// What the layer does after an input: draw rows firstRow..lastRow again
// (none when firstRow < 0), and end the menu when `close` is set, posting
// `command` to the owner when it is not 0.
struct MenuAnswer {
    int firstRow = -1, lastRow = -1;
    int64_t command = 0;
    bool close = false;
};

class MenuControl {
public:
    // Lays the items out at `scale` (1 at 96 DPI) in `text`'s measures; the
    // text must outlive the control.
    MenuControl(std::vector<PopupMenuItem> items, const ControlText& text, double scale);

    // The size the menu wants, in picture pixels.
    int Width() const { return wantedWidth_; }
    int Height() const { return wantedHeight_; }
    // The size of the picture the layer could make (a fractional scale
    // rounds it): the edge is drawn along it and the pointer hits within it.
    void SetPictureSize(int width, int height);

    int RowCount() const { return static_cast<int>(rows_.size()); }
    int RowTop(int row) const { return rows_[row].top; }
    int RowHeight(int row) const { return rows_[row].height; }
    int Highlighted() const { return highlighted_; }

    // Opened from the keyboard: the first enabled item is lit, so that
    // Enter chooses it.
    void HighlightFirst();

    // The pointer at (x, y) in the picture: the enabled item under it is
    // lit, none when it is over anything else.
    MenuAnswer PointerMove(int x, int y);
    // The pointer left the menu: nothing is lit.
    MenuAnswer PointerLeave();
    // A button let go at (x, y) in the picture: the left or the right one
    // chooses the enabled item there, as a menu tracked with the right
    // button does on Windows; the middle one chooses nothing.
    MenuAnswer PointerRelease(int x, int y, bool leftOrRight);
    // A key pressed (or repeated): Up and Down light the previous or next
    // enabled item, going round; Home and End the first or last; Enter and
    // Space choose the lit one; Escape closes.
    MenuAnswer Key(uint32_t keysym);

    // The whole menu, into a picture of at least the size set.
    void Draw(const ControlPicture& picture) const;

private:
    struct Row {
        PopupMenuItem item;
        int top = 0, height = 0;
    };
    bool Selectable(int row) const;
    int RowAt(int x, int y) const;
    MenuAnswer Highlight(int row);
    MenuAnswer Move(int direction, bool toEnd);
    MenuAnswer Choose(int row) const;

    const ControlText& text_;
    double scale_;
    std::vector<Row> rows_;
    int highlighted_ = -1;
    int wantedWidth_ = 0, wantedHeight_ = 0;
    int width_ = 0, height_ = 0;
};
