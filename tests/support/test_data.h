// The tests' data files: tests/data, copied into the build tree, where
// QUORVEL_TEST_DATA names the copy (see tests/CMakeLists.txt).
//
// A table (*.tsv) holds one case a line, its cells separated by tabs; empty
// lines and lines starting with '#' are skipped. Cells are ASCII and spell
// anything else with escapes, which unescape() reads:
//   \\  \t  \r  \n   backslash, tab, CR, LF
//   \xHH             the unit U+00HH
//   \uXXXX           one UTF-16 unit (a lone surrogate too)
//   \{N}             the next character or escape, N times
#ifndef QUORVEL_TESTS_TEST_DATA_H
#define QUORVEL_TESTS_TEST_DATA_H

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

#if !defined(QUORVEL_TEST_DATA)
#error "QUORVEL_TEST_DATA must name the copy of tests/data"
#endif

// `name` is relative to tests/data, with '/' between its parts.
inline std::filesystem::path dataPath(const std::string &name) {
    return std::filesystem::absolute(std::filesystem::u8path(QUORVEL_TEST_DATA)) / std::filesystem::u8path(name);
}

inline std::string readData(const std::string &name) {
    std::ifstream f(dataPath(name), std::ios::binary);
    if (!f) ADD_FAILURE() << "cannot read " << dataPath(name).string();
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

struct DataRow {
    std::string where;  // "table.tsv:12", for failure messages
    std::vector<std::string> cells;
};

// The rows of a table, each of `columns` cells; any other row is a failure.
inline std::vector<DataRow> readTable(const std::string &name, size_t columns) {
    std::vector<DataRow> rows;
    std::istringstream in(readData(name));
    std::string line;
    for (size_t number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        DataRow row{name + ":" + std::to_string(number), {}};
        for (size_t start = 0;;) {
            size_t tab = line.find('\t', start);
            row.cells.push_back(line.substr(start, tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        if (row.cells.size() == columns) {
            rows.push_back(row);
        } else {
            ADD_FAILURE() << row.where << ": " << row.cells.size() << " cells, expected " << columns;
        }
    }
    if (rows.empty()) ADD_FAILURE() << name << ": no rows";
    return rows;
}

inline U16String unescape(const std::string &cell) {
    U16String out;
    auto number = [&cell](size_t at, size_t length, int base) {
        const std::string digits = cell.substr(at, length);
        const char *valid = base == 16 ? "0123456789abcdefABCDEF" : "0123456789";
        if (digits.empty() || digits.size() != length || digits.find_first_not_of(valid) != std::string::npos) {
            ADD_FAILURE() << "bad escape in \"" << cell << "\"";
            return 0ul;
        }
        return std::stoul(digits, nullptr, base);
    };
    for (size_t i = 0; i < cell.size();) {
        size_t count = 1;
        if (cell.compare(i, 2, "\\{") == 0) {
            const size_t close = cell.find('}', i);
            count = number(i + 2, close == std::string::npos ? 0 : close - i - 2, 10);
            i = close == std::string::npos ? cell.size() : close + 1;
            if (i == cell.size()) break;
        }
        unsigned long unit = static_cast<unsigned char>(cell[i]);
        size_t length = 1;
        if (unit >= 0x80) ADD_FAILURE() << "a byte beyond ASCII in \"" << cell << "\"; write it as an escape";
        if (unit == '\\') {
            const char kind = i + 1 < cell.size() ? cell[i + 1] : '\0';
            length = kind == 'x' ? 4 : kind == 'u' ? 6 : 2;
            if (kind == 'x' || kind == 'u') {
                unit = number(i + 2, length - 2, 16);
            } else if (kind == '\\' || kind == 't' || kind == 'r' || kind == 'n') {
                const char plain = kind == 't' ? '\t' : kind == 'r' ? '\r' : kind == 'n' ? '\n' : '\\';
                unit = static_cast<unsigned char>(plain);
            } else {
                ADD_FAILURE() << "unknown escape in \"" << cell << "\"";
            }
        }
        out.append(count, static_cast<QuorvelChar>(unit));
        i += length;
    }
    return out;
}

#endif
