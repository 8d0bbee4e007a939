// The settings-file reader. One table of quirky files, names and expected
// values, read through platform::Profile: natively that is the POSIX reader,
// under Wine it is Wine's GetPrivateProfileStringW, and both must give the
// answers Windows gives. Where Wine is known to answer differently from
// Windows, the lookup is marked and its assertion is skipped under Wine only;
// docs/settings-file.md lists those cases and where the expected values come
// from.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "support/temp_dir.h"
#include "support/test_support.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>


#include "platform/posix/profile_parse.h"
#endif

namespace {

using namespace std::string_literals;
using quorvel::platform::kPathUnits;
using quorvel::platform::Profile;

// The default passed when a lookup does not name one; never a value in the
// files below, so "found empty" and "absent" stay apart.
const U16String kFallback = U16("(default)");

struct Lookup {
    U16String section;
    U16String key;
    U16String fallback;
    U16String expected;
    // Wine answers differently from Windows here; `expected` is Windows'
    // answer, and the assertion is skipped under Wine.
    bool wineDiffers;
};

struct ProfileFile {
    std::string name;   // the file's name here and in fuzz/corpus/profile/
    std::string bytes;  // its content, raw
    std::vector<Lookup> lookups;
    // 8-bit text beyond ASCII: Windows reads it in its ANSI code page, so the
    // expected values hold where that code page is Windows-1252.
    bool needsWindows1252 = false;
};

Lookup reads(const U16String &section, const U16String &key, const U16String &expected) {
    return Lookup{section, key, kFallback, expected, false};
}

Lookup absent(const U16String &section, const U16String &key) {
    return Lookup{section, key, kFallback, kFallback, false};
}

Lookup withDefault(const U16String &fallback, const U16String &expected) {
    return Lookup{U16("S"), U16("Missing"), fallback, expected, false};
}

Lookup wineDiffers(Lookup lookup) {
    lookup.wineDiffers = true;
    return lookup;
}

std::string repeat(size_t count, char c) { return std::string(count, c); }
U16String repeat16(size_t count, char c) { return u16(std::string(count, c)); }

// A UTF-16LE file with its byte-order mark.
std::string utf16leFile(const U16String &text) {
    std::string bytes = "\xFF\xFE";
    for (QuorvelChar c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return bytes;
}

std::string utf16beFile(const U16String &text) {
    std::string bytes = "\xFE\xFF";
    for (QuorvelChar c : text) {
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
        bytes.push_back(static_cast<char>(c & 0xFF));
    }
    return bytes;
}

const std::vector<ProfileFile> &profileFiles() {
    static const std::vector<ProfileFile> files = [] {
        const U16String S = U16("S"), K = U16("K");
        std::vector<ProfileFile> f;

        // Names: matched without regard to case; values keep theirs.
        f.push_back({"basic", "[Country]\r\nCountryNum=3\r\nCountry1Code=44\r\n",
                     {reads(U16("Country"), U16("CountryNum"), U16("3")),
                      reads(U16("Country"), U16("Country1Code"), U16("44")),
                      absent(U16("Country"), U16("Country2Code")), absent(U16("Teletext"), U16("CountryNum"))}});
        f.push_back({"case-of-names", "[cOuNtRy]\r\ncOUNTRYnUM=4\r\n",
                     {reads(U16("Country"), U16("CountryNum"), U16("4")),
                      reads(U16("COUNTRY"), U16("countrynum"), U16("4"))}});
        f.push_back({"case-of-value", "[S]\r\nK=MiXeD Case\r\n", {reads(S, K, U16("MiXeD Case"))}});

        // White space around names and values, in the file and in the call.
        f.push_back({"spaces-around", "  [  Country  ]  \r\n   CountryNum   =   7   \r\n",
                     {reads(U16("Country"), U16("CountryNum"), U16("7")),
                      reads(U16("  Country "), U16(" CountryNum  "), U16("7"))}});
        f.push_back({"tabs-around", "\t[\tCountry\t]\t\r\n\tCountryNum\t=\t seven  eight \t\r\n",
                     {reads(U16("Country"), U16("CountryNum"), U16("seven  eight")),
                      // Windows strips only spaces from the caller's names.
                      wineDiffers(absent(U16("Country"), U16("\tCountryNum"))),
                      wineDiffers(absent(U16("\tCountry"), U16("CountryNum")))}});
        f.push_back({"empty-value", "[S]\r\nEmpty=\r\nBlank=    \r\nQuotedEmpty=\"\"\r\n",
                     {reads(S, U16("Empty"), U16("")), reads(S, U16("Blank"), U16("")),
                      reads(S, U16("QuotedEmpty"), U16("")), absent(S, U16("Missing"))}});

        // One pair of matching quotes around the value goes.
        f.push_back({"quotes",
                     "[S]\r\nDouble=\"quoted value\"\r\nSingle='single'\r\nPadded=  \"  padded  \"  \r\n"
                     "Mixed=\"mixed'\r\nOpenOnly=\"open\r\nCloseOnly=close\"\r\nNested=\"'inner'\"\r\n"
                     "Inside=say \"hi\" now\r\nLone=\"\r\nLoneSingle='\r\nTwice=\"\"x\"\"\r\n",
                     {reads(S, U16("Double"), U16("quoted value")), reads(S, U16("Single"), U16("single")),
                      reads(S, U16("Padded"), U16("  padded  ")), reads(S, U16("Mixed"), U16("\"mixed'")),
                      reads(S, U16("OpenOnly"), U16("\"open")), reads(S, U16("CloseOnly"), U16("close\"")),
                      reads(S, U16("Nested"), U16("'inner'")), reads(S, U16("Inside"), U16("say \"hi\" now")),
                      reads(S, U16("Lone"), U16("\"")), reads(S, U16("LoneSingle"), U16("'")),
                      reads(S, U16("Twice"), U16("\"x\""))}});
        f.push_back({"quotes-in-names", "[\"S\"]\r\n'K'=v\r\n",
                     {absent(S, K), reads(U16("\"S\""), U16("'K'"), U16("v"))}});

        // Comments: a line whose first character is ';'.
        f.push_back({"comments",
                     "; leading comment\r\n[S]\r\n; a comment\r\n;K=commented\r\n   ;Indented=commented\r\nK=real\r\n",
                     {reads(S, K, U16("real")), absent(S, U16("Indented")),
                      // Windows skips the line; Wine keeps it as the key ";K".
                      wineDiffers(absent(S, U16(";K")))}});
        f.push_back({"semicolons-elsewhere",
                     "[S]\r\nValue=;not a comment\r\nTrailing=5 ; note\r\nkey;semi=v\r\n#Hash=hash\r\n[;T]\r\nK=t\r\n",
                     {reads(S, U16("Value"), U16(";not a comment")), reads(S, U16("Trailing"), U16("5 ; note")),
                      reads(S, U16("key;semi"), U16("v")), reads(S, U16("#Hash"), U16("hash")),
                      reads(U16(";T"), K, U16("t"))}});
        f.push_back({"commented-section", ";[S]\r\nK=v\r\n", {absent(S, K)}});

        // Lines without '='.
        f.push_back({"lines-without-equals", "[S]\r\nthis line has no equals sign\r\nBare\r\nK=v\r\n",
                     {reads(S, K, U16("v")), absent(S, U16("Bare")), absent(S, U16("this line has no equals sign"))}});
        f.push_back({"bare-key-first", "[S]\r\nK\r\nK=v\r\n", {absent(S, K)}});

        // Duplicates: the first section of a name, the first line of a key.
        f.push_back({"duplicate-keys", "[S]\r\nK=first\r\nK=second\r\nkey2=one\r\nKEY2=two\r\n",
                     {reads(S, K, U16("first")), reads(S, U16("Key2"), U16("one"))}});
        f.push_back({"duplicate-sections", "[S]\r\nA=1\r\n[T]\r\nA=2\r\n[S]\r\nA=3\r\nB=4\r\n[s]\r\nC=5\r\n",
                     {reads(S, U16("A"), U16("1")), absent(S, U16("B")), absent(S, U16("C")),
                      reads(U16("T"), U16("A"), U16("2"))}});

        // Values cut to 259 units.
        f.push_back({"long-values",
                     "[S]\r\nV300=" + repeat(300, 'a') + "\r\nV259=" + repeat(259, 'b') + "\r\nV260=" +
                         repeat(260, 'c') + "\r\nQ300=\"" + repeat(300, 'd') + "\"\r\nQ258=\"" + repeat(258, 'e') +
                         "\"\r\nQ259=\"" + repeat(259, 'f') + "\"\r\n",
                     {reads(S, U16("V300"), repeat16(259, 'a')), reads(S, U16("V259"), repeat16(259, 'b')),
                      reads(S, U16("V260"), repeat16(259, 'c')), reads(S, U16("Q300"), repeat16(259, 'd')),
                      reads(S, U16("Q258"), repeat16(258, 'e')),
                      // Wine drops the closing quote and then one unit more.
                      wineDiffers(reads(S, U16("Q259"), repeat16(259, 'f')))}});
        f.push_back({"long-key-name", "[S]\r\n" + repeat(300, 'k') + "=v\r\n", {reads(S, repeat16(300, 'k'), U16("v"))}});

        // Line ends.
        f.push_back({"line-ends-lf", "[S]\nA=1\nB=2\n", {reads(S, U16("A"), U16("1")), reads(S, U16("B"), U16("2"))}});
        f.push_back({"line-ends-cr", "[S]\rA=1\rB=2\r", {reads(S, U16("A"), U16("1")), reads(S, U16("B"), U16("2"))}});
        f.push_back({"line-ends-mixed", "[S]\r\nA=1\nB=2\rC=3\n\rD=4",
                     {reads(S, U16("A"), U16("1")), reads(S, U16("B"), U16("2")), reads(S, U16("C"), U16("3")),
                      reads(S, U16("D"), U16("4"))}});
        f.push_back({"last-line-without-newline", "[S]\r\nK=last", {reads(S, K, U16("last"))}});
        f.push_back({"blank-lines", "\r\n\r\n   \r\n\t\r\n[S]\r\n\r\n\r\nK=v\r\n\r\n", {reads(S, K, U16("v"))}});

        // Encodings.
        f.push_back({"utf8-bom-then-comment", "\xEF\xBB\xBF; settings\r\n[S]\r\nK=v\r\n", {reads(S, K, U16("v"))}});
        f.push_back({"utf8-bom-then-blank-line", "\xEF\xBB\xBF\r\n[S]\r\nK=v\r\n", {reads(S, K, U16("v"))}});
        f.push_back({"utf8-bom-then-section", "\xEF\xBB\xBF[S]\r\nK=v\r\n[T]\r\nK=w\r\n",
                     {// Windows reads the mark as text, so line 1 is no header.
                      wineDiffers(absent(S, K)), reads(U16("T"), K, U16("w"))}});
        f.push_back({"utf16le",
                     utf16leFile(U16("[S]\r\nK=v\r\nName=L\u00E4nder \u00E9t\u00E9\r\nTV=\U0001F4FA\r\n"
                                     "[L\u00E4nd\u00E9r]\r\nK\u00EBy=umlaut\r\n")),
                     {reads(S, K, U16("v")), reads(S, U16("Name"), U16("L\u00E4nder \u00E9t\u00E9")),
                      reads(S, U16("TV"), U16("\U0001F4FA")), reads(U16("L\u00E4nd\u00E9r"), U16("K\u00EBy"), U16("umlaut")),
                      reads(U16(" l\u00E4ND\u00E9R "), U16("k\u00EBY"), U16("umlaut"))}});
        f.push_back({"utf16le-lf-only", utf16leFile(U16("[S]\nK=v")), {reads(S, K, U16("v"))}});
        f.push_back({"utf16be", utf16beFile(U16("[S]\r\nK=v\r\n")),
                     {// Windows does not read UTF-16BE; Wine does.
                      wineDiffers(absent(S, K))}});
        {
            ProfileFile ansi{"ansi-windows-1252",
                             "[S]\r\nCafe=Caf\xE9\r\nSigns=\x80\x9F\xA0\x81\xFF\r\n",
                             {reads(S, U16("Cafe"), U16("Caf\u00E9")),
                              reads(S, U16("Signs"), U16("\u20AC\u0178\u00A0\u0081\u00FF"))}};
            ansi.needsWindows1252 = true;
            f.push_back(ansi);
        }

        // Where sections start and end; keys outside sections.
        f.push_back({"key-before-section", "K=top\r\n[S]\r\nK=s\r\n",
                     {// Windows ignores lines before the first section; Wine
                      // files them under a nameless section.
                      wineDiffers(absent(U16(""), K)), wineDiffers(absent(U16(" "), K)), reads(S, K, U16("s"))}});
        f.push_back({"empty-section-name", "[]\r\nK=empty\r\n[ ]\r\nL=blank\r\n",
                     {// Wine finds its own nameless top section first.
                      wineDiffers(reads(U16(""), K, U16("empty"))), absent(U16(""), U16("L"))}});
        f.push_back({"section-ends-at-first-bracket", "[A]B]\r\nK=v\r\n",
                     {// Windows ends the name at the first ']', Wine at the last.
                      wineDiffers(reads(U16("A"), K, U16("v"))), wineDiffers(absent(U16("A]B"), K))}});
        f.push_back({"text-after-section", "[S] trailing words\r\nK=v\r\n[T]K=inline\r\nK=w\r\n",
                     {reads(S, K, U16("v")), reads(U16("T"), K, U16("w"))}});
        f.push_back({"section-without-bracket", "[S\r\nK=v\r\n[T   \r\nK=w\r\n",
                     {// Windows takes the line as a header; Wine does not.
                      wineDiffers(reads(S, K, U16("v"))), wineDiffers(reads(U16("T"), K, U16("w")))}});
        f.push_back({"bracket-inside-name", "[[S]\r\nK=v\r\n", {reads(U16("[S"), K, U16("v")), absent(S, K)}});
        f.push_back({"section-with-spaces", "[My Section]\r\nK=v\r\n",
                     {reads(U16("my section"), K, U16("v")), absent(U16("MySection"), K)}});
        f.push_back({"missing-open-bracket", "S]\r\nK=v\r\n", {absent(S, K), absent(U16("S]"), K)}});
        f.push_back({"equals-in-value", "[S]\r\nK=a=b=c\r\nURL = http://host/?q=1 \r\n",
                     {reads(S, K, U16("a=b=c")), reads(S, U16("URL"), U16("http://host/?q=1"))}});
        f.push_back({"empty-key-name", "[S]\r\n=no name\r\n   =  second  \r\nK=v\r\n",
                     {reads(S, U16(""), U16("no name")), reads(S, U16("   "), U16("no name")), reads(S, K, U16("v"))}});
        f.push_back({"brackets-in-key", "[S]\r\nK[1]=v\r\n", {reads(S, U16("K[1]"), U16("v"))}});
        f.push_back({"nul-in-text", "[S]\r\nValue=a\0b\r\nKey\0Tail=v\r\n"s,
                     {reads(S, U16("Value"), U16("a")), reads(S, U16("Key"), U16("v"))}});

        // The file the library reads, as an application ships it.
        f.push_back({"realistic",
                     "; Quorvel settings\r\n[Country]\r\nCountryNum=2\r\nCountry1NationCode=242\r\nCountry1Code=44\r\n"
                     "Country2NationCode=122\r\nCountry2Code=81\r\nCountry2TuneSpace=81\r\n\r\n[Teletext]\r\n"
                     "ShowTeletext=\r\n44=1\r\n81=0\r\n\r\n[Device]\r\nNum=2x\r\nDeviceName1=Orchard Analog\r\n"
                     "DeviceName2=  \"Tuner (PCI) \"  \r\n",
                     {reads(U16("Country"), U16("CountryNum"), U16("2")),
                      reads(U16("Country"), U16("Country2TuneSpace"), U16("81")),
                      absent(U16("Country"), U16("Country1TuneSpace")),
                      reads(U16("Teletext"), U16("ShowTeletext"), U16("")),
                      reads(U16("Teletext"), U16("44"), U16("1")), absent(U16("Teletext"), U16("49")),
                      reads(U16("Device"), U16("Num"), U16("2x")),
                      reads(U16("Device"), U16("DeviceName2"), U16("Tuner (PCI) "))}});

        // The default: trailing spaces go, nothing else; cut to 259 units.
        f.push_back({"defaults", "[S]\r\nK=v\r\n",
                     {withDefault(U16("0   "), U16("0")), withDefault(U16("   x"), U16("   x")),
                      withDefault(U16("x\t"), U16("x\t")), withDefault(U16(""), U16("")),
                      withDefault(U16("a b "), U16("a b")), withDefault(repeat16(300, 'z'), repeat16(259, 'z')),
                      withDefault(repeat16(255, 'y') + repeat16(45, ' '), repeat16(255, 'y')),
                      Lookup{U16("NoSuchSection"), K, U16("d  "), U16("d"), false},
                      // Windows drops every trailing space; Wine keeps one.
                      wineDiffers(withDefault(U16("    "), U16(""))),
                      // Windows copies the default as given; Wine unquotes it.
                      wineDiffers(withDefault(U16("\"q\""), U16("\"q\"")))}});
        return f;
    }();
    return files;
}

// Files whose reading is this project's decision, where Windows' answer
// hangs on its ANSI code page or is unknown; read on POSIX only, below, and
// seeds of the fuzzer's corpus like the table above.
std::string utf8WithoutMarkFile() { return "[L\xC3\xA4nder]\r\nK=Caf\xC3\xA9 \xF0\x9F\x93\xBA\r\n"; }
std::string notUtf8File() { return "[S]\r\nA=\xC3\xA9\r\nB=\xE9t\xE9\r\n"; }
std::string oddUtf16File() { return utf16leFile(U16("[S]\r\nK=v")) + "w"; }
std::string foldingFile() { return utf16leFile(U16("[L\u00E4nder]\r\nK=v\r\n[\u0131]\r\nK=dotless\r\n")); }

// Eleven pairs of four-character blocks, found by a birthday search. Both
// blocks of a pair take the reader's former index hash (unkeyed 32-bit
// FNV-1a) from one state to one same next state, the first pair from where
// that hash began the keys of a file's first section; so the 2,048 names
// made of one block of each pair, in order, share one hash (the first 256
// are used here and as a fuzz seed). Indexed by it they took time quadratic
// in their number; bench/settings_collision_bench.cpp times 65,536 such
// names.
const char *const kCollidingBlocks[11][2] = {
    {"9r_0", "_un8"}, {"]r_g", "{u.o"}, {">k2d", "@rul"}, {"kaon", "u~^v"}, {"7{od", ")t>|"}, {"xprs", "f}1{"},
    {"yuof", "gz^n"}, {"+g^f", "5xon"}, {")r+-", "7mz5"}, {"^y)1", "||~9"}, {"^y:b", "8~kz"},
};
constexpr unsigned kCollidingNames = 1u << 8;

std::string collidingName(unsigned i) {
    std::string name;
    for (unsigned b = 0; b < 11; ++b) name += kCollidingBlocks[b][(i >> b) & 1];
    return name;
}

// Each name set to its number, then the first name again in capitals, which
// must not win.
std::string collidingKeysFile() {
    std::string bytes = "[S]\n";
    for (unsigned i = 0; i < kCollidingNames; ++i) bytes += collidingName(i) + "=" + std::to_string(i) + "\n";
    std::string again = collidingName(0);
    for (char &c : again) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    return bytes + again + "=later\n";
}

struct SeedFile {
    std::string name;
    std::string bytes;
};

std::vector<SeedFile> corpusFiles() {
    std::vector<SeedFile> seeds;
    for (const ProfileFile &file : profileFiles()) seeds.push_back({file.name, file.bytes});
    seeds.push_back({"posix-utf8-without-mark", utf8WithoutMarkFile()});
    seeds.push_back({"posix-not-utf8", notUtf8File()});
    seeds.push_back({"posix-odd-utf16", oddUtf16File()});
    seeds.push_back({"posix-folding", foldingFile()});
    seeds.push_back({"posix-colliding-keys", collidingKeysFile()});
    return seeds;
}

bool runningUnderWine() {
#if defined(_WIN32)
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

bool ansiCodePageIs1252() {
#if defined(_WIN32)
    return GetACP() == 1252;
#else
    return true;  // the POSIX reader falls back to Windows-1252 by design
#endif
}

// Printable ASCII, other units as \uXXXX, for failure messages; a long
// string by its start and its length.
std::string show(const U16String &s) {
    if (s.size() > 64) return show(s.substr(0, 16)) + "... (" + std::to_string(s.size()) + " units)";
    std::string out = "\"";
    for (QuorvelChar c : s) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out.push_back(static_cast<char>(c));
        } else {
            char buf[8];
            (void)std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
            out += buf;
        }
    }
    return out + "\"";
}

U16String readValue(Profile &profile, const U16String &section, const U16String &key, const U16String &fallback) {
    QuorvelChar out[kPathUnits];
    for (auto &c : out) c = 0x2222;  // no stale terminator to hide a missing one
    profile.readString(section.c_str(), key.c_str(), fallback.c_str(), out);
    EXPECT_TRUE(std::char_traits<QuorvelChar>::find(out, kPathUnits, 0) != nullptr) << "not terminated";
    out[kPathUnits - 1] = 0;
    return U16String(out);
}

void writeBytes(const std::filesystem::path &path, const std::string &bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST(Profile, QuirkyFilesReadAsWindowsReadsThem) {
    TempDir dir;
    const bool wine = runningUnderWine();
    int checked = 0, skipped = 0;
    for (const ProfileFile &file : profileFiles()) {
        if (file.needsWindows1252 && !ansiCodePageIs1252()) {
            std::printf("[ skipped  ] %s: the ANSI code page is not 1252\n", file.name.c_str());
            continue;
        }
        U16String path = dir.writeFile(file.name + ".ini", file.bytes);
        Profile profile(path.c_str());  // one Profile for all the file's reads
        for (size_t i = 0; i < file.lookups.size(); ++i) {
            const Lookup &l = file.lookups[i];
            U16String got = readValue(profile, l.section, l.key, l.fallback);
            std::string where = file.name + " #" + std::to_string(i + 1) + " [" + show(l.section) + "] " +
                                show(l.key);
            if (wine && l.wineDiffers) {
                ++skipped;
                std::printf("[wine diff] %s: Windows %s, Wine %s%s\n", where.c_str(), show(l.expected).c_str(),
                            show(got).c_str(), got == l.expected ? " (same now)" : "");
                continue;
            }
            ++checked;
            EXPECT_TRUE(got == l.expected) << where << ": got " << show(got) << ", expected " << show(l.expected);
        }
    }
    std::printf("[ profile  ] %d lookups checked, %d skipped as Wine-differing\n", checked, skipped);
}

TEST(Profile, FileNamesAreUniqueAndTheCorpusIsWrittenOnRequest) {
    std::set<std::string> names;
    for (const ProfileFile &file : profileFiles()) EXPECT_FALSE(file.lookups.empty()) << file.name;
    for (const SeedFile &file : corpusFiles()) {
        EXPECT_TRUE(names.insert(file.name).second) << "duplicate file name " << file.name;
        EXPECT_EQ(file.name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-"), std::string::npos);
    }
    // QUORVEL_PROFILE_CORPUS=<dir> writes the fuzzer's seed corpus
    // (fuzz/corpus/profile/) from these tables: one file each, raw bytes.
    if (const char *corpus = std::getenv("QUORVEL_PROFILE_CORPUS")) {
        for (const SeedFile &file : corpusFiles()) {
            writeBytes(std::filesystem::path(corpus) / (file.name + ".ini"), file.bytes);
        }
    }
}

TEST(Profile, MissingFileGivesTheDefault) {
    TempDir dir;
    U16String path = dir.child("absent.ini");
    Profile profile(path.c_str());
    EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d  ")) == U16("d"));
    EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), repeat16(300, 'd')) == repeat16(259, 'd'));
}

TEST(Profile, MissingDirectoryGivesTheDefault) {
    TempDir dir;
    U16String path = dir.child("no-such-directory/settings.ini");
    Profile profile(path.c_str());
    EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d")) == U16("d"));
}

TEST(Profile, PathNamingADirectoryGivesTheDefault) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "settings.ini");
    for (const U16String &path : {dir.self(), dir.child("settings.ini")}) {
        Profile profile(path.c_str());
        EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d ")) == U16("d")) << show(path);
    }
}

TEST(Profile, EmptyPathGivesTheDefault) {
    Profile profile(U16(""));
    EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d")) == U16("d"));
}

TEST(Profile, EmptyFileGivesTheDefault) {
    TempDir dir;
    for (const std::string &bytes : {""s, "\xFF\xFE"s, "\xEF\xBB\xBF"s, "\r\n"s}) {
        U16String path = dir.writeFile("empty.ini", bytes);
        Profile profile(path.c_str());
        EXPECT_TRUE(readValue(profile, U16(""), U16(""), U16("d")) == U16("d"));
        EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d")) == U16("d"));
    }
}

TEST(Profile, NullPathGivesTheDefaultAsPassed) {
    Profile profile(nullptr);
    EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d")) == U16("d"));
    EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), repeat16(300, 'd')) == repeat16(259, 'd'));
}

TEST(Profile, PathBeyondAscii) {
    TempDir dir;
    const std::filesystem::path name = std::filesystem::u8path(u8"param\u00E8tres-\u8A2D\u5B9A-\U0001F4FA.ini");
    writeBytes(dir.path() / name, "[S]\r\nK=v\r\n");
    U16String path = TempDir::toU16(dir.path() / name);
    Profile profile(path.c_str());
    EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d")) == U16("v"));
}

TEST(Profile, ManyReadsFromOneProfile) {
    std::string bytes = "[Country]\r\n";
    for (int i = 1; i <= 200; ++i) bytes += "Country" + std::to_string(i) + "Code=" + std::to_string(i * 7) + "\r\n";
    TempDir dir;
    U16String path = dir.writeFile("many.ini", bytes);
    Profile profile(path.c_str());
    for (int i = 200; i >= 1; --i) {
        U16String key = u16("Country" + std::to_string(i) + "Code");
        ASSERT_TRUE(readValue(profile, U16("Country"), key, U16("0")) == u16(std::to_string(i * 7))) << i;
    }
    EXPECT_TRUE(readValue(profile, U16("Country"), U16("Country201Code"), U16("0")) == U16("0"));
}

#if !defined(_WIN32)
// The POSIX reader's own promises: one parse per Profile, reads that cost
// the length of the names read, and the decisions Windows leaves to us.

TEST(ProfilePosix, ParsesTheFileOnceAtTheFirstRead) {
    TempDir dir;
    U16String path = dir.writeFile("once.ini", "[S]\r\nA=old-a\r\nB=old-b\r\n");
    Profile profile(path.c_str());
    EXPECT_TRUE(readValue(profile, U16("S"), U16("A"), U16("d")) == U16("old-a"));
    dir.writeFile("once.ini", "[S]\r\nA=new-a\r\nB=new-b\r\n");
    EXPECT_TRUE(readValue(profile, U16("S"), U16("B"), U16("d")) == U16("old-b"));
    std::filesystem::remove(dir.path() / "once.ini");
    EXPECT_TRUE(readValue(profile, U16("S"), U16("A"), U16("d")) == U16("old-a"));

    dir.writeFile("once.ini", "[S]\r\nA=new-a\r\n");
    Profile next(path.c_str());
    EXPECT_TRUE(readValue(next, U16("S"), U16("A"), U16("d")) == U16("new-a"));
}

TEST(ProfilePosix, AFileMissingAtTheFirstReadStaysMissing) {
    TempDir dir;
    U16String path = dir.child("later.ini");
    Profile profile(path.c_str());
    EXPECT_TRUE(readValue(profile, U16("S"), U16("A"), U16("d")) == U16("d"));
    dir.writeFile("later.ini", "[S]\r\nA=v\r\n");
    EXPECT_TRUE(readValue(profile, U16("S"), U16("A"), U16("d")) == U16("d"));
}

TEST(ProfilePosix, ManyKeysReadThroughOneProfile) {
    // 100,000 keys read one by one through one Profile, last to first; the
    // cost of doing so is measured by the country benchmark, not here.
    const int count = 100000;
    std::string bytes = "[Many]\n";
    for (int i = 0; i < count; ++i) bytes += "Key" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    ASSERT_LE(bytes.size(), quorvel::platform::kMaxProfileBytes);
    TempDir dir;
    U16String path = dir.writeFile("many.ini", bytes);
    Profile profile(path.c_str());
    int wrong = 0;
    for (int i = count - 1; i >= 0; --i) {
        if (readValue(profile, U16("many"), u16("KEY" + std::to_string(i)), U16("d")) != u16(std::to_string(i))) ++wrong;
    }
    EXPECT_EQ(wrong, 0);
}

TEST(ProfilePosix, KeysSharingOneHashAreEachFound) {
    // They do share one hash, as the former index computed it.
    auto unit = [](uint32_t hash, uint32_t u) {
        hash = (hash ^ (u & 0xFF)) * 16777619u;
        return (hash ^ (u >> 8)) * 16777619u;
    };
    std::set<uint32_t> hashes;
    for (unsigned i = 0; i < kCollidingNames; ++i) {
        uint32_t hash = unit(unit(2166136261u, 0), 0);  // section record 0
        for (char c : collidingName(i)) hash = unit(hash, static_cast<unsigned char>(c));
        hashes.insert(hash);
    }
    EXPECT_EQ(hashes.size(), 1u);

    using namespace quorvel::platform;
    const std::string bytes = collidingKeysFile();
    ProfileData *data = parseProfile(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
    ASSERT_NE(data, nullptr);
    unsigned wrong = 0;
    for (unsigned i = 0; i < kCollidingNames; ++i) {
        QuorvelChar value[kPathUnits];
        if (!findProfileValue(data, U16("s"), u16(collidingName(i)).c_str(), value) ||
            U16String(value) != u16(std::to_string(i))) {
            ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0u);
    freeProfile(data);
}

TEST(ProfilePosix, Utf8WithoutAMarkIsReadAsUtf8) {
    // Windows would read these bytes in its ANSI code page ("CafÃ©" where
    // that is 1252); Linux has no ANSI code page and its text is UTF-8.
    TempDir dir;
    U16String path = dir.writeFile("utf8.ini", utf8WithoutMarkFile());
    Profile profile(path.c_str());
    EXPECT_TRUE(readValue(profile, U16("L\u00E4nder"), U16("K"), U16("d")) == U16("Caf\u00E9 \U0001F4FA"));
}

TEST(ProfilePosix, TextThatIsNotUtf8IsReadAsWindows1252) {
    TempDir dir;
    // One byte that is not UTF-8 makes the whole file Windows-1252, the
    // well-formed sequence elsewhere too.
    U16String path = dir.writeFile("mixed.ini", notUtf8File());
    Profile profile(path.c_str());
    EXPECT_TRUE(readValue(profile, U16("S"), U16("A"), U16("d")) == U16("\u00C3\u00A9"));
    EXPECT_TRUE(readValue(profile, U16("S"), U16("B"), U16("d")) == U16("\u00E9t\u00E9"));
    // Forms UTF-8 forbids: overlong, surrogate, beyond U+10FFFF, cut short.
    const std::string bad[] = {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"};
    for (const std::string &b : bad) {
        U16String p = dir.writeFile("bad.ini", "[S]\r\nK=" + b);
        Profile bytes(p.c_str());
        U16String expected;
        for (unsigned char c : b) expected.push_back(c >= 0x80 && c < 0xA0 ? 0 : c);
        U16String got = readValue(bytes, U16("S"), U16("K"), U16("d"));
        ASSERT_EQ(got.size(), b.size());
        for (size_t i = 0; i < b.size(); ++i) {
            if (expected[i] != 0) {
                EXPECT_EQ(got[i], expected[i]) << show(got);
            }
        }
    }
}

TEST(ProfilePosix, OddLastByteOfUtf16IsIgnored) {
    TempDir dir;
    U16String path = dir.writeFile("odd.ini", oddUtf16File());
    Profile profile(path.c_str());
    EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d")) == U16("v"));
}

TEST(ProfilePosix, EveryUnitOfUtf16ReadsBackAndCutsLikeUnits) {
    // Lone surrogates in names and values, pairs, and a pair cut by the
    // 259-unit limit, in both a UTF-16 and a UTF-8 file where it can be.
    const U16String pair = U16("\U0001F4FA"), high{0xD83D}, low{0xDC00};
    const U16String cut = repeat16(258, 'a') + pair;
    TempDir dir;
    U16String utf16 = dir.writeFile(
        "units.ini", utf16leFile(U16("[S") + pair + U16("]\r\nK") + high + U16("=v") + low + pair + U16("\r\nC=") + cut +
                                 U16("\r\nL") + low + U16("x=1\r\n")));
    U16String utf8 = dir.writeFile("units8.ini", "[S\xF0\x9F\x93\xBA]\r\nC=" + repeat(258, 'a') + "\xF0\x9F\x93\xBA\r\n");
    const U16String section = U16("S") + pair;
    Profile p16(utf16.c_str()), p8(utf8.c_str());
    EXPECT_TRUE(readValue(p16, section, U16("K") + high, U16("d")) == U16("v") + low + pair);
    EXPECT_TRUE(readValue(p16, section, U16("L") + low + U16("X"), U16("d")) == U16("1"));
    EXPECT_TRUE(readValue(p16, section, U16("K"), U16("d")) == U16("d"));
    EXPECT_TRUE(readValue(p16, section, U16("C"), U16("d")) == repeat16(258, 'a') + high);
    EXPECT_TRUE(readValue(p8, section, U16("C"), U16("d")) == repeat16(258, 'a') + high);
    EXPECT_TRUE(readValue(p8, U16("S") + high, U16("C"), U16("d")) == U16("d"));
}

TEST(ProfilePosix, OnlyAsciiLettersAreFolded) {
    // Wine folds ASCII only, and so do we; how Windows folds other letters
    // is undocumented, and the library's own names are ASCII.
    TempDir dir;
    U16String path = dir.writeFile("fold.ini", foldingFile());
    Profile profile(path.c_str());
    EXPECT_TRUE(readValue(profile, U16("L\u00E4NDER"), U16("k"), U16("d")) == U16("v"));
    EXPECT_TRUE(readValue(profile, U16("L\u00C4nder"), U16("K"), U16("d")) == U16("d"));
    EXPECT_TRUE(readValue(profile, U16("I"), U16("K"), U16("d")) == U16("d"));
    EXPECT_TRUE(readValue(profile, U16("i"), U16("K"), U16("d")) == U16("d"));
}

TEST(ProfilePosix, PathWithALoneSurrogateGivesTheDefault) {
    TempDir dir;
    for (const U16String &tail : {U16String{0xD800}, U16String{0xDC00, 'x'}, U16String{'x', 0xDBFF}}) {
        U16String path = dir.self() + U16("/") + tail;
        Profile profile(path.c_str());
        EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d")) == U16("d"));
    }
}

TEST(ProfilePosix, FifoGivesTheDefaultWithoutWaiting) {
    TempDir dir;
    ASSERT_EQ(mkfifo((dir.path() / "fifo.ini").c_str(), 0600), 0);
    U16String path = dir.child("fifo.ini");
    Profile profile(path.c_str());
    EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d")) == U16("d"));
}

TEST(ProfilePosix, UnreadableFileGivesTheDefault) {
    TempDir dir;
    U16String path = dir.writeFile("locked.ini", "[S]\r\nK=v\r\n");
    std::filesystem::permissions(dir.path() / "locked.ini", std::filesystem::perms::none);
    if (access((dir.path() / "locked.ini").c_str(), R_OK) == 0) GTEST_SKIP() << "this user reads any file";
    Profile profile(path.c_str());
    EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d")) == U16("d"));
}

TEST(ProfilePosix, FilesBeyondTheSizeLimitAreNotRead) {
    TempDir dir;
    const std::string head = "[S]\r\nK=v\r\n";
    for (size_t size : {quorvel::platform::kMaxProfileBytes, quorvel::platform::kMaxProfileBytes + 1}) {
        U16String path = dir.writeFile("big.ini", head);
        // The rest of the file reads as U+0000 units: one more line, in S.
        std::filesystem::resize_file(dir.path() / "big.ini", size);
        Profile profile(path.c_str());
        U16String expected = size <= quorvel::platform::kMaxProfileBytes ? U16("v") : U16("d");
        EXPECT_TRUE(readValue(profile, U16("S"), U16("K"), U16("d")) == expected) << size;
    }
}

TEST(ProfilePosix, ParserTakesAnyBytes) {
    using namespace quorvel::platform;
    ProfileData *empty = parseProfile(nullptr, 0);
    ASSERT_NE(empty, nullptr);
    QuorvelChar value[kPathUnits];
    EXPECT_FALSE(findProfileValue(empty, U16("S"), U16("K"), value));
    EXPECT_FALSE(findProfileValue(empty, nullptr, U16("K"), value));
    freeProfile(empty);
    freeProfile(nullptr);

    QuorvelChar out[kPathUnits];
    readProfileString(nullptr, U16("S"), U16("K"), nullptr, out);
    EXPECT_TRUE(U16String(out).empty());
    readProfileString(nullptr, nullptr, nullptr, U16("x  "), out);
    EXPECT_TRUE(U16String(out) == U16("x"));

    // Every corpus file, and every prefix of each short one, parses and
    // reads without fault (the sanitizers watch).
    const U16String names[] = {U16("S"), U16("K"), U16(""), U16("Country"), U16("CountryNum")};
    for (const SeedFile &file : corpusFiles()) {
        const auto *bytes = reinterpret_cast<const unsigned char *>(file.bytes.data());
        for (size_t n = file.bytes.size() < 128 ? 0 : file.bytes.size(); n <= file.bytes.size(); ++n) {
            ProfileData *data = parseProfile(bytes, n);
            ASSERT_NE(data, nullptr);
            for (const U16String &section : names) {
                for (const U16String &key : names) readProfileString(data, section.c_str(), key.c_str(), nullptr, out);
            }
            freeProfile(data);
        }
    }
    EXPECT_EQ(parseProfile(reinterpret_cast<const unsigned char *>(""), kMaxProfileBytes + 1), nullptr);
}
#endif

}  // namespace
