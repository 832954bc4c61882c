// A tiny TrueType font built in code, for the TrueType import's tests and
// the fuzzing seed corpus (no binary font file is kept in the repository).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace ttf_builder {

using Bytes = std::vector<std::uint8_t>;

inline void Put8(Bytes& b, std::uint32_t v) { b.push_back(static_cast<std::uint8_t>(v)); }
inline void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }
// The font's tables are big-endian.
inline void Be16(Bytes& b, std::uint32_t v) {
    Put8(b, v >> 8);
    Put8(b, v);
}
inline void Be32(Bytes& b, std::uint32_t v) {
    Be16(b, v >> 16);
    Be16(b, v & 0xFFFF);
}

// One simple glyph: a single closed contour of on-curve points, coordinates
// stored as 16-bit deltas.
inline Bytes SimpleGlyph(const std::vector<std::pair<std::int32_t, std::int32_t>>& points) {
    std::int32_t xMin = points[0].first, xMax = xMin, yMin = points[0].second, yMax = yMin;
    for (const auto& [x, y] : points) {
        xMin = std::min(xMin, x);
        xMax = std::max(xMax, x);
        yMin = std::min(yMin, y);
        yMax = std::max(yMax, y);
    }
    Bytes g;
    Be16(g, 1);  // one contour
    for (std::int32_t v : {xMin, yMin, xMax, yMax}) Be16(g, static_cast<std::uint32_t>(v));
    Be16(g, static_cast<std::uint32_t>(points.size() - 1));         // its last point
    Be16(g, 0);                                                     // no instructions
    for (std::size_t i = 0; i < points.size(); ++i) Put8(g, 0x01);  // on curve, 16-bit coordinates
    std::int32_t last = 0;
    for (const auto& p : points) {
        Be16(g, static_cast<std::uint32_t>(p.first - last));
        last = p.first;
    }
    last = 0;
    for (const auto& p : points) {
        Be16(g, static_cast<std::uint32_t>(p.second - last));
        last = p.second;
    }
    while (g.size() % 4) Put8(g, 0);
    return g;
}

}  // namespace ttf_builder

// A minimal TrueType font: glyph 0 (the missing glyph, empty), 'A' a
// triangle, 'B' a box and ' ' an empty glyph, with just the tables a font
// engine needs to open it and render those glyphs. Coordinates are in
// thousandths of an em, except the box's right and top edge, given in font
// units (a forged font draws it far outside the em square).
inline std::vector<std::uint8_t> Quillory_TrueTypeFont(std::uint16_t unitsPerEm = 1000, std::int32_t boxRight = 520,
                                                       std::int32_t boxTop = 700) {
    using namespace ttf_builder;
    const auto em = [unitsPerEm](std::int32_t thousandths) { return thousandths * unitsPerEm / 1000; };
    const std::vector<Bytes> glyphs = {
        {},
        SimpleGlyph({{em(50), 0}, {em(300), em(700)}, {em(550), 0}}),
        SimpleGlyph({{em(80), 0}, {em(80), boxTop}, {boxRight, boxTop}, {boxRight, 0}}),
        {},
    };
    const std::uint32_t numGlyphs = static_cast<std::uint32_t>(glyphs.size());
    Bytes glyf, loca;
    for (const Bytes& g : glyphs) {
        Be16(loca, static_cast<std::uint32_t>(glyf.size() / 2));
        Append(glyf, g);
    }
    Be16(loca, static_cast<std::uint32_t>(glyf.size() / 2));

    Bytes head;
    Be32(head, 0x00010000);  // version
    Be32(head, 0x00010000);  // font revision
    Be32(head, 0);           // checksum adjustment
    Be32(head, 0x5F0F3CF5);  // magic
    Be16(head, 0x000B);      // flags: baseline at 0, integer scaling
    Be16(head, unitsPerEm);
    for (int i = 0; i < 4; ++i) Be32(head, 0);  // created, modified
    Be16(head, 0);
    Be16(head, 0);
    Be16(head, static_cast<std::uint32_t>(std::max(em(600), boxRight)));
    Be16(head, static_cast<std::uint32_t>(std::max(em(700), boxTop)));  // bounding box
    Be16(head, 0);                                                      // mac style
    Be16(head, 8);                                                      // lowest readable size
    Be16(head, 2);                                                      // direction hint
    Be16(head, 0);                                                      // short loca offsets
    Be16(head, 0);                                                      // glyph data format

    Bytes hhea;
    Be32(hhea, 0x00010000);
    Be16(hhea, static_cast<std::uint32_t>(em(800)));   // ascender
    Be16(hhea, static_cast<std::uint32_t>(-em(200)));  // descender
    Be16(hhea, 0);                                     // line gap
    Be16(hhea, static_cast<std::uint32_t>(em(650)));   // widest advance
    Be16(hhea, 0);
    Be16(hhea, 0);
    Be16(hhea, static_cast<std::uint32_t>(em(600)));
    Be16(hhea, 1);  // caret slope rise
    Be16(hhea, 0);
    Be16(hhea, 0);
    for (int i = 0; i < 4; ++i) Be16(hhea, 0);
    Be16(hhea, 0);  // metric data format
    Be16(hhea, numGlyphs);

    Bytes maxp;
    Be32(maxp, 0x00010000);
    Be16(maxp, numGlyphs);
    Be16(maxp, 4);  // points
    Be16(maxp, 1);  // contours
    Be16(maxp, 0);
    Be16(maxp, 0);
    Be16(maxp, 2);  // zones
    for (int i = 0; i < 8; ++i) Be16(maxp, 0);

    Bytes hmtx;
    for (std::uint32_t i = 0; i < numGlyphs; ++i) {
        Be16(hmtx, static_cast<std::uint32_t>(em(i == 3 ? 250 : 650)));
        Be16(hmtx, static_cast<std::uint32_t>(em(50)));
    }

    // Character map: Unicode (platform 3, encoding 1), format 4 with the
    // segment ' ' -> 3, 'A'..'B' -> 1..2 and the closing 0xFFFF segment.
    Bytes cmap;
    Be16(cmap, 0);
    Be16(cmap, 1);
    Be16(cmap, 3);
    Be16(cmap, 1);
    Be32(cmap, 12);
    const std::uint32_t ends[] = {32, 66, 0xFFFF}, starts[] = {32, 65, 0xFFFF};
    const std::uint32_t deltas[] = {static_cast<std::uint32_t>(3 - 32) & 0xFFFF,
                                    static_cast<std::uint32_t>(1 - 65) & 0xFFFF, 1};
    const std::uint32_t segments = 3;
    Be16(cmap, 4);
    Be16(cmap, 16 + 8 * segments);  // subtable length
    Be16(cmap, 0);
    Be16(cmap, segments * 2);
    Be16(cmap, 4);  // search range
    Be16(cmap, 1);  // entry selector
    Be16(cmap, 2);  // range shift
    for (std::uint32_t v : ends) Be16(cmap, v);
    Be16(cmap, 0);
    for (std::uint32_t v : starts) Be16(cmap, v);
    for (std::uint32_t v : deltas) Be16(cmap, v);
    for (std::uint32_t i = 0; i < segments; ++i) Be16(cmap, 0);

    Bytes post;
    Be32(post, 0x00030000);  // no glyph names
    for (int i = 0; i < 7; ++i) Be32(post, 0);

    // Tables in tag order, each 4-byte aligned, with the directory first.
    const std::vector<std::pair<const char*, Bytes*>> tables = {
        {"cmap", &cmap}, {"glyf", &glyf}, {"head", &head}, {"hhea", &hhea},
        {"hmtx", &hmtx}, {"loca", &loca}, {"maxp", &maxp}, {"post", &post},
    };
    Bytes font;
    const std::uint32_t count = static_cast<std::uint32_t>(tables.size());
    Be32(font, 0x00010000);
    Be16(font, count);
    Be16(font, 128);  // search range: 16 × 8
    Be16(font, 3);
    Be16(font, count * 16 - 128);
    std::uint32_t offset = 12 + 16 * count;
    for (const auto& [tag, table] : tables) {
        std::uint32_t sum = 0;
        Bytes padded = *table;
        while (padded.size() % 4) padded.push_back(0);
        for (std::size_t i = 0; i < padded.size(); i += 4)
            sum += std::uint32_t{padded[i]} << 24 | std::uint32_t{padded[i + 1]} << 16 |
                   std::uint32_t{padded[i + 2]} << 8 | padded[i + 3];
        for (int i = 0; i < 4; ++i) Put8(font, static_cast<std::uint8_t>(tag[i]));
        Be32(font, sum);
        Be32(font, offset);
        Be32(font, static_cast<std::uint32_t>(table->size()));
        offset += static_cast<std::uint32_t>(padded.size());
    }
    for (const auto& entry : tables) {
        Append(font, *entry.second);
        while (font.size() % 4) Put8(font, 0);
    }
    return font;
}
