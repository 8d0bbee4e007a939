// Registry contents for a test, the same calls on both builds. Both start
// from an empty registry, and nothing of a test's changes outlives its
// fixture.
//
// Windows: the fixture creates scratch keys below HKEY_CURRENT_USER\Software
// and points HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE at them for the whole
// process (RegOverridePredefKey), so the library under test reads them too;
// the destructor points the roots back and deletes the scratch keys.
//
// POSIX: after each call the fixture rewrites a registry file ("Windows
// Registry Editor Version 5.00", UTF-16LE) in a temporary directory and
// points QUORVEL_REGISTRY_FILE at it; the destructor puts the variable back
// as it was and deletes the file.
//
// Keys are paths below the root with backslashes, e.g.
// "Control Panel\\International\\Geo"; keys and names are UTF-8 and matched
// without regard to ASCII case; an empty name is the key's default value.
// Setting a value creates its key and the keys above it. Fixtures may nest:
// an inner one starts from the outer one's registry and undoes its own
// changes.
#ifndef QUORVEL_TESTS_TEST_REGISTRY_H
#define QUORVEL_TESTS_TEST_REGISTRY_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

enum class TestRoot { CurrentUser, LocalMachine };

// Keys the library reads.
inline const char kGeo[] = "Control Panel\\International\\Geo";
inline const char kInternational[] = "Control Panel\\International";
inline std::string tuneSpaceKey(int tuneSpace, int suffix) {
    return "Software\\Microsoft\\TV System Services\\TVAutoTune\\TS" + std::to_string(tuneSpace) + "-" +
           std::to_string(suffix);
}

#if defined(_WIN32)

#include <windows.h>

class TestRegistry {
public:
    TestRegistry() : outer_(innermost_) {
        name_ = scratchPrefix() + std::to_wstring(count_++);
        user_ = create(software(), name_ + L"\\User");
        machine_ = create(software(), name_ + L"\\Machine");
        if (outer_ != nullptr) {
            check(RegCopyTreeW(outer_->user_, nullptr, user_), "RegCopyTreeW", "User");
            check(RegCopyTreeW(outer_->machine_, nullptr, machine_), "RegCopyTreeW", "Machine");
        }
        check(RegOverridePredefKey(HKEY_CURRENT_USER, user_), "RegOverridePredefKey", "HKEY_CURRENT_USER");
        check(RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_), "RegOverridePredefKey", "HKEY_LOCAL_MACHINE");
        innermost_ = this;
    }
    ~TestRegistry() {
        innermost_ = outer_;
        // Null gives the roots back to the system.
        check(RegOverridePredefKey(HKEY_CURRENT_USER, outer_ != nullptr ? outer_->user_ : nullptr),
              "RegOverridePredefKey", "HKEY_CURRENT_USER");
        check(RegOverridePredefKey(HKEY_LOCAL_MACHINE, outer_ != nullptr ? outer_->machine_ : nullptr),
              "RegOverridePredefKey", "HKEY_LOCAL_MACHINE");
        RegCloseKey(user_);
        RegCloseKey(machine_);
        check(RegDeleteTreeW(software(), name_.c_str()), "RegDeleteTreeW", "the scratch key");
    }
    TestRegistry(const TestRegistry &) = delete;
    TestRegistry &operator=(const TestRegistry &) = delete;

    // This process's scratch keys below HKEY_CURRENT_USER\Software start so.
    static std::wstring scratchPrefix() {
        return L"QuorvelTestRegistry-" + std::to_wstring(GetCurrentProcessId()) + L"-";
    }

    void setString(TestRoot root, const std::string &key, const std::string &name, const std::string &value) {
        std::wstring text = wide(value);
        std::vector<uint8_t> bytes((text.size() + 1) * sizeof(wchar_t));
        std::memcpy(bytes.data(), text.c_str(), bytes.size());
        setValue(root, key, name, REG_SZ, bytes);
    }
    void setDword(TestRoot root, const std::string &key, const std::string &name, uint32_t value) {
        std::vector<uint8_t> bytes = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                      static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
        setValue(root, key, name, REG_DWORD, bytes);
    }
    void setBinary(TestRoot root, const std::string &key, const std::string &name, const std::vector<uint8_t> &bytes) {
        setValue(root, key, name, REG_BINARY, bytes);
    }
    void createKey(TestRoot root, const std::string &key) { RegCloseKey(create(base(root), wide(key))); }
    void removeValue(TestRoot root, const std::string &key, const std::string &name) {
        LONG rc = RegDeleteKeyValueW(base(root), wide(key).c_str(), wide(name).c_str());
        if (rc != ERROR_FILE_NOT_FOUND) check(rc, "RegDeleteKeyValueW", key + " " + name);
    }
    void removeKey(TestRoot root, const std::string &key) {
        LONG rc = RegDeleteTreeW(base(root), wide(key).c_str());
        if (rc != ERROR_FILE_NOT_FOUND) check(rc, "RegDeleteTreeW", key);
    }

private:
    HKEY base(TestRoot root) const { return root == TestRoot::CurrentUser ? user_ : machine_; }

    // HKEY_CURRENT_USER\Software as the system has it: opened by the first
    // fixture, before any points the root elsewhere, and kept open.
    static HKEY software() {
        static const HKEY key = [] {
            HKEY k = nullptr;
            check(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_ALL_ACCESS, &k), "RegOpenKeyExW", "Software");
            return k;
        }();
        return key;
    }

    static HKEY create(HKEY parent, const std::wstring &path) {
        HKEY k = nullptr;
        check(RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              "RegCreateKeyExW", std::string(path.begin(), path.end()));
        return k;
    }

    static std::wstring wide(const std::string &s) {
        if (s.empty()) return std::wstring();
        int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
        std::wstring w(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
        return w;
    }

    static bool check(LONG rc, const char *call, const std::string &what) {
        if (rc == ERROR_SUCCESS) return true;
        ADD_FAILURE() << call << " failed with " << rc << " for " << what;
        return false;
    }

    void setValue(TestRoot root, const std::string &key, const std::string &name, DWORD type,
                  const std::vector<uint8_t> &bytes) {
        HKEY k = create(base(root), wide(key));
        check(RegSetValueExW(k, wide(name).c_str(), 0, type, bytes.data(), static_cast<DWORD>(bytes.size())),
              "RegSetValueExW", name);
        RegCloseKey(k);
    }

    static inline TestRegistry *innermost_ = nullptr;
    static inline unsigned count_ = 0;

    TestRegistry *outer_;
    std::wstring name_;
    HKEY user_ = nullptr;
    HKEY machine_ = nullptr;
};

#else  // POSIX

#include <stdlib.h>

#include <algorithm>
#include <fstream>

#include "support/temp_dir.h"

class TestRegistry {
public:
    TestRegistry() : outer_(innermost_) {
        // A fixture inside another starts from the other's contents, as it
        // would on Windows.
        if (outer_ != nullptr) keys_ = outer_->keys_;
        innermost_ = this;
        const char *previous = getenv(kVariable);
        hadPrevious_ = previous != nullptr;
        if (hadPrevious_) previous_ = previous;
        file_ = (dir_.path() / "registry.reg").string();
        write();
        setenv(kVariable, file_.c_str(), 1);
    }
    ~TestRegistry() {
        if (hadPrevious_) {
            setenv(kVariable, previous_.c_str(), 1);
        } else {
            unsetenv(kVariable);
        }
        innermost_ = outer_;
    }
    TestRegistry(const TestRegistry &) = delete;
    TestRegistry &operator=(const TestRegistry &) = delete;

    void setString(TestRoot root, const std::string &key, const std::string &name, const std::string &value) {
        Value v;
        v.kind = Value::String;
        v.text = utf16(value);
        setValue(root, key, name, v);
    }
    void setDword(TestRoot root, const std::string &key, const std::string &name, uint32_t value) {
        Value v;
        v.kind = Value::Dword;
        v.number = value;
        setValue(root, key, name, v);
    }
    void setBinary(TestRoot root, const std::string &key, const std::string &name, const std::vector<uint8_t> &bytes) {
        Value v;
        v.kind = Value::Binary;
        v.bytes = bytes;
        setValue(root, key, name, v);
    }
    void createKey(TestRoot root, const std::string &key) {
        ensureKey(root, components(key));
        write();
    }
    void removeValue(TestRoot root, const std::string &key, const std::string &name) {
        Key *k = findKey(root, components(key));
        if (k == nullptr) return;
        std::u16string n = utf16(name);
        k->values.erase(
            std::remove_if(k->values.begin(), k->values.end(), [&](const Value &v) { return sameName(v.name, n); }),
            k->values.end());
        write();
    }
    void removeKey(TestRoot root, const std::string &key) {
        std::vector<std::u16string> path = components(key);
        keys_.erase(std::remove_if(keys_.begin(), keys_.end(),
                                   [&](const Key &k) {
                                       return k.root == root && k.path.size() >= path.size() &&
                                              std::equal(path.begin(), path.end(), k.path.begin(), sameName);
                                   }),
                    keys_.end());
        write();
    }

private:
    static constexpr const char *kVariable = "QUORVEL_REGISTRY_FILE";

    struct Value {
        enum Kind { String, Dword, Binary } kind = String;
        std::u16string name;
        std::u16string text;
        uint32_t number = 0;
        std::vector<uint8_t> bytes;
    };
    struct Key {
        TestRoot root;
        std::vector<std::u16string> path;
        std::vector<Value> values;
    };

    // UTF-8 to UTF-16; the tests' text is well-formed.
    static std::u16string utf16(const std::string &s) {
        std::u16string out;
        for (size_t i = 0; i < s.size();) {
            unsigned char lead = static_cast<unsigned char>(s[i]);
            size_t length = lead < 0x80 ? 1 : lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : 4;
            uint32_t cp = length == 1 ? lead : length == 2 ? lead & 0x1fu : length == 3 ? lead & 0x0fu : lead & 0x07u;
            for (size_t j = 1; j < length && i + j < s.size(); ++j)
                cp = cp << 6 | (static_cast<unsigned char>(s[i + j]) & 0x3fu);
            i += length;
            if (cp >= 0x10000) {
                out.push_back(static_cast<char16_t>(0xd800 + ((cp - 0x10000) >> 10)));
                out.push_back(static_cast<char16_t>(0xdc00 + ((cp - 0x10000) & 0x3ff)));
            } else {
                out.push_back(static_cast<char16_t>(cp));
            }
        }
        return out;
    }

    static bool sameName(const std::u16string &a, const std::u16string &b) {
        auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; };
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(), [&](char16_t x, char16_t y) { return upper(x) == upper(y); });
    }

    // The path's components; doubled or trailing backslashes add none.
    static std::vector<std::u16string> components(const std::string &key) {
        std::vector<std::u16string> parts;
        std::u16string current;
        for (char16_t c : utf16(key)) {
            if (c == u'\\') {
                if (!current.empty()) parts.push_back(current);
                current.clear();
            } else {
                current.push_back(c);
            }
        }
        if (!current.empty()) parts.push_back(current);
        return parts;
    }

    Key *findKey(TestRoot root, const std::vector<std::u16string> &path) {
        for (Key &k : keys_) {
            if (k.root == root && k.path.size() == path.size() &&
                std::equal(path.begin(), path.end(), k.path.begin(), sameName)) {
                return &k;
            }
        }
        return nullptr;
    }

    // The key and every key above it, as the system creates them.
    Key &ensureKey(TestRoot root, const std::vector<std::u16string> &path) {
        for (size_t n = 1; n <= path.size(); ++n) {
            std::vector<std::u16string> prefix(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(n));
            if (findKey(root, prefix) == nullptr) keys_.push_back(Key{root, prefix, {}});
        }
        return *findKey(root, path);
    }

    void setValue(TestRoot root, const std::string &key, const std::string &name, Value v) {
        std::vector<std::u16string> path = components(key);
        if (path.empty()) {
            ADD_FAILURE() << "TestRegistry: values need a key below the root";
            return;
        }
        v.name = utf16(name);
        Key &k = ensureKey(root, path);
        for (Value &old : k.values) {
            if (sameName(old.name, v.name)) {
                old = v;
                write();
                return;
            }
        }
        k.values.push_back(v);
        write();
    }

    static std::u16string quoted(const std::u16string &s) {
        std::u16string out = u"\"";
        for (char16_t c : s) {
            if (c == u'\\' || c == u'"') out.push_back(u'\\');
            out.push_back(c);
        }
        return out + u"\"";
    }

    static std::u16string hex(uint32_t v, int digits) {
        static const char16_t kDigits[] = u"0123456789abcdef";
        std::u16string out;
        for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out.push_back(kDigits[(v >> shift) & 0xf]);
        return out;
    }

    // The file as the registry editor exports it, long binary data carried
    // over several lines.
    void write() const {
        std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n";
        for (const Key &k : keys_) {
            text += k.root == TestRoot::CurrentUser ? u"[HKEY_CURRENT_USER" : u"[HKEY_LOCAL_MACHINE";
            for (const std::u16string &part : k.path) text += u"\\" + part;
            text += u"]\r\n";
            for (const Value &v : k.values) {
                text += v.name.empty() ? u"@" : quoted(v.name);
                text += u"=";
                if (v.kind == Value::String) {
                    text += quoted(v.text);
                } else if (v.kind == Value::Dword) {
                    text += u"dword:" + hex(v.number, 8);
                } else {
                    text += u"hex:";
                    for (size_t i = 0; i < v.bytes.size(); ++i) {
                        if (i != 0) text += i % 25 == 0 ? u",\\\r\n  " : u",";
                        text += hex(v.bytes[i], 2);
                    }
                }
                text += u"\r\n";
            }
            text += u"\r\n";
        }
        std::string bytes = "\xff\xfe";
        for (char16_t c : text) {
            bytes.push_back(static_cast<char>(c & 0xff));
            bytes.push_back(static_cast<char>(c >> 8));
        }
        std::ofstream f(file_, std::ios::binary | std::ios::trunc);
        f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        f.close();
        if (!f) ADD_FAILURE() << "TestRegistry: cannot write " << file_;
    }

    static inline TestRegistry *innermost_ = nullptr;

    TestRegistry *outer_;
    TempDir dir_;
    std::string file_;
    bool hadPrevious_ = false;
    std::string previous_;
    std::vector<Key> keys_;
};

#endif

#endif
