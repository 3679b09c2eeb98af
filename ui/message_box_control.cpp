// The message box's layout, picture and rules: see message_box_control.h.
#include "ui/message_box_control.h"

#include <algorithm>

#include "ui/control_keys.h"
#include "ui/scaling.h"

namespace {

// Layout in 96-DPI pixels.
constexpr int MARGIN = 24;
constexpr int MIN_TEXT_WIDTH = 160;
constexpr int BUTTON_WIDTH = 88;
constexpr int BUTTON_HEIGHT = 26;
constexpr int STRIP_HEIGHT = 44;
constexpr int EMPTY_LINE_HEIGHT = 12;  // a line's height where the font has no measures
// The box grows no larger: a picture for a runaway text stays small, and
// the text is cut at its edges.
constexpr int LARGEST = 2000;

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    for (;;) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

}  // namespace

MessageBoxControl::MessageBoxControl(std::string_view text, const ControlText& font, double scale)
    : font_(font), scale_(scale), lines_(SplitLines(text)), ok_("OK", BUTTON_DEFAULT) {
    int fontHeight = font.Ascent() + font.Descent();
    lineHeight_ = fontHeight > 0 ? fontHeight : ScaleValue(EMPTY_LINE_HEIGHT, scale);
    margin_ = ScaleValue(MARGIN, scale);
    strip_ = ScaleValue(STRIP_HEIGHT, scale);
    ok_.SetSize(ScaleValue(BUTTON_WIDTH, scale), ScaleValue(BUTTON_HEIGHT, scale));
    const int largest = ScaleValue(LARGEST, scale);
    int textWidth = ScaleValue(MIN_TEXT_WIDTH, scale);
    for (const std::string& line : lines_) textWidth = std::max(textWidth, font.Width(line));
    int64_t textHeight = static_cast<int64_t>(lineHeight_) * static_cast<int64_t>(lines_.size());
    wantedWidth_ = std::min(std::max(textWidth, ok_.Width()) + 2 * margin_, largest);
    wantedHeight_ = static_cast<int>(std::min<int64_t>(2 * margin_ + textHeight + strip_, largest));
    SetPictureSize(wantedWidth_, wantedHeight_);
}

void MessageBoxControl::SetPictureSize(int width, int height) {
    width_ = width;
    height_ = height;
    buttonX_ = width - margin_ / 2 - ok_.Width();
    buttonY_ = height - strip_ + (strip_ - ok_.Height()) / 2;
}

ControlRect MessageBoxControl::ButtonRect() const {
    return ControlRect{buttonX_, buttonY_, buttonX_ + ok_.Width(), buttonY_ + ok_.Height()};
}

MessageBoxAnswer MessageBoxControl::Answer(const ButtonAnswer& button) const {
    MessageBoxAnswer answer;
    answer.redraw = button.redraw;
    if (button.clicked) {
        answer.close = true;
        answer.result = MESSAGE_BOX_OK;
    }
    return answer;
}

MessageBoxAnswer MessageBoxControl::PointerPress(int x, int y) {
    return Answer(ok_.PointerPress(x - buttonX_, y - buttonY_));
}

MessageBoxAnswer MessageBoxControl::PointerMove(int x, int y) {
    return Answer(ok_.PointerMove(x - buttonX_, y - buttonY_));
}

MessageBoxAnswer MessageBoxControl::PointerRelease(int x, int y) {
    return Answer(ok_.PointerRelease(x - buttonX_, y - buttonY_));
}

MessageBoxAnswer MessageBoxControl::Key(uint32_t keysym) {
    MessageBoxAnswer answer;
    if (keysym == KEYSYM_RETURN || keysym == KEYSYM_KP_ENTER || keysym == KEYSYM_ESCAPE ||
        keysym == KEYSYM_SPACE) {
        answer.close = true;
        answer.result = MESSAGE_BOX_OK;
    }
    return answer;
}

void MessageBoxControl::Draw(const ControlPicture& given) const {
    // Never past the picture the layer handed in.
    ControlPicture picture = given;
    picture.width = std::min(picture.width, width_);
    picture.height = std::min(picture.height, height_);
    if (picture.pixels == nullptr || picture.width <= 0 || picture.height <= 0) return;
    const int stripTop = height_ - strip_;
    FillControlRect(picture, 0, 0, width_, stripTop, COLOUR_WINDOW);
    FillControlRect(picture, 0, stripTop, width_, strip_, COLOUR_BUTTON_FACE);
    const ControlRect textArea = ControlRectIn(picture, 0, 0, width_, stripTop);
    int top = margin_;
    for (const std::string& line : lines_) {
        if (top >= textArea.bottom) break;
        font_.Draw(picture, textArea, margin_, top + font_.Ascent(), line, COLOUR_BUTTON_TEXT);
        top += lineHeight_;
    }
    // OK has the focus while the box is up.
    ok_.Draw(picture, buttonX_, buttonY_, font_, true);
}
