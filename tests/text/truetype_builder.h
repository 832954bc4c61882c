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
inline void Be16(Bytes& b, std::uint32_t v) { Append(b, {std::uint8_t(v >> 8), std::uint8_t(v)}); }
inline void Be32(Bytes& b, std::uint32_t v) {
    Append(b, {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)});
}

// One simple glyph: a single closed contour of on-curve points, coordinates
// stored as 16-bit deltas.
inline Bytes SimpleGlyph(const std::vector<std::pair<std::int32_t, std::int32_t>>& points) {
    const auto [left, right] = std::minmax_element(points.begin(), points.end());
    const auto [bottom, top] = std::minmax_element(points.begin(), points.end(),
                                                   [](const auto& a, const auto& b) { return a.second < b.second; });
    Bytes g;
    Be16(g, 1);  // one contour
    for (std::int32_t v : {left->first, bottom->second, right->first, top->second})
        Be16(g, static_cast<std::uint32_t>(v));
    Be16(g, static_cast<std::uint32_t>(points.size() - 1));         // its last point
    Be16(g, 0);                                                     // no instructions
    for (std::size_t i = 0; i < points.size(); ++i) Put8(g, 0x01);  // on curve, 16-bit coordinates
    for (std::size_t i = 0; i < points.size(); ++i)
        Be16(g, static_cast<std::uint32_t>(points[i].first - (i ? points[i - 1].first : 0)));
    for (std::size_t i = 0; i < points.size(); ++i)
        Be16(g, static_cast<std::uint32_t>(points[i].second - (i ? points[i - 1].second : 0)));
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

    const std::uint32_t right = static_cast<std::uint32_t>(std::max(em(600), boxRight));
    const std::uint32_t top = static_cast<std::uint32_t>(std::max(em(700), boxTop));
    Bytes head;
    // Version, font revision, checksum adjustment, magic.
    for (const std::uint32_t v : {0x00010000u, 0x00010000u, 0u, 0x5F0F3CF5u}) Be32(head, v);
    Be16(head, 0x000B);  // flags: baseline at 0, integer scaling
    Be16(head, unitsPerEm);
    for (int i = 0; i < 4; ++i) Be32(head, 0);  // created, modified
    // Bounding box, mac style, lowest readable size, direction hint, short
    // loca offsets, glyph data format.
    for (const std::uint32_t v : {0u, 0u, right, top, 0u, 8u, 2u, 0u, 0u}) Be16(head, v);

    Bytes hhea;
    Be32(hhea, 0x00010000);
    // Ascender, descender, line gap, widest advance, two minimum bearings,
    // the largest extent, caret slope rise and run, caret offset, four
    // reserved words, metric data format, metrics count.
    for (const std::int32_t v :
         {em(800), -em(200), 0, em(650), 0, 0, em(600), 1, 0, 0, 0, 0, 0, 0, 0, static_cast<std::int32_t>(numGlyphs)})
        Be16(hhea, static_cast<std::uint32_t>(v));

    Bytes maxp;
    Be32(maxp, 0x00010000);
    // Glyphs, points, contours, composite points and contours, zones, then
    // eight limits the engine does not need.
    for (const std::uint32_t v : {numGlyphs, 4u, 1u, 0u, 0u, 2u, 0u, 0u, 0u, 0u, 0u, 0u, 0u, 0u}) Be16(maxp, v);

    Bytes hmtx;
    for (std::uint32_t i = 0; i < numGlyphs; ++i) {
        Be16(hmtx, static_cast<std::uint32_t>(em(i == 3 ? 250 : 650)));
        Be16(hmtx, static_cast<std::uint32_t>(em(50)));
    }

    // Character map: Unicode (platform 3, encoding 1), format 4 with the
    // segment ' ' -> 3, 'A'..'B' -> 1..2 and the closing 0xFFFF segment.
    Bytes cmap;
    for (const std::uint32_t v : {0u, 1u, 3u, 1u}) Be16(cmap, v);  // version, one subtable, its platform
    Be32(cmap, 12);
    const std::uint32_t segments = 3, spaceDelta = (3u - 32u) & 0xFFFF, letterDelta = (1u - 65u) & 0xFFFF;
    // Format, length, language, segments x 2, search range, entry selector,
    // range shift.
    for (const std::uint32_t v : {4u, 16 + 8 * segments, 0u, segments * 2, 4u, 1u, 2u}) Be16(cmap, v);
    // The segments' ends, a pad, their starts and deltas, no range offsets.
    for (const std::uint32_t v : {32u, 66u, 0xFFFFu, 0u, 32u, 65u, 0xFFFFu, spaceDelta, letterDelta, 1u, 0u, 0u, 0u})
        Be16(cmap, v);

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
    // Table count, search range (16 x 8), entry selector, range shift.
    for (const std::uint32_t v : {count, 128u, 3u, count * 16 - 128}) Be16(font, v);
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
