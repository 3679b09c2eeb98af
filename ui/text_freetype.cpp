// The control font through fontconfig and FreeType, drawn with grey-level
// anti-aliasing as Xft draws it for the X11 layer.
#include "ui/text_freetype.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <string>

#include "system/utf8_text.h"
#include "ui/fallback_font.h"

struct ControlTextFace::Face {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    int ascent = 0, descent = 0;

    ~Face() {
        if (face != nullptr) FT_Done_Face(face);
        if (library != nullptr) FT_Done_FreeType(library);
    }
};

namespace {

// The file of the family fontconfig matches for `family`; empty when none.
std::string MatchFontFile(const char* family) {
    if (!FcInit()) return {};
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
    if (pattern == nullptr) return {};
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    std::string file;
    FcChar8* path = nullptr;
    if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
        file = reinterpret_cast<const char*>(path);
    }
    if (match != nullptr) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return file;
}

uint32_t Blend(uint32_t under, uint32_t over, unsigned coverage) {
    uint32_t result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        unsigned a = (under >> shift) & 0xFF, b = (over >> shift) & 0xFF;
        unsigned mixed = (a * (255 - coverage) + b * coverage + 127) / 255;
        result |= mixed << shift;
    }
    return result;
}

}  // namespace

ControlTextFace::ControlTextFace() = default;
ControlTextFace::~ControlTextFace() = default;

bool ControlTextFace::Open(double pixels) {
    face_.reset();
    fallbackSize_ = FallbackFontSizeFor(pixels);
    auto face = std::make_unique<Face>();
    if (FT_Init_FreeType(&face->library) != 0) return false;
    for (const char* family : {"DejaVu Sans", "sans-serif"}) {
        std::string file = MatchFontFile(family);
        if (file.empty()) continue;
        if (FT_New_Face(face->library, file.c_str(), 0, &face->face) == 0) break;
        face->face = nullptr;
    }
    if (face->face == nullptr) return false;
    FT_UInt size = static_cast<FT_UInt>(std::clamp(std::lround(pixels), 1L, 1000L));
    if (FT_Set_Pixel_Sizes(face->face, 0, size) != 0) return false;
    face->ascent = static_cast<int>((face->face->size->metrics.ascender + 63) >> 6);
    face->descent = static_cast<int>((-face->face->size->metrics.descender + 63) >> 6);
    face_ = std::move(face);
    return true;
}

bool ControlTextFace::IsOpen() const {
    return face_ != nullptr || fallbackSize_ > 0;
}

int ControlTextFace::Ascent() const {
    if (!face_) return fallbackSize_ > 0 ? FallbackFontAscent(fallbackSize_) : 0;
    return face_->ascent;
}

int ControlTextFace::Descent() const {
    if (!face_) return fallbackSize_ > 0 ? FallbackFontDescent(fallbackSize_) : 0;
    return face_->descent;
}

int ControlTextFace::Width(std::string_view text) const {
    if (!face_) return fallbackSize_ > 0 ? FallbackFontWidth(text, fallbackSize_) : 0;
    long advance = 0;
    ForEachShownCharacter(text, [&](char32_t codePoint) {
        if (FT_Load_Char(face_->face, codePoint, FT_LOAD_DEFAULT) == 0) {
            advance += face_->face->glyph->advance.x;
        }
        return true;
    });
    return static_cast<int>((advance + 32) >> 6);
}

void ControlTextFace::Draw(const ControlPicture& target, const ControlRect& clip, int x,
                           int baseline, std::string_view text, uint32_t colour) const {
    if (target.pixels == nullptr) return;
    if (!face_) {
        if (fallbackSize_ > 0) {
            DrawFallbackText(target, clip, x, baseline, text, fallbackSize_, colour);
        }
        return;
    }
    uint32_t ink = PictureColour(colour);
    int left = std::max(clip.left, 0), top = std::max(clip.top, 0);
    int right = std::min(clip.right, target.width);
    int bottom = std::min(clip.bottom, target.height);
    long penX = static_cast<long>(x) << 6;
    // Past the clip's right by more than a glyph's overhang can reach back,
    // nothing more shows.
    const long lastPen = (static_cast<long>(right) + face_->ascent + face_->descent) << 6;
    ForEachShownCharacter(text, [&](char32_t codePoint) {
        if (penX > lastPen) return false;
        if (FT_Load_Char(face_->face, codePoint, FT_LOAD_RENDER) != 0) return true;
        FT_GlyphSlot glyph = face_->face->glyph;
        const FT_Bitmap& bitmap = glyph->bitmap;
        int originX = static_cast<int>((penX + 32) >> 6) + glyph->bitmap_left;
        int originY = baseline - glyph->bitmap_top;
        if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
            for (unsigned row = 0; row < bitmap.rows; ++row) {
                int y = originY + static_cast<int>(row);
                if (y < top || y >= bottom) continue;
                const unsigned char* source =
                    bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
                uint32_t* line = target.pixels + static_cast<ptrdiff_t>(y) * target.stride;
                for (unsigned column = 0; column < bitmap.width; ++column) {
                    int px = originX + static_cast<int>(column);
                    if (px < left || px >= right || source[column] == 0) continue;
                    line[px] = Blend(line[px], ink, source[column]);
                }
            }
        }
        penX += glyph->advance.x;
        return true;
    });
}
