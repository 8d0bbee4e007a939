// The device queries that take one record and nothing else, by name, for
// tests that call each of them alike.
#ifndef QUORVEL_TESTS_SUPPORT_RECORD_QUERIES_H
#define QUORVEL_TESTS_SUPPORT_RECORD_QUERIES_H

#include "quorvel/quorvel.h"

struct RecordQuery {
    const char *name;
    int32_t(QUORVEL_CALL *call)(const CaptureDeviceInfo *);
};

#define QUORVEL_RECORD_QUERY(name) \
    { #name, name }
const RecordQuery kRecordQueries[] = {
    QUORVEL_RECORD_QUERY(Quorvel_IsUseAudioDevice),
    QUORVEL_RECORD_QUERY(Quorvel_IsDigitalDevice),
    QUORVEL_RECORD_QUERY(Quorvel_IsSupportScanFrequency),
    QUORVEL_RECORD_QUERY(Quorvel_IsAnalogDevice),
    QUORVEL_RECORD_QUERY(Quorvel_IsAnalogTV),
    QUORVEL_RECORD_QUERY(Quorvel_IsAnalogRadio),
    QUORVEL_RECORD_QUERY(Quorvel_IsSupportCableInput),
    QUORVEL_RECORD_QUERY(Quorvel_IsDVBSubtitle),
    QUORVEL_RECORD_QUERY(Quorvel_IsSupportLCN),
    QUORVEL_RECORD_QUERY(Quorvel_IsATSCDevice),
    QUORVEL_RECORD_QUERY(Quorvel_IsMPEGStream),
    QUORVEL_RECORD_QUERY(Quorvel_IsTDMBDevice),
    QUORVEL_RECORD_QUERY(Quorvel_IsDV),
    QUORVEL_RECORD_QUERY(Quorvel_IsHDV),
    QUORVEL_RECORD_QUERY(Quorvel_IsDeviceSupportTimeShift),
    QUORVEL_RECORD_QUERY(Quorvel_IsISDBTDevice),
};
#undef QUORVEL_RECORD_QUERY

#endif
