#include "pdf/blankfont.h"

#include <cstdint>
#include <vector>

namespace blankfont {

const char *const kName = "QuilloText";

namespace {

// Big-endian fields, as every TrueType table stores them.
class Table
{
public:
    explicit Table(const char *tag) : m_tag(tag) {}
    Table &u16(int value)
    {
        m_bytes.push_back(char((value >> 8) & 0xFF));
        m_bytes.push_back(char(value & 0xFF));
        return *this;
    }
    Table &u32(uint32_t value)
    {
        u16(int(value >> 16));
        return u16(int(value & 0xFFFF));
    }
    Table &zeros(int count)
    {
        m_bytes.append(size_t(count), '\0');
        return *this;
    }
    Table &text(const std::string &bytes)
    {
        m_bytes += bytes;
        return *this;
    }
    const std::string &tag() const { return m_tag; }
    const std::string &bytes() const { return m_bytes; }

private:
    std::string m_tag;
    std::string m_bytes;
};

uint32_t checksum(const std::string &bytes)
{
    uint32_t sum = 0;
    for (size_t i = 0; i < bytes.size(); i += 4) {
        uint32_t word = 0;
        for (size_t k = 0; k < 4; ++k)
            word = (word << 8) | (i + k < bytes.size() ? uint8_t(bytes[i + k]) : 0u);
        sum += word;
    }
    return sum;
}

std::string utf16be(const std::string &ascii)
{
    std::string out;
    for (const char c : ascii) {
        out += '\0';
        out += c;
    }
    return out;
}

Table head()
{
    Table t("head");
    t.u32(0x00010000).u32(0x00010000); // version, font revision
    t.u32(0);                          // checksum adjustment, set once the file is whole
    t.u32(0x5F0F3CF5).u16(0x000B).u16(kUnitsPerEm);
    t.zeros(16);                                   // created, modified
    t.u16(0).u16(kDescent & 0xFFFF).u16(kUnitsPerEm).u16(kAscent); // bounding box
    t.u16(0).u16(8).u16(2);                        // style, smallest size, direction
    return t.u16(0).u16(0);                        // short loca offsets, glyph format
}

Table hhea()
{
    Table t("hhea");
    t.u32(0x00010000).u16(kAscent).u16(kDescent & 0xFFFF).u16(0);
    t.u16(kUnitsPerEm).u16(0).u16(0).u16(0); // widest advance, bearings, extent
    t.u16(1).u16(0).u16(0).zeros(8);         // caret upright
    return t.u16(0).u16(1);                  // one metric for every glyph
}

Table maxp()
{
    Table t("maxp");
    t.u32(0x00010000).u16(1); // one glyph
    t.zeros(8).u16(2);        // no points or contours; zones
    return t.zeros(16);
}

Table hmtx()
{
    return Table("hmtx").u16(kUnitsPerEm).u16(0);
}

Table loca()
{
    return Table("loca").u16(0).u16(0); // .notdef takes no bytes
}

Table cmap()
{
    // Windows Unicode with the closing segment alone: every character maps to .notdef.
    Table t("cmap");
    t.u16(0).u16(1).u16(3).u16(1).u32(12);
    t.u16(4).u16(24).u16(0).u16(2).u16(2).u16(0).u16(0); // format 4, one segment
    return t.u16(0xFFFF).u16(0).u16(0xFFFF).u16(1).u16(0);
}

Table name()
{
    const std::vector<std::pair<int, std::string>> names{
        {1, kName}, {2, "Regular"}, {3, std::string(kName) + " 1.0"}, {4, kName}, {5, "Version 1.0"}, {6, kName}};
    Table t("name");
    t.u16(0).u16(int(names.size())).u16(6 + 12 * int(names.size()));
    std::string strings;
    for (const auto &entry : names) {
        const std::string value = utf16be(entry.second);
        t.u16(3).u16(1).u16(0x409).u16(entry.first).u16(int(value.size())).u16(int(strings.size()));
        strings += value;
    }
    return t.text(strings);
}

Table post()
{
    Table t("post");
    t.u32(0x00030000).u32(0).u16(-100 & 0xFFFF).u16(50); // no glyph names
    return t.u32(1).zeros(16);                            // fixed pitch
}

Table os2()
{
    Table t("OS/2");
    t.u16(4).u16(kUnitsPerEm).u16(400).u16(5).u16(0); // installable embedding
    t.u16(650).u16(600).u16(0).u16(75).u16(650).u16(600).u16(0).u16(350); // sub- and superscripts
    t.u16(50).u16(300).u16(0).zeros(10);              // strikeout, class, panose
    t.zeros(16).text("NONE");                         // Unicode ranges, vendor
    t.u16(0x0040).u16(0xFFFF).u16(0xFFFF);            // regular; the cmap's one character
    t.u16(kAscent).u16(kDescent & 0xFFFF).u16(0).u16(kAscent).u16(-kDescent);
    t.zeros(8);                                       // code pages
    return t.u16(500).u16(700).u16(0).u16(32).u16(0);
}

} // namespace

std::string fontFile()
{
    // Directory order is tag order; 'OS/2' sorts first.
    const std::vector<Table> tables{os2(), cmap(), Table("glyf"), head(), hhea(), hmtx(), loca(), maxp(),
                                    name(), post()};
    const int count = int(tables.size());
    int power = 1;
    int log = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log;
    }
    Table directory("");
    directory.u32(0x00010000).u16(count).u16(power * 16).u16(log).u16(count * 16 - power * 16);

    std::string body;
    size_t offset = 12 + 16 * size_t(count);
    size_t headOffset = 0;
    for (const Table &table : tables) {
        directory.text(table.tag()).u32(checksum(table.bytes())).u32(uint32_t(offset));
        directory.u32(uint32_t(table.bytes().size()));
        std::string padded = table.bytes();
        padded.append((4 - padded.size() % 4) % 4, '\0');
        if (table.tag() == "head")
            headOffset = offset;
        body += padded;
        offset += padded.size();
    }
    std::string file = directory.bytes() + body;
    const uint32_t adjustment = 0xB1B0AFBAu - checksum(file);
    for (int k = 0; k < 4; ++k)
        file[headOffset + 8 + size_t(k)] = char((adjustment >> (24 - 8 * k)) & 0xFF);
    return file;
}

} // namespace blankfont
