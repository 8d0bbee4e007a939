// What a command prints, built whole before anything is written, so that a
// failure never leaves half a result; rendered as text for people or as
// JSON for scripts.
#ifndef QUORVEL_TOOLS_OUTPUT_H
#define QUORVEL_TOOLS_OUTPUT_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quorvel_tool {

// Number: a number as such. Answer: a number the library returned, printed
// as yes/no when it is 0 or 1 but kept as the number in JSON. Flag: a yes/no
// fact of the tool's own (true/false in JSON). Missing: null in JSON, and in
// text "-" or the words in `text` that say what applies instead.
struct Value {
    enum Kind { Number, Text, Flag, Answer, Missing } kind = Missing;
    int64_t number = 0;
    std::string text;
};

inline Value num(int64_t n) { return Value{Value::Number, n, {}}; }
inline Value text(std::string s) { return Value{Value::Text, 0, std::move(s)}; }
inline Value flag(bool b) { return Value{Value::Flag, b ? 1 : 0, {}}; }
inline Value answer(int64_t n) { return Value{Value::Answer, n, {}}; }
inline Value missing(std::string shown = std::string()) { return Value{Value::Missing, 0, std::move(shown)}; }

struct Field {
    std::string key;    // JSON name
    std::string label;  // text label
    Value value;
};

struct Column {
    std::string key;
    std::string label;
};

struct Section {
    std::string key;    // JSON name of the section
    std::string title;  // text heading; empty for none
    std::vector<Field> fields;
    std::vector<Column> columns;  // a table when not empty
    std::vector<std::vector<Value>> rows;
    std::vector<std::string> notes;  // text output only

    Section &field(std::string k, std::string label, Value v) {
        fields.push_back({std::move(k), std::move(label), std::move(v)});
        return *this;
    }
};

struct Document {
    std::vector<Section> sections;
    Section &add(std::string key, std::string title) {
        sections.push_back(Section{});
        sections.back().key = std::move(key);
        sections.back().title = std::move(title);
        return sections.back();
    }
};

std::string renderText(const Document &doc);
std::string renderJson(const Document &doc);

// `s` safe for a terminal: control characters, bidirectional overrides,
// bytes that are not UTF-8 and lone surrogates as backslash escapes (\x1b,
// \u202e, \xff, \udc80).
std::string printable(const std::string &s);
// Columns `s` takes on a terminal: 2 for wide (East Asian) characters, 0 for
// combining marks, 1 for the rest. Expects printable text.
size_t displayWidth(const std::string &s);

}  // namespace quorvel_tool

#endif
