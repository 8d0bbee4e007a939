#include "output.h"

#include <algorithm>
#include <cstdio>

namespace quorvel_tool {

namespace {

std::string plain(const Value &v) {
    switch (v.kind) {
        case Value::Number: return std::to_string(v.number);
        case Value::Text: return v.text;
        case Value::Flag: return v.number ? "yes" : "no";
        default: return "-";
    }
}

std::string quoted(const std::string &s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char escape[8];
                    (void)std::snprintf(escape, sizeof escape, "\\u%04x", c);
                    out += escape;
                } else {
                    out.push_back(static_cast<char>(c));
                }
        }
    }
    return out + "\"";
}

std::string json(const Value &v) {
    switch (v.kind) {
        case Value::Number: return std::to_string(v.number);
        case Value::Text: return quoted(v.text);
        case Value::Flag: return v.number ? "true" : "false";
        default: return "null";
    }
}

// Display width of UTF-8 text: one column per code point.
size_t width(const std::string &s) {
    return static_cast<size_t>(std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string pad(const std::string &s, size_t w) { return s + std::string(w > width(s) ? w - width(s) : 0, ' '); }

}  // namespace

std::string renderText(const Document &doc) {
    std::string out;
    bool first = true;
    for (const auto &s : doc.sections) {
        if (!first) out += "\n";
        first = false;
        if (!s.title.empty()) out += "== " + s.title + "\n";
        size_t labelWidth = 0;
        for (const auto &f : s.fields) labelWidth = std::max(labelWidth, width(f.label));
        for (const auto &f : s.fields) out += pad(f.label, labelWidth) + "  " + plain(f.value) + "\n";
        if (!s.columns.empty()) {
            std::vector<size_t> w(s.columns.size());
            for (size_t c = 0; c < s.columns.size(); ++c) {
                w[c] = width(s.columns[c].label);
                for (const auto &r : s.rows) w[c] = std::max(w[c], width(plain(r[c])));
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
        for (const auto &n : s.notes) out += n + "\n";
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
