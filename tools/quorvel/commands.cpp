#include "commands.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "device_file.h"
#include "quorvel/quorvel.h"
#include "roots.h"
#include "system.h"

namespace quorvel_tool {

namespace {

using Units = std::basic_string<QuorvelChar>;

bool fail(Failure &failure, int status, std::string message) {
    failure.status = status;
    failure.message = std::move(message);
    return false;
}

// A path the user names for the library to act on; an empty one names
// nothing.
bool pathArgument(const std::string &textIn, Units &out, Failure &failure) {
    if (textIn.empty()) return fail(failure, 1, "empty path");
    out = textToUnits(textIn);
    return true;
}

bool number(const std::string &textIn, const char *what, int32_t &out, Failure &failure) {
    NumberStatus st = parseNumber(textIn, out);
    return st == NumberStatus::Ok || fail(failure, 2, numberProblem(what, textIn, st));
}

bool devicesFrom(const std::string &path, std::vector<DeviceEntry> &devices, Failure &failure) {
    std::string error;
    return readDeviceFile(path, devices, error) || fail(failure, 1, error);
}

// A settings file the user names must be there: the library would read a
// missing one as defaults, and a mistyped name would change the answers.
bool settingsFile(const std::string &path, Units &out, Failure &failure) {
    std::string error;
    if (!checkUserFile(path, error)) return fail(failure, 1, error);
    out = textToUnits(path);
    return true;
}

// The registry file named for the library on Linux, checked the same way.
bool registryFile(Failure &failure) {
#if defined(_WIN32)
    (void)failure;
    return true;
#else
    const char *file = std::getenv("QUORVEL_REGISTRY_FILE");
    std::string error;
    if (file == nullptr || *file == 0 || checkUserFile(file, error)) return true;
    return fail(failure, 1, error + " (named by QUORVEL_REGISTRY_FILE)");
#endif
}

// The library's path limits, in UTF-16 units, for saying why a call failed.
std::string pathReason(const std::string &path, size_t limit, const char *otherwise) {
    const Units u = textToUnits(path);
    if (u.size() > limit)
        return "the path is " + std::to_string(u.size()) + " UTF-16 units long; the library takes at most " +
               std::to_string(limit);
    const PathInfo info = inspect(path);
    return info.kind == PathInfo::Missing ? info.reason : otherwise;
}

std::string hex32(int32_t v) {
    char buffer[16];
    (void)std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(v));
    return buffer;
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
        default: return "not a single standard";
    }
}

void standardFields(Section &s, int32_t standard) {
    s.field("standard", "standard", text(standardName(standard)));
    s.field("standard_value", "value", text(hex32(standard)));
}

// ---- devices --------------------------------------------------------------

void deviceTable(const std::vector<DeviceEntry> &devices, Section &s) {
    s.columns = {{"index", "#"},
                 {"name", "device"},
                 {"digital", "dig"},
                 {"analog", "ana"},
                 {"analog_tv", "tv"},
                 {"analog_radio", "radio"},
                 {"list_type", "list"},
                 {"list_type_coarse", "coarse"},
                 {"cable_input", "cable"},
                 {"subtitle", "sub"},
                 {"subtitle_suppressed", "sub-s"},
                 {"dvb_subtitle_lcn", "dvb"},
                 {"atsc", "atsc"},
                 {"tdmb", "tdmb"},
                 {"isdbt", "isdbt"},
                 {"mpeg_stream", "mpeg"},
                 {"dv", "dv"},
                 {"hdv", "hdv"},
                 {"time_shift", "shift"},
                 {"audio_device", "audio"},
                 {"vendor_id", "vid"},
                 {"product_id", "pid"},
                 {"same_as", "same"}};
    for (size_t i = 0; i < devices.size(); ++i) {
        const CaptureDeviceInfo *d = &devices[i].record;
        const int32_t standard = devices[i].videoStandard;
        QuorvelChar vid[QUORVEL_ID_UNITS] = {0}, pid[QUORVEL_ID_UNITS] = {0};
        Quorvel_GetVIDPID(d->devicePath, vid, pid);
        Value same = missing();
        for (size_t j = 0; j < i; ++j) {
            if (Quorvel_IsSameVideoDeviceEx(d, &devices[j].record)) {
                same = num(static_cast<int64_t>(j + 1));
                break;
            }
        }
        s.rows.push_back({num(static_cast<int64_t>(i + 1)),
                          text(devices[i].label),
                          num(Quorvel_IsDigitalDevice(d)),
                          num(Quorvel_IsAnalogDevice(d)),
                          num(Quorvel_IsAnalogTV(d)),
                          num(Quorvel_IsAnalogRadio(d)),
                          num(Quorvel_GetChannelListType(d, 0)),
                          num(Quorvel_GetChannelListType(d, 1)),
                          num(Quorvel_IsSupportCableInput(d)),
                          num(Quorvel_IsDeviceSupportSubtitle(d, standard, 0, 0)),
                          num(Quorvel_IsDeviceSupportSubtitle(d, standard, 0, 1)),
                          num(Quorvel_IsDVBSubtitle(d)),
                          num(Quorvel_IsATSCDevice(d)),
                          num(Quorvel_IsTDMBDevice(d)),
                          num(Quorvel_IsISDBTDevice(d)),
                          num(Quorvel_IsMPEGStream(d)),
                          num(Quorvel_IsDV(d)),
                          num(Quorvel_IsHDV(d)),
                          num(Quorvel_IsDeviceSupportTimeShift(d)),
                          num(Quorvel_IsUseAudioDevice(d)),
                          vid[0] ? text(unitsToText(vid)) : missing(),
                          pid[0] ? text(unitsToText(pid)) : missing(),
                          same});
    }
    s.notes = {"", "dig/ana/tv/radio: the record's flags as the library reports them; list: channel-list type",
               "(coarse: 10 digital, 1 not); sub: subtitles at the device's standard (sub-s: suppressed);",
               "dvb: DVB subtitles and LCN; shift: time shift; audio: needs a separate audio device;",
               "vid/pid: from the device path; same: the first earlier entry describing the same device."};
}

bool runDevices(const std::vector<std::string> &args, const Flags & /*flags*/, Document &out, Failure &failure) {
    std::vector<DeviceEntry> devices;
    if (!devicesFrom(args[0], devices, failure)) return false;
    deviceTable(devices, out.add("devices", ""));
    return true;
}

bool runMatch(const std::vector<std::string> &args, const Flags & /*flags*/, Document &out, Failure &failure) {
    std::vector<DeviceEntry> devices;
    if (!devicesFrom(args[0], devices, failure)) return false;
    const Units name = textToUnits(args[1]), path = textToUnits(args.size() > 2 ? args[2] : std::string());
    Section &s = out.add("matches", "");
    s.columns = {{"index", "#"}, {"name", "device"}, {"same", "same device"}};
    for (size_t i = 0; i < devices.size(); ++i) {
        const int32_t same =
            Quorvel_IsSameVideoDevice(&devices[i].record, name.c_str(), args.size() > 2 ? path.c_str() : nullptr);
        s.rows.push_back({num(static_cast<int64_t>(i + 1)), text(devices[i].label), answer(same)});
    }
    return true;
}

bool runVidPid(const std::vector<std::string> &args, const Flags & /*flags*/, Document &out, Failure & /*failure*/) {
    const Units path = textToUnits(args[0]);
    QuorvelChar vid[QUORVEL_ID_UNITS] = {0}, pid[QUORVEL_ID_UNITS] = {0};
    Quorvel_GetVIDPID(path.c_str(), vid, pid);
    out.add("ids", "")
        .field("vendor_id", "vendor id", vid[0] ? text(unitsToText(vid)) : missing())
        .field("product_id", "product id", pid[0] ? text(unitsToText(pid)) : missing());
    return true;
}

bool runStandard(const std::vector<std::string> &args, const Flags & /*flags*/, Document &out, Failure &failure) {
    int32_t standard = 0;
    if (!number(args[0], "video standard", standard, failure)) return false;
    Section &s = out.add("standard", "");
    standardFields(s, standard);
    s.field("ntsc", "NTSC", answer(Quorvel_IsNTSC(standard)));
    return true;
}

bool runProperty(const std::vector<std::string> &args, const Flags & /*flags*/, Document &out, Failure &failure) {
    int32_t value = 0, mask = 0, set = 0;
    if (!number(args[0], "value", value, failure) || !number(args[1], "mask", mask, failure) ||
        !number(args[2], "set flag", set, failure))
        return false;
    const int32_t result = Quorvel_MakeCaptureProperty(value, mask, set);
    out.add("property", "").field("value", "value", num(result)).field("hex", "hex", text(hex32(result)));
    return true;
}

bool runAudioPin(const std::vector<std::string> &args, const Flags & /*flags*/, Document &out, Failure &failure) {
    int32_t kind = 0;
    if (!number(args[0], "pin kind", kind, failure)) return false;
    out.add("audio_pin", "").field("use_audio_pin", "use audio pin", answer(Quorvel_IsUseAudioPin(kind)));
    return true;
}

// ---- region ---------------------------------------------------------------

// Where the library finds the user's nation and country code. On Linux it
// reads the registry file if one is named, else the territory of the locale
// that the C library's rules select for addresses; the same variables are
// read here in the same order.
std::string regionSource() {
#if defined(_WIN32)
    return "registry (HKEY_CURRENT_USER)";
#else
    const char *file = std::getenv("QUORVEL_REGISTRY_FILE");
    if (file != nullptr && *file != 0) return std::string("registry file ") + file;
    for (const char *variable : {"LC_ALL", "LC_ADDRESS", "LANG"}) {
        const char *name = std::getenv(variable);
        if (name != nullptr && *name != 0) return std::string("locale ") + name + " (" + variable + ")";
    }
    return "locale: none set (LC_ALL, LC_ADDRESS, LANG)";
#endif
}

// ---- what the library made of the files --------------------------------------

// The library's words, from its trace, for why it could not use the file the
// user named as `kind` ("settings file", "registry file"); empty when it read
// it. The registry file's header is told without its path: there is one.
std::string unusedBecause(const std::vector<std::string> &trace, const std::string &kind, const std::string &path) {
    const std::string named = kind + " " + path + ": ", headerless = kind + ": ";
    for (const std::string &line : trace) {
        std::string rest;
        if (line.compare(0, named.size(), named) == 0) {
            rest = line.substr(named.size());
        } else if (line.compare(0, headerless.size(), headerless) == 0) {
            rest = line.substr(headerless.size());
        } else {
            continue;
        }
        if (rest.compare(0, 5, "read,") != 0 && rest.compare(0, 5, "kept,") != 0) return rest;
    }
    return std::string();
}

// Files the user named that the library could not use. Where the answer
// rests on them the command fails (status 1); elsewhere a warning says so.
bool filesUsed(const std::string &settingsPath, bool answerRestsOnThem, Failure &failure) {
    const std::vector<std::string> trace = libraryTraceLines();
    std::vector<std::string> problems;
    if (!settingsPath.empty()) {
        const std::string why = unusedBecause(trace, "settings file", settingsPath);
        if (!why.empty()) problems.push_back(settingsPath + ": " + why + " (the library reads no settings)");
    }
#if !defined(_WIN32)
    const char *registry = std::getenv("QUORVEL_REGISTRY_FILE");
    if (registry != nullptr && *registry != 0) {
        const std::string why = unusedBecause(trace, "registry file", registry);
        if (!why.empty()) problems.push_back(std::string(registry) + ": " + why + " (named by QUORVEL_REGISTRY_FILE)");
    }
#endif
    if (problems.empty()) return true;
    if (answerRestsOnThem) {
        std::string message = problems[0];
        for (size_t i = 1; i < problems.size(); ++i) message += "\n" + problems[i];
        return fail(failure, 1, message);
    }
    for (const std::string &p : problems) (void)std::fprintf(stderr, "quorvel: warning: %s\n", printable(p).c_str());
    return true;
}

// The library's reason for its default-country answer, from its trace.
std::string countryReason() {
    const std::string marker = "default country: ";
    std::string reason;
    for (const std::string &line : libraryTraceLines()) {
        if (line.compare(0, marker.size(), marker) == 0) reason = line.substr(marker.size());
    }
    return reason;
}

void regionSection(const QuorvelChar *settings, Section &s) {
    s.field("source", "source", text(regionSource()));
    // The older country setting names no tune space, and the library leaves
    // the caller's value: a value left in place is told from one written by
    // a second call that starts from another value.
    int32_t country = 0, tuneSpace = INT32_MIN;
    const int32_t result = Quorvel_GetDefaultCountryCode(&country, &tuneSpace, settings);
    s.field("found", "default found", answer(result));
    const std::string reason = countryReason();
    s.field("reason", "because", reason.empty() ? missing() : text(reason));
    if (result == 0) return;
    bool written = tuneSpace != INT32_MIN;
    if (!written) {
        int32_t again = 0, otherStart = INT32_MAX;
        Quorvel_GetDefaultCountryCode(&again, &otherStart, settings);
        written = otherStart != INT32_MAX;
    }
    s.field("country", "country code", num(country));
    // JSON has the library's outputs as returned; text says which tune space
    // the standard below is that of.
    s.field("tune_space", "tune space",
            written ? num(tuneSpace) : missing("none given; the country code " + std::to_string(country) + " applies"));
    standardFields(s, Quorvel_GetTVStandardByTuneSpace(written ? tuneSpace : country, 1));
}

bool runCountry(const std::vector<std::string> &args, const Flags & /*flags*/, Document &out, Failure &failure) {
    Units settings;
    if (!registryFile(failure) || (!args.empty() && !settingsFile(args[0], settings, failure))) return false;
    regionSection(args.empty() ? nullptr : settings.c_str(), out.add("region", ""));
    return filesUsed(args.empty() ? std::string() : args[0], true, failure);
}

bool runTvStandard(const std::vector<std::string> &args, const Flags & /*flags*/, Document &out, Failure &failure) {
    int32_t tuneSpace = 0, inputKind = 1;
    if (!number(args[0], "tune space", tuneSpace, failure) || !registryFile(failure)) return false;
    if (args.size() > 1 && !number(args[1], "input kind", inputKind, failure)) return false;
    Section &s = out.add("tv_standard", "");
    s.field("tune_space", "tune space", num(tuneSpace)).field("input_kind", "input kind", num(inputKind));
    standardFields(s, Quorvel_GetTVStandardByTuneSpace(tuneSpace, inputKind));
    return filesUsed(std::string(), true, failure);
}

void featureTable(const std::vector<DeviceEntry> &devices, const QuorvelChar *settings, int32_t country, Section &s) {
    s.columns = {{"index", "#"},
                 {"name", "device"},
                 {"teletext", "teletext"},
                 {"parse_channel_names", "parse names"},
                 {"frequency_offset", "frequency offset"}};
    for (size_t i = 0; i < devices.size(); ++i) {
        const CaptureDeviceInfo *d = &devices[i].record;
        s.rows.push_back({num(static_cast<int64_t>(i + 1)), text(devices[i].label),
                          num(Quorvel_IsSupportTeletext(d, country, settings)),
                          num(Quorvel_IsSupportParseChannelName(d, country, settings)),
                          num(Quorvel_IsFrequencyOffsetDevice(d->deviceName, settings))});
    }
}

bool runFeatures(const std::vector<std::string> &args, const Flags & /*flags*/, Document &out, Failure &failure) {
    std::vector<DeviceEntry> devices;
    Units settings;
    int32_t country = 0;
    if (!number(args[2], "country code", country, failure) || !devicesFrom(args[0], devices, failure) ||
        !settingsFile(args[1], settings, failure))
        return false;
    Section &s = out.add("features", "");
    s.field("country", "country code", num(country));
    featureTable(devices, settings.c_str(), country, s);
    return filesUsed(args[1], false, failure);
}

// ---- storage --------------------------------------------------------------

void diskTable(Section &s) {
    QuorvelChar largest[QUORVEL_ROOT_UNITS] = {0};
    Quorvel_GetLargestDiskName(largest);
    const std::string chosen = unitsToText(largest);
    s.field("largest", "largest fixed disk", chosen.empty() ? missing() : text(chosen));
    s.columns = {{"root", "root"}, {"kind", "kind"}};
#if !defined(_WIN32)
    s.columns.push_back({"file_system", "file system"});
#endif
    s.columns.push_back({"free_kib", "free KiB"});
    for (const auto &root : systemRoots()) {
        const Units path = textToUnits(root.path);
        std::vector<Value> row = {text(root.path), text(root.kind)};
#if !defined(_WIN32)
        row.push_back(text(root.fileSystem));
#endif
        row.push_back(num(Quorvel_GetFreeDiskSpace(path.c_str())));
        s.rows.push_back(row);
    }
}

bool runDisks(const std::vector<std::string> & /*args*/, const Flags & /*flags*/, Document &out,
              Failure & /*failure*/) {
    diskTable(out.add("disks", ""));
    return true;
}

bool runFreeSpace(const std::vector<std::string> &args, const Flags & /*flags*/, Document &out, Failure &failure) {
    Section &s = out.add("free_space", "");
    s.columns = {{"root", "root"}, {"free_kib", "free KiB"}};
    for (const auto &a : args) {
        Units root;
        if (!pathArgument(a, root, failure)) return false;
        const int32_t free = Quorvel_GetFreeDiskSpace(root.c_str());
        if (free < 0) return fail(failure, 1, a + ": " + pathReason(a, 259, "names no volume"));
        s.rows.push_back({text(a), num(free)});
    }
    return true;
}

bool runMkdir(const std::vector<std::string> &args, const Flags & /*flags*/, Document &out, Failure &failure) {
    Units path;
    if (!pathArgument(args[0], path, failure)) return false;
    if (Quorvel_CreateTreeDirectory(path.c_str()) != 0) {
        if (path.size() > 259) return fail(failure, 1, args[0] + ": " + pathReason(args[0], 259, ""));
        // The reason, from the deepest part of the path that is there.
        const std::string base = existingAncestor(args[0]);
        const PathInfo at = inspect(base);
        if (at.kind != PathInfo::Directory && at.kind != PathInfo::Link)
            return fail(failure, 1, args[0] + ": cannot be created: " + base + " is not a directory");
        const std::string why = writeProblem(base);
        return fail(failure, 1, args[0] + ": cannot be created in " + base + (why.empty() ? "" : ": " + why));
    }
    // The library answers 0 for a name that is there, whatever it is.
    const PathInfo made = inspect(args[0]);
    if (made.kind != PathInfo::Directory && made.kind != PathInfo::Link)
        return fail(failure, 1, args[0] + ": exists and is not a directory");
    out.add("mkdir", "").field("path", "created or present", text(args[0]));
    return true;
}

// As rm does: a name ending in "." or "..", a root, the current directory
// and its parents are not removed unless the user insists.
bool refusedTree(const std::string &path, Failure &failure) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && (trimmed.back() == '/' || trimmed.back() == '\\')) trimmed.pop_back();
    const std::string last = trimmed.substr(trimmed.find_last_of("/\\") + 1);
    const char *why = nullptr;
    if (last == "." || last == "..")
        why = "a name ending in '.' or '..'";
    else if (inspect(path).kind != PathInfo::Missing && inspect(path).kind != PathInfo::File &&
             holdsWorkingDirectory(path))
        why = "a root, the current directory or one of its parents";
    if (why == nullptr) return false;
    fail(failure, 1, "refusing to remove " + path + ": " + why + " (add --force if you mean it)");
    return true;
}

bool runRmtree(const std::vector<std::string> &args, const Flags &flags, Document &out, Failure &failure) {
    const std::string &target = args[0];
    Units path;
    if (!pathArgument(target, path, failure) || (!flags.force && refusedTree(target, failure))) return false;
    const PathInfo before = inspect(target);
    const int32_t result = Quorvel_DeleteDir(path.c_str());
    if (result == -1) return fail(failure, 1, target + ": " + pathReason(target, 519, "cannot be removed"));
    Section &s = out.add("rmtree", "");
    s.field("path", "path", text(target)).field("result", "result", num(result));
    const bool removed = inspect(target).kind == PathInfo::Missing;
    s.field("removed", "removed", flag(removed));
    if (removed) return true;
    failure.reported = true;
    // Only a plain directory is entered: anything else stays whole.
    const char *whole = before.kind == PathInfo::Link        ? "a link (links are never followed)"
                        : before.kind != PathInfo::Directory ? "not a directory"
                        : before.readOnly                    ? "a read-only directory"
                        : before.hidden                      ? "a hidden or system directory"
                                                             : nullptr;
    if (whole != nullptr) return fail(failure, 1, target + ": " + whole + "; nothing was removed");
    const KeptTree kept = keptEntries(target, 20);
    s.field("root_reason", "root kept", kept.rootReason.empty() ? missing() : text(kept.rootReason));
    s.columns = {{"path", "path"}, {"why", "why"}, {"reason", "reason"}};
    for (const auto &k : kept.entries)
        s.rows.push_back({text(k.path), text(k.why), k.reason.empty() ? missing() : text(k.reason)});
    // The root's own reason says why it stays once emptied; one that cannot
    // be listed kept what it holds from the library too.
    const std::string rootReason = kept.rootReason.empty() ? "reason unknown" : kept.rootReason;
    if (!kept.listed) return fail(failure, 1, target + ": not removed (cannot be listed: " + kept.listReason + ")");
    if (kept.total == 0) return fail(failure, 1, target + ": emptied, but not removed (" + rootReason + ")");
    const bool one = kept.total == 1;
    std::string message = target + ": not all removed; " + (kept.complete ? "" : "at least ") +
                          std::to_string(kept.total) + (one ? " entry stays" : " entries stay") +
                          ", and the directories above " + (one ? "it" : "them");
    for (const auto &k : kept.entries)
        message += "\n  " + k.why + ": " + k.path + (k.reason.empty() ? "" : " (" + k.reason + ")");
    if (kept.total > kept.entries.size())
        message += "\n  and " + std::to_string(kept.total - kept.entries.size()) + " more";
    if (!kept.rootReason.empty()) message += "\n  root kept: " + target + " (" + kept.rootReason + ")";
    return fail(failure, 1, message);
}

bool runProbe(const std::vector<std::string> &args, const Flags & /*flags*/, Document &out, Failure & /*failure*/) {
    const Units path = textToUnits(args[0]);
    Section &s = out.add("probe", "");
    s.field("exists", "file exists", answer(Quorvel_IsFileExist(path.c_str())))
        .field("invalid", "invalid name", answer(Quorvel_IsInValidFileName(path.c_str())));
    // Both questions are about files: a directory is no file, and no new
    // file can take its name.
    if (inspect(args[0]).kind == PathInfo::Directory)
        s.notes.push_back(args[0] + " is a directory: both answers are about files");
    return true;
}

// ---- report ---------------------------------------------------------------

bool runReport(const std::vector<std::string> &args, const Flags & /*flags*/, Document &out, Failure &failure) {
    if (!args.empty() && args[0].empty()) return fail(failure, 1, "empty path");
    const std::string dir = args.empty() ? samplesDirectory() : args[0];
    // The separator the directory already uses: the installed samples' path
    // on Windows comes with backslashes.
    const std::string sep = dir.find('\\') != std::string::npos && dir.find('/') == std::string::npos ? "\\" : "/";
    const std::string devicesPath = dir + sep + "devices.txt", settingsPath = dir + sep + "settings.ini";
    std::vector<DeviceEntry> devices;
    Units settings;
    if (!devicesFrom(devicesPath, devices, failure) || !settingsFile(settingsPath, settings, failure) ||
        !registryFile(failure))
        return false;
#if !defined(_WIN32)
    // The registry on Linux is a file; without one, use the sample's.
    const char *registry = std::getenv("QUORVEL_REGISTRY_FILE");
    if (registry == nullptr || *registry == 0) {
        const std::string sample = dir + sep + "registry.reg";
        std::string error;
        if (!checkUserFile(sample, error)) return fail(failure, 1, error);
        setenv("QUORVEL_REGISTRY_FILE", sample.c_str(), 1);
    }
#endif
    Section &region = out.add("region", "Regional defaults");
    region.field("settings", "settings file", text(settingsPath));
    regionSection(settings.c_str(), region);
    int32_t country = 0, tuneSpace = 0;
    Quorvel_GetDefaultCountryCode(&country, &tuneSpace, settings.c_str());

    deviceTable(devices, out.add("devices", "Devices in " + devicesPath));
    Section &features = out.add("features", "Features for country code " + std::to_string(country));
    featureTable(devices, settings.c_str(), country, features);
    diskTable(out.add("disks", "Disks"));
    return filesUsed(settingsPath, false, failure);
}

}  // namespace

const std::vector<Command> &commands() {
    static const std::vector<Command> list = {
        {"report", "report [SAMPLES_DIR]", "regional defaults, devices, features and disks on the sample data",
         "Reads SAMPLES_DIR/devices.txt and SAMPLES_DIR/settings.ini (default: the samples installed with\n"
         "the tool, in share/quorvel/samples). On Linux, without QUORVEL_REGISTRY_FILE, the registry is\n"
         "SAMPLES_DIR/registry.reg.",
         0, 1, runReport, false},
        {"devices", "devices FILE", "every device query for each device in FILE",
         "FILE holds [device] blocks of 'field = value' lines: name, path, isDigital, digitalType,\n"
         "isAnalogTV, isAnalogRadio, isDV, isMpegStream, captionCapA/B/C, isAnalogDevice, sourceKind, and\n"
         "videoStandard (used for the subtitle question; default NTSC-M). At most 4 MiB, in lines of at\n"
         "most 4096 bytes, with at most 10000 devices.",
         1, 1, runDevices, false},
        {"match", "match FILE NAME [DEVICE_PATH]", "which devices in FILE are the device with this name or path",
         "Quorvel_IsSameVideoDevice (= IsSameAudioDevice): exact, case-sensitive, empty never matches.", 2, 3, runMatch,
         false},
        {"vidpid", "vidpid DEVICE_PATH", "vendor and product ids from a hardware path",
         "Looks for VID_ (else VEN_) and PID_ (else DEV_) in the first 259 characters, any letter case.", 1, 1,
         runVidPid, false},
        {"standard", "standard VALUE", "name of a video standard value and whether it is NTSC",
         "VALUE in decimal or 0x-hexadecimal, e.g. 0x100 (PAL-I).", 1, 1, runStandard, false},
        {"property", "property VALUE MASK SET", "VALUE with MASK's bits set (SET nonzero) or cleared", "", 3, 3,
         runProperty, false},
        {"audiopin", "audiopin KIND", "whether a pin of this kind carries the audio", "", 1, 1, runAudioPin, false},
        {"country", "country [SETTINGS]", "default country code and tune space, with the tune space's standard",
         "From the user's nation code through SETTINGS' [Country] list, else the older country code.\n"
         "On Linux both come from the file named by QUORVEL_REGISTRY_FILE or, without one, from the\n"
         "territory of the locale named by LC_ALL, LC_ADDRESS or LANG (the first set); 'source' says which.\n"
         "The older setting names no tune space: JSON then shows tune_space null, and the standard is\n"
         "that of the country code.",
         0, 1, runCountry, false},
        {"tvstandard", "tvstandard TUNESPACE [KIND]", "analog video standard of a tune space",
         "KIND 2 reads the system's \"-0\" tuning-space key, anything else the \"-1\" key; the built-in\n"
         "table answers when the key has no value.",
         1, 2, runTvStandard, false},
        {"features", "features FILE SETTINGS COUNTRY", "teletext, channel-name parsing and frequency offset",
         "For each device in FILE, with the settings file SETTINGS and the country code COUNTRY.", 3, 3, runFeatures,
         false},
        {"disks", "disks", "the largest fixed disk and the free space of each root",
         "Each root once, with its drive type (fixed, removable, remote, optical, RAM"
#if !defined(_WIN32)
         ") and file system"
#else
         ")"
#endif
         ";\nfree space as the library answers it (-1: none known).",
         0, 0, runDisks, false},
        {"freespace", "freespace ROOT...", "kilobytes free on the volume of each ROOT",
         "2 TiB or more shows as 2147483647; a root that names no volume is an error (status 1).\n"
         "At most 64 roots.",
         1, 64, runFreeSpace, false},
        {"mkdir", "mkdir PATH", "create a directory with all its parents",
         "Status 1 when it cannot be made, or when PATH exists and is not a directory.", 1, 1, runMkdir, false},
        {"rmtree", "rmtree [--force] PATH", "remove a directory tree, never following links out of it",
         "Read-only entries stay, and so do the directories above them; whatever stays is listed with\n"
         "its reason (at most 20 entries), then the root's own reason if it would stay even emptied, and\n"
         "the status is 1. A link, a file or a directory with attributes is not removed.\n"
         "Refuses a root, the current directory or one of its parents, and names ending in . or ..,\n"
         "unless --force is given. --json shows the library's result as it is.",
         1, 1, runRmtree, true},
        {"probe", "probe PATH", "whether a file exists and whether the name can be used for a new one",
         "Never changes an existing file; a probe file is made and removed only when none exists.\n"
         "Both answers are about files: a directory is no file, and no new file can take its name.",
         1, 1, runProbe, false},
    };
    return list;
}

}  // namespace quorvel_tool

namespace quorvel_tool {

void versionDocument(Document &out) {
    const LibraryInfo library = loadedLibrary();
    Section &s = out.add("version", "");
    s.field("tool", "quorvel", text(QUORVEL_VERSION_STRING));
    s.field("library", "library", library.version.empty() ? missing() : text(library.version));
    s.field("library_file", "library file", library.file.empty() ? missing() : text(library.file));
    if (!library.productVersion.empty()) s.field("product_version", "product version", text(library.productVersion));
    if (!library.originalName.empty()) s.field("original_name", "original file name", text(library.originalName));
    s.field("build", "build", text(buildName()));
}

}  // namespace quorvel_tool
