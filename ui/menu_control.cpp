// The popup menu's layout, picture and rules: see menu_control.h. To
// restyle the menu, this is the one file to change.
#include "ui/menu_control.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "ui/scaling.h"

namespace {

// Layout in 96-DPI pixels.
constexpr int EDGE = 2;
constexpr int ITEM_PADDING = 4;
constexpr int CHECK_GUTTER = 24;
constexpr int TEXT_RIGHT = 20;
constexpr int SEPARATOR_HEIGHT = 8;
constexpr int MIN_WIDTH = 120;  // a short menu is no narrower than this

// A size in picture pixels grown to a whole number of 96-DPI pixels, as a
// Wayland surface's size is given in logical pixels; with it the menu is the
// same size on a layer that sizes windows in pixels.
int WholeLogicalPixels(int pixels, double scale) {
    if (scale <= 0) return pixels;
    return static_cast<int>(std::lround(std::ceil(pixels / scale - 1e-9) * scale));
}

}  // namespace

MenuControl::MenuControl(std::vector<PopupMenuItem> items, const ControlText& text, double scale)
    : text_(text), scale_(scale) {
    int itemHeight = text.Ascent() + text.Descent() + 2 * ScaleValue(ITEM_PADDING, scale);
    int top = ScaleValue(EDGE, scale), widest = 0;
    for (PopupMenuItem& item : items) {
        int height = item.command == 0 ? ScaleValue(SEPARATOR_HEIGHT, scale) : itemHeight;
        widest = std::max(widest, text.Width(item.text));
        rows_.push_back(Row{std::move(item), top, height});
        top += height;
    }
    wantedWidth_ = std::max(ScaleValue(MIN_WIDTH, scale),
                            2 * ScaleValue(EDGE, scale) + ScaleValue(CHECK_GUTTER, scale) + widest +
                                ScaleValue(TEXT_RIGHT, scale));
    wantedWidth_ = WholeLogicalPixels(wantedWidth_, scale);
    wantedHeight_ = WholeLogicalPixels(top + ScaleValue(EDGE, scale), scale);
    width_ = wantedWidth_;
    height_ = wantedHeight_;
}

void MenuControl::SetPictureSize(int width, int height) {
    width_ = width;
    height_ = height;
}

bool MenuControl::Selectable(int row) const {
    return row >= 0 && row < RowCount() && rows_[row].item.command != 0 && rows_[row].item.enabled;
}

int MenuControl::RowAt(int x, int y) const {
    if (x < 0 || x >= width_) return -1;
    for (int i = 0; i < RowCount(); ++i) {
        if (y >= rows_[i].top && y < rows_[i].top + rows_[i].height) return i;
    }
    return -1;
}

MenuAnswer MenuControl::Highlight(int row) {
    MenuAnswer answer;
    if (row == highlighted_) return answer;
    answer.firstRow =
        highlighted_ < 0 ? row : (row < 0 ? highlighted_ : std::min(row, highlighted_));
    answer.lastRow = std::max(row, highlighted_);
    highlighted_ = row;
    return answer;
}

void MenuControl::HighlightFirst() {
    Move(1, true);
}

MenuAnswer MenuControl::PointerMove(int x, int y) {
    int row = RowAt(x, y);
    return Highlight(Selectable(row) ? row : -1);
}

MenuAnswer MenuControl::PointerLeave() {
    return Highlight(-1);
}

MenuAnswer MenuControl::PointerRelease(int x, int y, bool leftOrRight) {
    if (!leftOrRight) return MenuAnswer{};
    return Choose(RowAt(x, y));
}

MenuAnswer MenuControl::Choose(int row) const {
    MenuAnswer answer;
    if (!Selectable(row)) return answer;
    answer.command = rows_[row].item.command;
    answer.close = true;
    return answer;
}

MenuAnswer MenuControl::Move(int direction, bool toEnd) {
    int count = RowCount();
    // From nothing lit, Up starts past the last item as Down starts before
    // the first.
    int at = toEnd || highlighted_ < 0 ? (direction > 0 ? -1 : count) : highlighted_;
    for (int step = 0; step < count; ++step) {
        at += direction;
        if (!toEnd) at = (at + count) % count;
        if (at < 0 || at >= count) break;
        if (Selectable(at)) return Highlight(at);
    }
    return MenuAnswer{};
}

MenuAnswer MenuControl::Key(uint32_t keysym) {
    switch (keysym) {
        case KEYSYM_UP:
            return Move(-1, false);
        case KEYSYM_DOWN:
            return Move(1, false);
        case KEYSYM_HOME:
            return Move(1, true);
        case KEYSYM_END:
            return Move(-1, true);
        case KEYSYM_RETURN:
        case KEYSYM_KP_ENTER:
        case KEYSYM_SPACE:
            return Choose(highlighted_);
        case KEYSYM_ESCAPE: {
            MenuAnswer answer;
            answer.close = true;
            return answer;
        }
        default:
            return MenuAnswer{};
    }
}

void MenuControl::Draw(const ControlPicture& given) const {
    // Never past the picture the layer handed in.
    ControlPicture picture = given;
    picture.width = std::min(picture.width, width_);
    picture.height = std::min(picture.height, height_);
    if (picture.pixels == nullptr || picture.width <= 0 || picture.height <= 0) return;
    int width = picture.width, height = picture.height;
    FillControlRect(picture, 0, 0, width, height, COLOUR_BUTTON_FACE);
    DrawEdgeRing(picture, 0, 0, width, height, 0, COLOUR_3D_LIGHT, COLOUR_3D_DARK_SHADOW);
    DrawEdgeRing(picture, 0, 0, width, height, 1, COLOUR_BUTTON_HIGHLIGHT, COLOUR_BUTTON_SHADOW);
    int edge = ScaleValue(EDGE, scale_), gutter = ScaleValue(CHECK_GUTTER, scale_);
    int inner = width - 2 * edge;
    for (int i = 0; i < RowCount(); ++i) {
        const Row& row = rows_[i];
        if (row.item.command == 0) {
            int middle = row.top + row.height / 2;
            FillControlRect(picture, edge + 1, middle - 1, inner - 2, 1, COLOUR_BUTTON_SHADOW);
            FillControlRect(picture, edge + 1, middle, inner - 2, 1, COLOUR_BUTTON_HIGHLIGHT);
            continue;
        }
        bool lit = i == highlighted_;
        if (lit) FillControlRect(picture, edge, row.top, inner, row.height, COLOUR_HIGHLIGHT);
        uint32_t ink = !row.item.enabled ? COLOUR_GREY_TEXT
                                         : (lit ? COLOUR_HIGHLIGHT_TEXT : COLOUR_BUTTON_TEXT);
        int ascent = text_.Ascent();
        int baseline = row.top + (row.height - (ascent + text_.Descent())) / 2 + ascent;
        ControlRect clip{edge, std::max(row.top, 0), width - edge,
                         std::min(row.top + row.height, height)};
        text_.Draw(picture, clip, edge + gutter, baseline, row.item.text, ink);
        if (row.item.checked) {
            // A tick: two strokes, as thick as the text's stems.
            int size = std::max(6, row.height / 3), pen = std::max(1, ScaleValue(2, scale_) / 2);
            int x = edge + (gutter - size) / 2, y = row.top + (row.height - size) / 2;
            for (int step = 0; step <= size / 3; ++step) {
                FillControlRect(picture, x + step, y + size / 2 + step, pen, pen + 1, ink);
            }
            for (int step = 0; step <= size - size / 3; ++step) {
                FillControlRect(picture, x + size / 3 + step, y + size - step - 1, pen, pen + 1,
                                ink);
            }
        }
    }
}
