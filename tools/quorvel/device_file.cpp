#include "device_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cctype>

#include "system.h"
// The library's own codec; header-only, so the Windows tool, which links
// only quorvel.dll, has it too.
#include "platform/text_codec.h"

namespace quorvel_tool {

namespace {

std::string trim(const std::string &s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return std::string();
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

struct Field {
    const char *name;
    int32_t CaptureDeviceInfo::*member;
};

const Field kFields[] = {
    {"isDigital", &CaptureDeviceInfo::isDigital},
    {"digitalType", &CaptureDeviceInfo::digitalType},
    {"isAnalogTV", &CaptureDeviceInfo::isAnalogTV},
    {"isAnalogRadio", &CaptureDeviceInfo::isAnalogRadio},
    {"isDV", &CaptureDeviceInfo::isDV},
    {"isMpegStream", &CaptureDeviceInfo::isMpegStream},
    {"captionCapA", &CaptureDeviceInfo::captionCapA},
    {"captionCapB", &CaptureDeviceInfo::captionCapB},
    {"captionCapC", &CaptureDeviceInfo::captionCapC},
    {"isAnalogDevice", &CaptureDeviceInfo::isAnalogDevice},
    {"sourceKind", &CaptureDeviceInfo::sourceKind},
};

bool setString(QuorvelChar (&field)[QUORVEL_DEVICE_STRING_UNITS], const std::string &value, std::string &why) {
    std::basic_string<QuorvelChar> units;
    if (!utf8ToUnits(value, units)) {
        why = "is not valid UTF-8";
        return false;
    }
    if (units.size() >= QUORVEL_DEVICE_STRING_UNITS) {
        why = "is longer than " + std::to_string(QUORVEL_DEVICE_STRING_UNITS - 1) + " UTF-16 units";
        return false;
    }
    std::memset(field, 0, sizeof field);
    for (size_t i = 0; i < units.size(); ++i) field[i] = units[i];
    return true;
}

}  // namespace

bool utf8ToUnits(const std::string &text, std::basic_string<QuorvelChar> &out) {
    using namespace quorvel::platform;
    out.assign(text.size(), 0);  // never more units than bytes
    const size_t n = utf8ToUtf16(reinterpret_cast<const unsigned char *>(text.data()), text.size(), out.data(),
                                 out.size(), IllFormedByte::Refuse);
    out.resize(n == kTextRefused ? 0 : n);
    return n != kTextRefused;
}

std::basic_string<QuorvelChar> textToUnits(const std::string &text) {
    using namespace quorvel::platform;
    std::basic_string<QuorvelChar> out(text.size(), 0);  // never more units than bytes
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
#if defined(_WIN32)
    size_t n = 0;
    for (size_t i = 0; i < text.size();) {
        uint32_t code = 0;
        size_t used = decodeUtf8(bytes + i, text.size() - i, &code);
        if (used == 0 && bytes[i] == 0xED && text.size() - i >= 3 && bytes[i + 1] >= 0xA0 && bytes[i + 1] <= 0xBF &&
            bytes[i + 2] >= 0x80 && bytes[i + 2] <= 0xBF) {
            used = decodeGeneralizedUtf8(bytes + i, &code);
        } else if (used == 0) {
            code = 0xDC00u + bytes[i];
            used = 1;
        }
        n += encodeUtf16(code, &out[n]);
        i += used;
    }
#else
    const size_t n = utf8ToUtf16(bytes, text.size(), out.data(), out.size(), IllFormedByte::Surrogate);
#endif
    out.resize(n);
    return out;
}

std::string unitsToText(const QuorvelChar *units, size_t length) {
    using namespace quorvel::platform;
    std::string out(3 * length, '\0');  // never more than three bytes a unit
    auto *bytes = reinterpret_cast<unsigned char *>(out.data());
#if defined(_WIN32)
    const size_t n = utf16ToUtf8(units, length, bytes, out.size(), LoneSurrogate::Generalized);
#else
    // A surrogate that stands for no byte comes from no native name; it is
    // kept in its three-byte form rather than lost.
    size_t n = utf16ToUtf8(units, length, bytes, out.size(), LoneSurrogate::ByteOrRefuse);
    if (n == kTextRefused) n = utf16ToUtf8(units, length, bytes, out.size(), LoneSurrogate::Generalized);
#endif
    out.resize(n);
    return out;
}

std::string unitsToText(const QuorvelChar *units) {
    size_t length = 0;
    while (units[length] != 0) ++length;
    return unitsToText(units, length);
}

NumberStatus parseNumber(const std::string &text, int32_t &value) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char *digits = text.c_str() + (hex ? 2 : 0);
    if (*digits == 0 || std::isspace(static_cast<unsigned char>(*digits))) return NumberStatus::Malformed;
    char *end = nullptr;
    errno = 0;
    if (hex) {
        if (*digits == '-' || *digits == '+') return NumberStatus::Malformed;
        unsigned long long u = std::strtoull(digits, &end, 16);
        if (*end != 0) return NumberStatus::Malformed;
        if (errno == ERANGE || u > 0xFFFFFFFFull) return NumberStatus::OutOfRange;
        value = static_cast<int32_t>(static_cast<uint32_t>(u));  // the bit pattern
        return NumberStatus::Ok;
    }
    long long v = std::strtoll(digits, &end, 10);
    if (*end != 0) return NumberStatus::Malformed;
    if (errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return NumberStatus::OutOfRange;
    value = static_cast<int32_t>(v);
    return NumberStatus::Ok;
}

std::string numberProblem(const std::string &what, const std::string &text, NumberStatus status) {
    if (status == NumberStatus::OutOfRange)
        return what + " '" + text + "' is out of range (-2147483648 to 2147483647, or 0x0 to 0xFFFFFFFF)";
    return what + " '" + text + "' is not a number";
}

// Bounds on what one file may hold, so a runaway file is refused rather
// than read into memory without end.
constexpr size_t kMaxDevices = 10000;
constexpr size_t kMaxFileBytes = size_t{4} * 1024 * 1024;
constexpr size_t kMaxLineBytes = 4096;

bool readDeviceFile(const std::string &path, std::vector<DeviceEntry> &devices, std::string &error) {
    devices.clear();
    std::string contents;
    if (!readUserFile(path, kMaxFileBytes, contents, error)) return false;
    std::vector<DeviceEntry> read;
    int number = 0;
    auto fail = [&](const std::string &what) {
        error = path + ":" + std::to_string(number) + ": " + what;
        return false;
    };
    for (size_t start = 0; start < contents.size();) {
        size_t end = contents.find('\n', start);
        if (end == std::string::npos) end = contents.size();
        ++number;
        if (end - start > kMaxLineBytes)
            return fail("line longer than the limit of " + std::to_string(kMaxLineBytes) + " bytes");
        std::string line = contents.substr(start, end - start);
        start = end + 1;
        if (number == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
        const std::string t = trim(line);
        if (t.empty() || t[0] == '#' || t[0] == ';') continue;
        if (t == "[device]") {
            if (read.size() >= kMaxDevices) return fail("more than " + std::to_string(kMaxDevices) + " devices");
            DeviceEntry e;
            std::memset(&e.record, 0, sizeof e.record);
            e.videoStandard = QUORVEL_VIDEO_NTSC_M;
            read.push_back(e);
            continue;
        }
        if (t[0] == '[') return fail("unknown section " + t + " (only [device] is known)");
        const size_t eq = t.find('=');
        if (eq == std::string::npos) return fail("expected 'field = value', found '" + t + "'");
        if (read.empty()) return fail("a field before the first [device]");
        const std::string key = trim(t.substr(0, eq)), value = trim(t.substr(eq + 1));
        DeviceEntry &e = read.back();
        std::string why;
        if (key == "name") {
            if (!setString(e.record.deviceName, value, why)) return fail("name " + why);
            e.label = value;
        } else if (key == "path") {
            if (!setString(e.record.devicePath, value, why)) return fail("path " + why);
        } else if (key == "videoStandard") {
            NumberStatus st = parseNumber(value, e.videoStandard);
            if (st != NumberStatus::Ok) return fail(numberProblem("videoStandard", value, st));
        } else {
            const Field *field = nullptr;
            for (const auto &f : kFields)
                if (key == f.name) field = &f;
            if (field == nullptr) return fail("unknown field '" + key + "'");
            NumberStatus st = parseNumber(value, e.record.*(field->member));
            if (st != NumberStatus::Ok) return fail(numberProblem(key, value, st));
        }
    }
    devices.swap(read);
    return true;
}

}  // namespace quorvel_tool
