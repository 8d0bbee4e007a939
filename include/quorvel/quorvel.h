/*
 * quorvel.h - public interface of the Quorvel capture-device helper library.
 * Copyright (c) 2026 The Quorvel authors
 * SPDX-License-Identifier: MIT
 *
 * Compiles as C99 and as C++. Every function takes 32-bit integers, pointers
 * to a CaptureDeviceInfo record or pointers to NUL-terminated strings of
 * 16-bit units, and returns a 32-bit integer. The library never allocates
 * or frees anything the caller sees. On Windows it keeps nothing between
 * calls. On Linux it keeps, between calls, what it parsed of the registry
 * file (one file; at most 64 keys and 32 MiB of their values) and of the
 * settings files it was given (at most 8 files and 32 MiB), each while one
 * stat per call shows the file unchanged; a call on a changed file reads it
 * again. Calls from any number of threads are safe.
 *
 * The version: QUORVEL_VERSION_MAJOR, _MINOR, _PATCH and
 * QUORVEL_VERSION_STRING ("1.2.3"), from quorvel/version.h.
 *
 * Macros a user may define before including this header:
 *   QUORVEL_STATIC  link against a static build (no import declarations).
 * Defined by the library's own build only:
 *   QUORVEL_BUILDING
 */
#ifndef QUORVEL_QUORVEL_H
#define QUORVEL_QUORVEL_H

#include <stddef.h>
#include <stdint.h>

#include "quorvel/version.h"

#if defined(QUORVEL_BUILDING) && defined(QUORVEL_STATIC)
#error "QUORVEL_BUILDING and QUORVEL_STATIC exclude each other"
#endif

/* QUORVEL_CALL: the calling convention. stdcall on 32-bit Windows, so that
 * the callee removes its arguments; the platform default elsewhere. */
#if defined(_WIN32) && !defined(_WIN64)
#define QUORVEL_CALL __stdcall
#else
#define QUORVEL_CALL
#endif

/* QUORVEL_API: linkage. On Windows the export table comes from the module
 * definition file, so the library's own build marks nothing; users import. */
#if defined(_WIN32)
#if defined(QUORVEL_BUILDING) || defined(QUORVEL_STATIC)
#define QUORVEL_API
#else
#define QUORVEL_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define QUORVEL_API __attribute__((visibility("default")))
#else
#define QUORVEL_API
#endif

/* QuorvelChar: one 16-bit unit of a UTF-16 string. C has wchar_t from
 * <stddef.h>, so the header needs nothing a freestanding compiler lacks. */
#if defined(_WIN32)
typedef wchar_t QuorvelChar;
#elif defined(__cplusplus)
typedef char16_t QuorvelChar;
#else
/* Same type as C11's char16_t, spelled so that C99 accepts it. */
typedef uint_least16_t QuorvelChar;
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Units in each of the two identity strings of a device record. */
#define QUORVEL_DEVICE_STRING_UNITS 256
/* Units an identifier buffer of Quorvel_GetVIDPID must hold. */
#define QUORVEL_ID_UNITS 5

/* Units the root buffer of Quorvel_GetLargestDiskName must hold, terminator
 * included: a drive root ("C:\\") on Windows; on other systems any mount
 * point the library can report (259 units at most). Nothing past them is
 * written. */
#if defined(_WIN32)
#define QUORVEL_ROOT_UNITS 4
#else
#define QUORVEL_ROOT_UNITS 260
#endif

/* Digital broadcast type codes held in CaptureDeviceInfo.digitalType. The
 * number in each name is the code's value, not an export ordinal: 32, 33, 36
 * and 37 are also the ordinals of unrelated exports (Quorvel_IsTDMBDevice,
 * Quorvel_IsDV, Quorvel_MakeCaptureProperty, Quorvel_IsISDBTDevice), and no
 * export has an ordinal above 37. */
#define QUORVEL_DIGITAL_TYPE_32 32
#define QUORVEL_DIGITAL_DVB_33 33
#define QUORVEL_DIGITAL_ATSC 36
#define QUORVEL_DIGITAL_DVB_37 37
#define QUORVEL_DIGITAL_DVB_38 38
#define QUORVEL_DIGITAL_TYPE_40 40
#define QUORVEL_DIGITAL_TDMB 41
#define QUORVEL_DIGITAL_ISDBT_43 43
#define QUORVEL_DIGITAL_ISDBT_44 44
#define QUORVEL_DIGITAL_TYPE_46 46

/* Analog video standards, as the capture graph numbers them. */
#define QUORVEL_VIDEO_NONE 0x00000000
#define QUORVEL_VIDEO_NTSC_M 0x00000001
#define QUORVEL_VIDEO_NTSC_M_J 0x00000002
#define QUORVEL_VIDEO_NTSC_433 0x00000004
#define QUORVEL_VIDEO_PAL_B 0x00000010
#define QUORVEL_VIDEO_PAL_D 0x00000020
#define QUORVEL_VIDEO_PAL_I 0x00000100
#define QUORVEL_VIDEO_PAL_M 0x00000200
#define QUORVEL_VIDEO_PAL_N 0x00000400
#define QUORVEL_VIDEO_SECAM_B 0x00001000
#define QUORVEL_VIDEO_SECAM_D 0x00002000
#define QUORVEL_VIDEO_SECAM_G 0x00004000
#define QUORVEL_VIDEO_SECAM_K 0x00010000
#define QUORVEL_VIDEO_SECAM_L 0x00040000

/*
 * The caller's description of one capture device. The layout crosses the
 * library boundary: fields stand in this order, 4-byte integers directly
 * after the two strings, no gaps. The caller's record may be longer; the
 * library reads nothing after sourceKind.
 */
/* clang-format off */
typedef struct CaptureDeviceInfo {
    QuorvelChar deviceName[QUORVEL_DEVICE_STRING_UNITS]; /* first identity string */
    QuorvelChar devicePath[QUORVEL_DEVICE_STRING_UNITS]; /* second identity string */
    int32_t isDigital;      /* nonzero: digital broadcast receiver */
    int32_t digitalType;    /* QUORVEL_DIGITAL_* or any other code */
    int32_t callerWords1[4]; /* the caller's; never read */
    int32_t isAnalogTV;     /* nonzero: analog TV tuner */
    int32_t isAnalogRadio;  /* nonzero: analog radio tuner */
    int32_t isDV;           /* nonzero: DV source */
    int32_t isMpegStream;   /* nonzero: delivers an MPEG stream */
    int32_t callerWords2[2]; /* the caller's; never read */
    int32_t captionCapA;    /* analog caption capabilities: any nonzero */
    int32_t captionCapB;    /*   one lets an analog device offer subtitles */
    int32_t captionCapC;
    int32_t isAnalogDevice; /* nonzero: analog tuner device */
    int32_t sourceKind;     /* source kind code; only 3 is tested */
} CaptureDeviceInfo;
/* clang-format on */

/* The layout is part of the interface: pin it. */
#if defined(__cplusplus)
#define QUORVEL_STATIC_ASSERT(cond, name) static_assert(cond, #name)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define QUORVEL_STATIC_ASSERT(cond, name) _Static_assert(cond, #name)
#else
#define QUORVEL_STATIC_ASSERT(cond, name) typedef char quorvel_static_assert_##name[(cond) ? 1 : -1]
#endif
QUORVEL_STATIC_ASSERT(sizeof(QuorvelChar) == 2, char_is_16_bits);
QUORVEL_STATIC_ASSERT(offsetof(CaptureDeviceInfo, deviceName) == 0, off_deviceName);
QUORVEL_STATIC_ASSERT(offsetof(CaptureDeviceInfo, devicePath) == 512, off_devicePath);
QUORVEL_STATIC_ASSERT(offsetof(CaptureDeviceInfo, isDigital) == 1024, off_isDigital);
QUORVEL_STATIC_ASSERT(offsetof(CaptureDeviceInfo, digitalType) == 1028, off_digitalType);
QUORVEL_STATIC_ASSERT(offsetof(CaptureDeviceInfo, callerWords1) == 1032, off_callerWords1);
QUORVEL_STATIC_ASSERT(offsetof(CaptureDeviceInfo, isAnalogTV) == 1048, off_isAnalogTV);
QUORVEL_STATIC_ASSERT(offsetof(CaptureDeviceInfo, isAnalogRadio) == 1052, off_isAnalogRadio);
QUORVEL_STATIC_ASSERT(offsetof(CaptureDeviceInfo, isDV) == 1056, off_isDV);
QUORVEL_STATIC_ASSERT(offsetof(CaptureDeviceInfo, isMpegStream) == 1060, off_isMpegStream);
QUORVEL_STATIC_ASSERT(offsetof(CaptureDeviceInfo, callerWords2) == 1064, off_callerWords2);
QUORVEL_STATIC_ASSERT(offsetof(CaptureDeviceInfo, captionCapA) == 1072, off_captionCapA);
QUORVEL_STATIC_ASSERT(offsetof(CaptureDeviceInfo, captionCapB) == 1076, off_captionCapB);
QUORVEL_STATIC_ASSERT(offsetof(CaptureDeviceInfo, captionCapC) == 1080, off_captionCapC);
QUORVEL_STATIC_ASSERT(offsetof(CaptureDeviceInfo, isAnalogDevice) == 1084, off_isAnalogDevice);
QUORVEL_STATIC_ASSERT(offsetof(CaptureDeviceInfo, sourceKind) == 1088, off_sourceKind);
QUORVEL_STATIC_ASSERT(sizeof(CaptureDeviceInfo) == 1092, size_to_sourceKind);

/* The number that opens each comment below is the export's ordinal, as in
 * quorvel.def (30 is empty); two numbers: two names, one entry point. The
 * digital types named in them are digitalType codes (QUORVEL_DIGITAL_*). */

/* --- Device classification and capabilities ------------------------------
 * A null record gives 0, except Quorvel_IsUseAudioDevice, which gives 1. */

/* 1: whether a separate audio device goes with this source. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsUseAudioDevice(const CaptureDeviceInfo *device);
/* 5, 13: isDigital as stored. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsDigitalDevice(const CaptureDeviceInfo *device);
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsSupportScanFrequency(const CaptureDeviceInfo *device);
/* 6: isAnalogDevice as stored. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsAnalogDevice(const CaptureDeviceInfo *device);
/* 7: isAnalogTV as stored. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsAnalogTV(const CaptureDeviceInfo *device);
/* 8: isAnalogRadio as stored. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsAnalogRadio(const CaptureDeviceInfo *device);
/* 9: 1 for exactly NTSC_M, NTSC_M_J or NTSC_433; combinations give 0. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsNTSC(int32_t videoStandard);
/* 12: digital: 1 for ATSC; otherwise isAnalogTV as stored. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsSupportCableInput(const CaptureDeviceInfo *device);
/* 14: channel list type 0-10; coarseFlag nonzero asks only digital (10) or not (1). */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_GetChannelListType(const CaptureDeviceInfo *device, int32_t coarseFlag);
/* 15: 1 when pinKind is 1. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsUseAudioPin(int32_t pinKind);
/* 16, 18: digital type 33, 37 or 38 (QUORVEL_DIGITAL_DVB_*). */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsDVBSubtitle(const CaptureDeviceInfo *device);
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsSupportLCN(const CaptureDeviceInfo *device);
/* 21: digital type 36 (QUORVEL_DIGITAL_ATSC). */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsATSCDevice(const CaptureDeviceInfo *device);
/* 22: whether subtitles can be offered. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsDeviceSupportSubtitle(const CaptureDeviceInfo *device, int32_t videoStandard,
                                                                 int32_t forceFlag, int32_t suppressFlag);
/* 23: digital or MPEG stream. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsMPEGStream(const CaptureDeviceInfo *device);
/* 32: digital type 41 (QUORVEL_DIGITAL_TDMB). */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsTDMBDevice(const CaptureDeviceInfo *device);
/* 33: a DV source. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsDV(const CaptureDeviceInfo *device);
/* 34: a DV source delivering an MPEG stream. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsHDV(const CaptureDeviceInfo *device);
/* 35: digital or analog tuner device. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsDeviceSupportTimeShift(const CaptureDeviceInfo *device);
/* 36: value with the bits of mask set (setFlag nonzero) or cleared. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_MakeCaptureProperty(int32_t value, int32_t mask, int32_t setFlag);
/* 37: digital type 43 or 44 (QUORVEL_DIGITAL_ISDBT_*). */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsISDBTDevice(const CaptureDeviceInfo *device);

/* --- Device identity --------------------------------------------------- */

/* 2, 3: the record matches name or path (exact, non-empty). */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsSameVideoDevice(const CaptureDeviceInfo *device, const QuorvelChar *name,
                                                           const QuorvelChar *path);
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsSameAudioDevice(const CaptureDeviceInfo *device, const QuorvelChar *name,
                                                           const QuorvelChar *path);
/* 4: the two records share a non-empty name or a non-empty path. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsSameVideoDeviceEx(const CaptureDeviceInfo *deviceA,
                                                             const CaptureDeviceInfo *deviceB);
/* 31: vendor and product identifiers (up to 4 units each, upper case) from a
 * hardware path; each non-null output must hold QUORVEL_ID_UNITS units. Only
 * the first 259 units of path are examined. 0 for a null path, else 1; an
 * output whose marker is absent is left as it was. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_GetVIDPID(const QuorvelChar *path, QuorvelChar *vidOut, QuorvelChar *pidOut);

/* --- Region and broadcast settings ------------------------------------- */

/* 10: default country code and tune space from the regional settings. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_GetDefaultCountryCode(int32_t *countryOut, int32_t *tuneSpaceOut,
                                                               const QuorvelChar *settingsPath);
/* 11: analog video standard of a tune space; inputKind 2 selects the "-0" key. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_GetTVStandardByTuneSpace(int32_t tuneSpace, int32_t inputKind);
/* 17: teletext answer from the settings file, or 1 or 0. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsSupportTeletext(const CaptureDeviceInfo *device, int32_t countryCode,
                                                           const QuorvelChar *settingsPath);
/* 19: as Quorvel_IsSupportTeletext for analog TV devices, else 0. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsSupportParseChannelName(const CaptureDeviceInfo *device, int32_t countryCode,
                                                                   const QuorvelChar *settingsPath);
/* 20: the name contains one of the settings file's device-list entries. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsFrequencyOffsetDevice(const QuorvelChar *name,
                                                                 const QuorvelChar *settingsPath);

/* --- Storage utilities ------------------------------------------------- */

/* 24: 0 when the whole path exists or was created, else -1. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_CreateTreeDirectory(const QuorvelChar *path);
/* 25: removes a directory tree without following links out of it. For a
 * plain directory: nonzero when it and everything in it was removed, 0 when
 * something stayed; otherwise the path's attribute value, nothing removed
 * (-1 for a missing path or a null pointer). */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_DeleteDir(const QuorvelChar *path);
/* 26: writes the root of the fixed disk with the most free space into
 * rootOut (QUORVEL_ROOT_UNITS units); leaves it untouched when there is none.
 * Returns 0. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_GetLargestDiskName(QuorvelChar *rootOut);
/* 27: kilobytes free on the volume (2147483647 for 2 TiB or more), or -1. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_GetFreeDiskSpace(const QuorvelChar *rootPath);
/* 28: 1 when no new file of this name can be made. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsInValidFileName(const QuorvelChar *path);
/* 29: 1 when the file exists. */
QUORVEL_API int32_t QUORVEL_CALL Quorvel_IsFileExist(const QuorvelChar *path);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* QUORVEL_QUORVEL_H */
