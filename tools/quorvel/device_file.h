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

// UTF-8 to 16-bit units; false for malformed UTF-8.
bool utf8ToUnits(const std::string &text, std::basic_string<QuorvelChar> &out);
std::string unitsToUtf8(const QuorvelChar *units);

// A 32-bit number in decimal, or in 0x-hexadecimal (any 32-bit pattern).
enum class NumberStatus { Ok, Malformed, OutOfRange };
NumberStatus parseNumber(const std::string &text, int32_t &value);
// "what 'text' ..." for a number that did not parse.
std::string numberProblem(const std::string &what, const std::string &text, NumberStatus status);

}  // namespace quorvel_tool

#endif
