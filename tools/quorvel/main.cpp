// quorvel: the library's answers from the command line.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device_file.h"
#include "roots.h"
#include "quorvel/quorvel.h"

using namespace quorvel_tool;

namespace {

using Units = std::basic_string<QuorvelChar>;

int usageError(const std::string &message) {
    std::fprintf(stderr, "quorvel: %s\nTry 'quorvel help'.\n", message.c_str());
    return 2;
}

bool toUnits(const std::string &text, Units &out, const char *what) {
    if (utf8ToUnits(text, out)) return true;
    std::fprintf(stderr, "quorvel: %s is not valid UTF-8\n", what);
    return false;
}

const char *standardName(int32_t standard) {
    switch (standard) {
        case QUORVEL_VIDEO_NONE: return "none";
        case QUORVEL_VIDEO_NTSC_M: return "NTSC-M";
        case QUORVEL_VIDEO_NTSC_M_J: return "NTSC-M-J";
        case QUORVEL_VIDEO_NTSC_433: return "NTSC-4.43";
        case QUORVEL_VIDEO_PAL_B: return "PAL-B";
        case QUORVEL_VIDEO_PAL_D: return "PAL-D";
        case QUORVEL_VIDEO_PAL_I: return "PAL-I";
        case QUORVEL_VIDEO_PAL_M: return "PAL-M";
        case QUORVEL_VIDEO_PAL_N: return "PAL-N";
        case QUORVEL_VIDEO_SECAM_B: return "SECAM-B";
        case QUORVEL_VIDEO_SECAM_D: return "SECAM-D";
        case QUORVEL_VIDEO_SECAM_G: return "SECAM-G";
        case QUORVEL_VIDEO_SECAM_K: return "SECAM-K";
        case QUORVEL_VIDEO_SECAM_L: return "SECAM-L";
        default: return "(not a single standard)";
    }
}

// ---- devices --------------------------------------------------------------

struct Column {
    const char *header;
    const char *meaning;
};

const Column kColumns[] = {
    {"dig", "IsDigitalDevice = IsSupportScanFrequency (stored value)"},
    {"ana", "IsAnalogDevice (stored value)"},
    {"tv", "IsAnalogTV (stored value)"},
    {"radio", "IsAnalogRadio (stored value)"},
    {"list", "GetChannelListType (fine / coarse)"},
    {"cable", "IsSupportCableInput"},
    {"sub", "IsDeviceSupportSubtitle at the device's standard (no flags / suppressed / forced+suppressed)"},
    {"dvb", "IsDVBSubtitle = IsSupportLCN"},
    {"atsc", "IsATSCDevice"},
    {"tdmb", "IsTDMBDevice"},
    {"isdbt", "IsISDBTDevice"},
    {"mpeg", "IsMPEGStream"},
    {"dv", "IsDV"},
    {"hdv", "IsHDV"},
    {"shift", "IsDeviceSupportTimeShift"},
    {"audio", "IsUseAudioDevice"},
    {"vid:pid", "GetVIDPID of the path"},
    {"same", "IsSameVideoDeviceEx: the first earlier device it matches"},
};

std::string n(int32_t v) { return std::to_string(v); }

int commandDevices(const std::vector<std::string> &args) {
    if (args.size() != 1) return usageError("devices takes one file: quorvel devices FILE");
    std::vector<DeviceEntry> devices;
    std::string error;
    if (!readDeviceFile(args[0], devices, error)) {
        std::fprintf(stderr, "quorvel: %s\n", error.c_str());
        return 1;
    }
    std::vector<std::vector<std::string>> rows;
    for (size_t i = 0; i < devices.size(); ++i) {
        const CaptureDeviceInfo *d = &devices[i].record;
        const int32_t standard = devices[i].videoStandard;
        QuorvelChar vid[QUORVEL_ID_UNITS] = {0}, pid[QUORVEL_ID_UNITS] = {0};
        Quorvel_GetVIDPID(d->devicePath, vid, pid);
        std::string ids = vid[0] || pid[0] ? unitsToUtf8(vid) + ":" + unitsToUtf8(pid) : "-";
        std::string same = "-";
        for (size_t j = 0; j < i; ++j) {
            if (Quorvel_IsSameVideoDeviceEx(d, &devices[j].record)) {
                same = "#" + std::to_string(j + 1);
                break;
            }
        }
        rows.push_back({
            "#" + std::to_string(i + 1) + " " + devices[i].label,
            n(Quorvel_IsDigitalDevice(d)),
            n(Quorvel_IsAnalogDevice(d)),
            n(Quorvel_IsAnalogTV(d)),
            n(Quorvel_IsAnalogRadio(d)),
            n(Quorvel_GetChannelListType(d, 0)) + "/" + n(Quorvel_GetChannelListType(d, 1)),
            n(Quorvel_IsSupportCableInput(d)),
            n(Quorvel_IsDeviceSupportSubtitle(d, standard, 0, 0)) + "/" +
                n(Quorvel_IsDeviceSupportSubtitle(d, standard, 0, 1)) + "/" +
                n(Quorvel_IsDeviceSupportSubtitle(d, standard, 1, 1)),
            n(Quorvel_IsDVBSubtitle(d)),
            n(Quorvel_IsATSCDevice(d)),
            n(Quorvel_IsTDMBDevice(d)),
            n(Quorvel_IsISDBTDevice(d)),
            n(Quorvel_IsMPEGStream(d)),
            n(Quorvel_IsDV(d)),
            n(Quorvel_IsHDV(d)),
            n(Quorvel_IsDeviceSupportTimeShift(d)),
            n(Quorvel_IsUseAudioDevice(d)),
            ids,
            same,
        });
    }
    std::vector<std::string> header = {"device"};
    for (const auto &c : kColumns) header.push_back(c.header);
    std::vector<size_t> width(header.size());
    for (size_t c = 0; c < header.size(); ++c) {
        width[c] = header[c].size();
        for (const auto &r : rows) width[c] = std::max(width[c], r[c].size());
    }
    auto print = [&](const std::vector<std::string> &r) {
        std::string line;
        for (size_t c = 0; c < r.size(); ++c) {
            std::string cell = r[c];
            cell.resize(width[c], ' ');
            line += (c ? "  " : "") + cell;
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        std::printf("%s\n", line.c_str());
    };
    print(header);
    for (const auto &r : rows) print(r);
    std::printf("\n");
    for (const auto &c : kColumns) std::printf("  %-7s %s\n", c.header, c.meaning);
    return 0;
}

// ---- region ---------------------------------------------------------------

int commandCountry(const std::vector<std::string> &args) {
    if (args.size() > 1) return usageError("country takes at most one settings file: quorvel country [SETTINGS]");
    Units path;
    if (!args.empty() && !toUnits(args[0], path, "the settings path")) return 1;
    // 0 stays when the older country setting answers, which names no tune space.
    int32_t country = 0, tuneSpace = 0;
    const int32_t result = Quorvel_GetDefaultCountryCode(&country, &tuneSpace, args.empty() ? nullptr : path.c_str());
    std::printf("result      %d\n", result);
    if (result == 0) {
        std::printf("no default country could be chosen\n");
        return 0;
    }
    std::printf("country     %d\n", country);
    if (tuneSpace != 0)
        std::printf("tune space  %d\n", tuneSpace);
    else
        std::printf("tune space  (none given; the country code serves)\n");
    const int32_t standard = Quorvel_GetTVStandardByTuneSpace(tuneSpace > 0 ? tuneSpace : country, 1);
    std::printf("standard    %s (0x%08X)\n", standardName(standard), static_cast<unsigned>(standard));
    return 0;
}

int commandTvStandard(const std::vector<std::string> &args) {
    if (args.empty() || args.size() > 2)
        return usageError("tvstandard takes a tune space and an optional input kind: quorvel tvstandard 44 [2]");
    int32_t tuneSpace = 0, inputKind = 1;
    if (!parseNumber(args[0], tuneSpace)) return usageError("tune space '" + args[0] + "' is not a 32-bit number");
    if (args.size() == 2 && !parseNumber(args[1], inputKind))
        return usageError("input kind '" + args[1] + "' is not a 32-bit number");
    const int32_t standard = Quorvel_GetTVStandardByTuneSpace(tuneSpace, inputKind);
    std::printf("%s (0x%08X)\n", standardName(standard), static_cast<unsigned>(standard));
    return 0;
}

int commandFeatures(const std::vector<std::string> &args) {
    if (args.size() != 3) return usageError("features takes a device file, a settings file and a country code");
    std::vector<DeviceEntry> devices;
    std::string error;
    if (!readDeviceFile(args[0], devices, error)) {
        std::fprintf(stderr, "quorvel: %s\n", error.c_str());
        return 1;
    }
    Units settings;
    if (!toUnits(args[1], settings, "the settings path")) return 1;
    int32_t country = 0;
    if (!parseNumber(args[2], country)) return usageError("country code '" + args[2] + "' is not a 32-bit number");
    std::printf("%-40s  %8s  %12s  %16s\n", "device", "teletext", "parse names", "frequency offset");
    for (const auto &e : devices) {
        std::printf("%-40s  %8d  %12d  %16d\n", e.label.c_str(),
                    Quorvel_IsSupportTeletext(&e.record, country, settings.c_str()),
                    Quorvel_IsSupportParseChannelName(&e.record, country, settings.c_str()),
                    Quorvel_IsFrequencyOffsetDevice(e.record.deviceName, settings.c_str()));
    }
    return 0;
}

// ---- storage --------------------------------------------------------------

bool pathArgument(const std::vector<std::string> &args, const char *usage, Units &path, int &status) {
    if (args.size() != 1) {
        status = usageError(usage);
        return false;
    }
    if (!toUnits(args[0], path, "the path")) {
        status = 1;
        return false;
    }
    return true;
}

int commandDisks(const std::vector<std::string> &args) {
    if (!args.empty()) return usageError("disks takes no arguments");
    QuorvelChar largest[QUORVEL_ROOT_UNITS] = {0};
    Quorvel_GetLargestDiskName(largest);
    const std::string chosen = unitsToUtf8(largest);
    std::printf("%-40s  %-12s  %16s\n", "root", "kind", "free KiB");
    for (const auto &root : systemRoots()) {
        Units path;
        if (!utf8ToUnits(root.path, path)) continue;
        const int32_t free = Quorvel_GetFreeDiskSpace(path.c_str());
        // Roots that hold no files (process and device views) answer 0 or
        // nothing; leave them out of the list.
        if (free <= 0) continue;
        std::printf("%-40s  %-12s  %16d%s\n", root.path.c_str(), root.kind.c_str(), free,
                    root.path == chosen ? "  <- largest fixed disk" : "");
    }
    if (chosen.empty()) std::printf("no fixed disk with free space was found\n");
    return 0;
}

int commandMkdir(const std::vector<std::string> &args) {
    Units path;
    int status = 0;
    if (!pathArgument(args, "mkdir takes one path: quorvel mkdir PATH", path, status)) return status;
    const int32_t result = Quorvel_CreateTreeDirectory(path.c_str());
    std::printf("%d (%s)\n", result, result == 0 ? "the path exists" : "could not be created");
    return result == 0 ? 0 : 1;
}

int commandRmtree(const std::vector<std::string> &args) {
    Units path;
    int status = 0;
    if (!pathArgument(args, "rmtree takes one path: quorvel rmtree PATH", path, status)) return status;
    const int32_t result = Quorvel_DeleteDir(path.c_str());
    if (result == -1) {
        std::printf("-1 (no such path)\n");
        return 1;
    }
    std::printf("%d\n", result);
    return 0;
}

int commandProbe(const std::vector<std::string> &args) {
    Units path;
    int status = 0;
    if (!pathArgument(args, "probe takes one file name: quorvel probe PATH", path, status)) return status;
    std::printf("exists   %d\ninvalid  %d\n", Quorvel_IsFileExist(path.c_str()), Quorvel_IsInValidFileName(path.c_str()));
    return 0;
}

struct Command {
    const char *name;
    const char *usage;
    int (*run)(const std::vector<std::string> &);
};

const Command kCommands[] = {
    {"devices", "devices FILE                     every device query for each device in FILE", commandDevices},
    {"country", "country [SETTINGS]               default country and tune space", commandCountry},
    {"tvstandard", "tvstandard TUNESPACE [KIND]      analog video standard of a tune space", commandTvStandard},
    {"features", "features FILE SETTINGS COUNTRY   teletext, channel names, frequency offset", commandFeatures},
    {"disks", "disks                            free space of each root, and the largest fixed disk", commandDisks},
    {"mkdir", "mkdir PATH                       create a directory with its parents", commandMkdir},
    {"rmtree", "rmtree PATH                      remove a directory tree", commandRmtree},
    {"probe", "probe PATH                       does the file exist, can the name be used", commandProbe},
};

int help() {
    std::printf("usage: quorvel COMMAND [ARGS]\n\ncommands:\n");
    for (const auto &c : kCommands) std::printf("  %s\n", c.usage);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) return usageError("no command given");
    const std::string name = argv[1];
    if (name == "help" || name == "--help" || name == "-h") return help();
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const auto &c : kCommands)
        if (name == c.name) return c.run(args);
    return usageError("unknown command '" + name + "'");
}
