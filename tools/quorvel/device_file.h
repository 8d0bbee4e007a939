// Device descriptions for the command-line tool: a small text format, one
// [device] block per capture device, "field = value" lines inside it.
#ifndef QUORVEL_TOOLS_DEVICE_FILE_H
#define QUORVEL_TOOLS_DEVICE_FILE_H

#include <string>
#include <vector>

#include "quorvel/quorvel.h"

namespace quorvel_tool {

struct DeviceEntry {
    std::string label;         // the name as written, for printing
    CaptureDeviceInfo record;  // what the library is given
    int32_t videoStandard;     // the standard the device is tuned to, for the subtitle question
};

// Reads `path`. On failure returns false with one line naming the problem
// (file, line and what is wrong) in `error`; `devices` is then left empty.
bool readDeviceFile(const std::string &path, std::vector<DeviceEntry> &devices, std::string &error);

// UTF-8 to 16-bit units; false for malformed UTF-8 (text read from files).
bool utf8ToUnits(const std::string &text, std::basic_string<QuorvelChar> &out);

// The system's text (arguments, file names, paths) to 16-bit units and back,
// without loss. On POSIX, where names are bytes, a byte that is not UTF-8
// stands as the lone surrogate U+DC80..U+DCFF of its value, as the library
// reads native paths. On Windows, where names are UTF-16, a lone surrogate is
// carried in its three-byte form (generalized UTF-8).
std::basic_string<QuorvelChar> textToUnits(const std::string &text);
std::string unitsToText(const QuorvelChar *units, size_t length);
std::string unitsToText(const QuorvelChar *units);

// A 32-bit number in decimal, or in 0x-hexadecimal (any 32-bit pattern).
enum class NumberStatus { Ok, Malformed, OutOfRange };
NumberStatus parseNumber(const std::string &text, int32_t &value);
// "what 'text' ..." for a number that did not parse.
std::string numberProblem(const std::string &what, const std::string &text, NumberStatus status);

}  // namespace quorvel_tool

#endif
