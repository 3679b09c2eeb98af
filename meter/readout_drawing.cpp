// The readout stands in one place on each meter, under the middle of the
// scale, where neither the needle's discs nor the marks ever reach: the eye
// finds it there whatever the level.
#include "meter/readout_drawing.h"

#include "draw/primitives.h"
#include "draw/small_font.h"
#include "meter/meter_table.h"
#include "meter/needle.h"
#include "meter/scale_marks.h"

namespace {

constexpr uint32_t READOUT_COLOUR = RGB(240, 240, 240);
constexpr int32_t READOUT_SIZE = 2;   // times the marks' size
constexpr int32_t BOTTOM_MARGIN = 3;  // font pixels of the marks' size

bool ValidSlot(int64_t slot) {
    return slot >= 1 && slot < MeterTableSize();
}

PictureRect Place(int64_t slot, const std::string& text) {
    const MeterRecord& meter = MeterAt(slot);
    const int32_t scale = MarkScale(meter.imageWidth) * READOUT_SIZE;
    const int32_t width = SmallTextWidth(text, scale);
    const int32_t bottom = meter.pictureHeight - BOTTOM_MARGIN * scale / READOUT_SIZE;
    const auto left = static_cast<int32_t>(meter.pivotX) - width / 2;
    return PictureRect{left, bottom - SMALL_FONT_HEIGHT * scale, left + width, bottom};
}

}  // namespace

PictureRect ReadoutRect(int64_t slot, const std::string& text) {
    if (!ValidSlot(slot)) return PictureRect{};
    return Place(slot, text);
}

void DrawReadout(int64_t slot, const std::string& text, bool over) {
    if (!ValidSlot(slot)) return;
    const PictureRect place = Place(slot, text);
    const int32_t scale = MarkScale(MeterAt(slot).imageWidth) * READOUT_SIZE;
    DrawSmallText(place.left, place.top, text, scale, over ? OVERLOAD_COLOUR : READOUT_COLOUR);
}
