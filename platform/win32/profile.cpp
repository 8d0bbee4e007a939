// Settings file, Windows side: every read is GetPrivateProfileStringW.
#include "platform/profile.h"

#include <windows.h>

#include <stdlib.h>
#include <wchar.h>

#include <new>

#include "platform/numbered_key.h"
#include "platform/trace.h"

namespace quorvel {
namespace platform {

namespace {

// The system's reader says nothing of what it found; when tracing, the file
// is looked at once and a key read again with a default no file holds.
void traceRead(const Char *path, ProfileState &state, const Char *section, const Char *key,
               const Char (&out)[kPathUnits]) {
    const DWORD attributes = GetFileAttributesW(path);
    const bool missing = attributes == INVALID_FILE_ATTRIBUTES;
    const bool there = !missing && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    if (!state.fileTold) {
        state.fileTold = true;
        trace("settings file %s: %s", TraceText(path).c_str(),
              there     ? "read by the system's profile reader"
              : missing ? "missing; every read gives its default"
                        : "not a regular file; every read gives its default");
    }
    if (!there) return;
    static const Char kAbsent[] = L"\x01quorvel: absent\x01";
    Char probe[kPathUnits];
    GetPrivateProfileStringW(section, key, kAbsent, probe, kPathUnits, path);
    if (wcscmp(probe, kAbsent) == 0 && state.missing.take()) {
        trace("settings [%s] %s: not there; the default \"%s\"", TraceText(section).c_str(), TraceText(key).c_str(),
              TraceText(out).c_str());
    }
}

}  // namespace

// Every read goes to the system, which keeps nothing for us between them.
Profile::Profile(const Char *path) : path_(path), state_{false, TraceBudget{}} {}

Profile::~Profile() {
    if (tracing()) state_.missing.finish("settings keys not there");
}

bool Profile::recall(uint64_t, int32_t (&)[4]) { return false; }

void Profile::remember(uint64_t, const int32_t (&)[4]) {}

void Profile::readFromFile(const Char *section, const Char *key, const Char *fallback, Char (&out)[kPathUnits]) {
    GetPrivateProfileStringW(section, key, fallback, out, kPathUnits, path_);
    if (tracing()) traceRead(path_, state_, section, key, out);
}

namespace {

// The largest key list read: 128 MiB. A settings file is a few kilobytes.
constexpr DWORD kMaxKeyListUnits = DWORD{1} << 26;

}  // namespace

bool Profile::listNumberedKeys(const Char *section, const Char *prefix, const Char *suffix, NumberedVisitor visit,
                               void *context) {
    const size_t prefixLength = wcslen(prefix), suffixLength = wcslen(suffix);
    // A list that does not fit comes back cut, with a count of the size
    // less two; the buffer grows until the count is smaller than that.
    for (DWORD capacity = 4096; capacity <= kMaxKeyListUnits; capacity *= 2) {
        Char *list = static_cast<Char *>(malloc(capacity * sizeof(Char)));
        if (list == nullptr) return false;
        const DWORD count = GetPrivateProfileStringW(section, nullptr, L"", list, capacity, path_);
        if (count + 2 < capacity) {
            list[count] = 0;  // the list's closing NUL, whatever the count
            for (DWORD pos = 0; pos < count && list[pos] != 0;) {
                size_t length = wcslen(list + pos);
                const Char *name = list + pos;
                pos += static_cast<DWORD>(length) + 1;
                // The list may keep blanks around a name that a look-up ignores.
                while (length > 0 && (name[0] == L' ' || name[0] == L'\t')) ++name, --length;
                while (length > 0 && (name[length - 1] == L' ' || name[length - 1] == L'\t')) --length;
                const int32_t number = numberedKeyIndex(name, length, prefix, prefixLength, suffix, suffixLength);
                // Only a keyed read says which line of a repeated name decides.
                if (number != 0) visit(context, number, nullptr);
            }
            free(list);
            return true;
        }
        free(list);
    }
    return false;
}

}  // namespace platform
}  // namespace quorvel
