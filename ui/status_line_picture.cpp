// The status line's picture: see status_line_picture.h.
#include "ui/status_line_picture.h"

#include <string_view>

#include "ui/fitted_text.h"

void DrawStatusLine(const ControlPicture& picture, int originX, int originY,
                    const ControlRect& room, const ControlRect& headRoom, const std::string& text,
                    const ControlText& face, uint32_t background) {
    auto local = [&](const ControlRect& rect) {
        return ControlRect{rect.left - originX, rect.top - originY, rect.right - originX,
                           rect.bottom - originY};
    };
    const ControlRect tailPart = local(room), headPart = local(headRoom);
    for (const ControlRect& part : {tailPart, headPart}) {
        FillControlRect(picture, part.left, part.top, part.right - part.left,
                        part.bottom - part.top, background);
    }
    if (text.empty()) return;
    auto measure = [&face](std::string_view part) { return face.Width(part); };
    const SplitTextRecord split =
        SplitFittedText(text, headRoom.right - headRoom.left, room.right - room.left, measure);
    auto draw = [&](const ControlRect& part, int x, const std::string& line) {
        const int height = part.bottom - part.top;
        const int baseline =
            part.top + (height - (face.Ascent() + face.Descent())) / 2 + face.Ascent();
        face.Draw(picture, part, x, baseline, line, COLOUR_BUTTON_TEXT);
    };
    if (!split.head.empty()) draw(headPart, headPart.right - measure(split.head), split.head);
    draw(tailPart, tailPart.left, split.tail);
}
