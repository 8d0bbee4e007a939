#include "output.h"

#include <algorithm>
#include <cstdio>

namespace quorvel_tool {

namespace {

// One code point from UTF-8 at `i`, which moves past it. False for a byte
// that starts no well-formed sequence; `i` then moves past that byte alone.
bool decode(const std::string &s, size_t &i, uint32_t &cp) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    size_t extra = 0;
    if (c < 0x80) {
        cp = c;
    } else if ((c & 0xE0) == 0xC0) {
        cp = c & 0x1Fu, extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
        cp = c & 0x0Fu, extra = 2;
    } else if ((c & 0xF8) == 0xF0) {
        cp = c & 0x07u, extra = 3;
    } else {
        ++i;
        return false;
    }
    if (extra > 0 && i + extra >= s.size()) {
        ++i;
        return false;
    }
    for (size_t k = 1; k <= extra; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return false;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3Fu);
    }
    static const uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
#if defined(_WIN32)
    // A lone surrogate of a Windows name, as the tool carries it (see
    // textToUnits); on POSIX those are three bytes that are not UTF-8.
    const bool surrogate = false;
#else
    const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
#endif
    if (cp < kMin[extra] || cp > 0x10FFFF || surrogate) {
        ++i;
        return false;
    }
    i += extra + 1;
    return true;
}

// Characters that would act on the terminal rather than show: C0 and C1
// controls, DEL, and the marks that reorder text around them.
bool isControl(uint32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || (cp >= 0x202A && cp <= 0x202E) ||
           (cp >= 0x2066 && cp <= 0x2069) || cp == 0x200E || cp == 0x200F || cp == 0x2028 || cp == 0x2029;
}

bool inRanges(uint32_t cp, const uint32_t (*ranges)[2], size_t count) {
    for (size_t k = 0; k < count; ++k)
        if (cp >= ranges[k][0] && cp <= ranges[k][1]) return true;
    return false;
}

// East Asian Wide and Fullwidth blocks, and the emoji shown two columns wide.
const uint32_t kWide[][2] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x2E80, 0x303E},   {0x3041, 0x33FF},
    {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xA960, 0xA97F},   {0xAC00, 0xD7A3},
    {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},
    {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

// Combining marks and zero-width characters: they take no column.
const uint32_t kZero[][2] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A}, {0x064B, 0x065F},
    {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200B, 0x200D}, {0x20D0, 0x20FF}, {0x302A, 0x302F},
    {0x3099, 0x309A}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF},
};

std::string plain(const Value &v) {
    switch (v.kind) {
        case Value::Number: return std::to_string(v.number);
        case Value::Text: return printable(v.text);
        case Value::Flag: return v.number ? "yes" : "no";
        case Value::Answer: return v.number == 0 ? "no" : v.number == 1 ? "yes" : std::to_string(v.number);
        default: return v.text.empty() ? "-" : printable(v.text);
    }
}

// A JSON string: valid UTF-8 whatever the input, controls escaped. Nothing
// is lost: a byte that is not UTF-8 is the escaped lone surrogate of its
// value (0xFF as \udcff), as the library reads such a byte in a native path;
// a lone surrogate of a Windows name is escaped as itself.
std::string quoted(const std::string &s) {
    std::string out = "\"";
    for (size_t i = 0; i < s.size();) {
        const size_t start = i;
        uint32_t cp = 0;
        char escape[12];
        if (!decode(s, i, cp)) {
            (void)std::snprintf(escape, sizeof escape, "\\u%04x", 0xDC00u + static_cast<unsigned char>(s[start]));
            out += escape;
            continue;
        }
        if (cp == '"' || cp == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(cp));
        } else if (cp == '\n') {
            out += "\\n";
        } else if (cp == '\t') {
            out += "\\t";
        } else if (cp == '\r') {
            out += "\\r";
        } else if (isControl(cp) || (cp >= 0xD800 && cp <= 0xDFFF)) {
            (void)std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(cp));
            out += escape;
        } else {
            out.append(s, start, i - start);
        }
    }
    return out + "\"";
}

std::string json(const Value &v) {
    switch (v.kind) {
        case Value::Number:
        case Value::Answer: return std::to_string(v.number);
        case Value::Text: return quoted(v.text);
        case Value::Flag: return v.number ? "true" : "false";
        default: return "null";
    }
}

std::string pad(const std::string &s, size_t w) {
    const size_t have = displayWidth(s);
    return s + std::string(w > have ? w - have : 0, ' ');
}

}  // namespace

std::string printable(const std::string &s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const size_t start = i;
        uint32_t cp = 0;
        char escape[12];
        if (!decode(s, i, cp)) {
            (void)std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(s[start]));
            out += escape;
        } else if (isControl(cp) || (cp >= 0xD800 && cp <= 0xDFFF)) {
            if (cp < 0x80)
                (void)std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(cp));
            else
                (void)std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(cp));
            out += escape;
        } else {
            out.append(s, start, i - start);
        }
    }
    return out;
}

size_t displayWidth(const std::string &s) {
    size_t columns = 0;
    for (size_t i = 0; i < s.size();) {
        uint32_t cp = 0;
        // A stray byte shows as one column, as its escape is counted elsewhere.
        const bool valid = decode(s, i, cp);
        if (valid && inRanges(cp, kWide, sizeof kWide / sizeof kWide[0]))
            columns += 2;
        else if (!valid || !inRanges(cp, kZero, sizeof kZero / sizeof kZero[0]))
            ++columns;
    }
    return columns;
}

std::string renderText(const Document &doc) {
    std::string out;
    bool first = true;
    for (const auto &s : doc.sections) {
        if (!first) out += "\n";
        first = false;
        if (!s.title.empty()) out += "== " + printable(s.title) + "\n";
        size_t labelWidth = 0;
        for (const auto &f : s.fields) labelWidth = std::max(labelWidth, displayWidth(f.label));
        for (const auto &f : s.fields) out += pad(f.label, labelWidth) + "  " + plain(f.value) + "\n";
        if (!s.columns.empty()) {
            std::vector<size_t> w(s.columns.size());
            for (size_t c = 0; c < s.columns.size(); ++c) {
                w[c] = displayWidth(s.columns[c].label);
                for (const auto &r : s.rows) w[c] = std::max(w[c], displayWidth(plain(r[c])));
            }
            auto line = [&](const std::vector<std::string> &cells) {
                std::string l;
                for (size_t c = 0; c < cells.size(); ++c) l += (c ? "  " : "") + pad(cells[c], w[c]);
                while (!l.empty() && l.back() == ' ') l.pop_back();
                out += l + "\n";
            };
            std::vector<std::string> header;
            for (const auto &c : s.columns) header.push_back(c.label);
            line(header);
            for (const auto &r : s.rows) {
                std::vector<std::string> cells;
                cells.reserve(r.size());
                for (const auto &v : r) cells.push_back(plain(v));
                line(cells);
            }
        }
        for (const auto &n : s.notes) out += printable(n) + "\n";
    }
    return out;
}

std::string renderJson(const Document &doc) {
    std::string out = "{";
    for (size_t i = 0; i < doc.sections.size(); ++i) {
        const Section &s = doc.sections[i];
        out += (i ? ",\n " : "\n ") + quoted(s.key) + ": {";
        bool any = false;
        for (const auto &f : s.fields) {
            out += std::string(any ? ", " : "") + quoted(f.key) + ": " + json(f.value);
            any = true;
        }
        if (!s.columns.empty()) {
            out += std::string(any ? ", " : "") + "\"rows\": [";
            for (size_t r = 0; r < s.rows.size(); ++r) {
                out += r ? ",\n   {" : "\n   {";
                for (size_t c = 0; c < s.columns.size(); ++c)
                    out += std::string(c ? ", " : "") + quoted(s.columns[c].key) + ": " + json(s.rows[r][c]);
                out += "}";
            }
            out += "]";
        }
        out += "}";
    }
    return out + "\n}\n";
}

}  // namespace quorvel_tool
