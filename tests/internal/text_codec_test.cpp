// The text codec behind paths, the registry file, the settings file and the
// tool. The UTF-8 and UTF-16 conversions are inline and also built into the
// Windows tool, so they are tested on every build; Windows-1252, marks and
// the whole-file checks live in the POSIX library only.
#include <gtest/gtest.h>

#include <string>

#include "platform/text_codec.h"
#include "support/test_support.h"

namespace {

using namespace quorvel::platform;

using Bytes = std::string;

const unsigned char *data(const Bytes &b) { return reinterpret_cast<const unsigned char *>(b.data()); }

// Each boundary of well-formed UTF-8, and a step past it; length 0: no
// well-formed sequence starts there.
const struct {
    Bytes bytes;
    size_t length;
    uint32_t code;
} kSequences[] = {
    {Bytes("\0", 1), 1, 0},
    {"\x7F", 1, 0x7F},
    {"\x80", 0, 0},
    {"\xC1\xBF", 0, 0},  // a continuation byte leads nothing; overlong
    {"\xC2\x80", 2, 0x80},
    {"\xDF\xBF", 2, 0x7FF},
    {"\xE0\x9F\xBF", 0, 0},
    {"\xE0\xA0\x80", 3, 0x800},  // overlong
    {"\xED\x9F\xBF", 3, 0xD7FF},
    {"\xED\xA0\x80", 0, 0},  // surrogates from here
    {"\xED\xBF\xBF", 0, 0},
    {"\xEE\x80\x80", 3, 0xE000},
    {"\xEF\xBF\xBF", 3, 0xFFFF},
    {"\xF0\x8F\xBF\xBF", 0, 0},  // overlong
    {"\xF0\x90\x80\x80", 4, 0x10000},
    {"\xF4\x8F\xBF\xBF", 4, 0x10FFFF},
    {"\xF4\x90\x80\x80", 0, 0},
    {"\xF5\x80\x80\x80", 0, 0},  // past U+10FFFF
    {"\xE2\x82", 0, 0},
    {"\xE2\x28\xA1", 0, 0},  // cut, not continued
    {"\xFF", 0, 0},
};

TEST(TextCodec, DecodesOnlyWellFormedSequencesAndEncodesThemBack) {
    for (const auto &c : kSequences) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        uint32_t code = 0xABCDEF;
        EXPECT_EQ(decodeUtf8(data(c.bytes), c.bytes.size(), &code), c.length);
        if (c.length == 0) continue;
        EXPECT_EQ(code, c.code);
        unsigned char out[4];
        ASSERT_EQ(encodeUtf8(c.code, out), c.length);
        EXPECT_EQ(Bytes(reinterpret_cast<char *>(out), c.length), c.bytes);
        EXPECT_EQ(decodeGeneralizedUtf8(out, &code), c.length);
        EXPECT_EQ(code, c.code);
    }
}

TEST(TextCodec, EachRuleDecidesWhatAnIllFormedByteBecomes) {
    // An ASCII run long enough for the eight-byte path, then bytes past it.
    const Bytes text = "0123456789a\xC3\xA9\xFF\xF0\x9F\x98\x80z\xE2\x82";
    const U16String ascii = U16("0123456789a");
    const struct {
        IllFormedByte rule;
        U16String expected;
        bool refused;
    } cases[] = {
        {IllFormedByte::Refuse, U16String(), true},
        {IllFormedByte::Latin1, ascii + U16String{0xE9, 0xFF, 0xD83D, 0xDE00, u'z', 0xE2, 0x82}, false},
        {IllFormedByte::Surrogate, ascii + U16String{0xE9, 0xDCFF, 0xD83D, 0xDE00, u'z', 0xDCE2, 0xDC82}, false},
    };
    for (const auto &c : cases) {
        QuorvelChar out[32];
        const size_t n = utf8ToUtf16(data(text), text.size(), out, 32, c.rule);
        if (c.refused) {
            EXPECT_EQ(n, kTextRefused);
            continue;
        }
        ASSERT_NE(n, kTextRefused);
        EXPECT_EQ(U16String(out, n), c.expected);
        // One unit short of the result: refused, not cut.
        EXPECT_EQ(utf8ToUtf16(data(text), text.size(), out, n - 1, c.rule), kTextRefused);
    }
}

TEST(TextCodec, EachRuleDecidesWhatALoneSurrogateBecomes) {
    const struct {
        U16String units;
        LoneSurrogate rule;
        Bytes expected;  // empty: refused
    } cases[] = {
        {{0xD800, u'a', 0xDC80, 0xD83D, 0xDE00, 0xDFFF},
         LoneSurrogate::Generalized,
         "\xED\xA0\x80"
         "a\xED\xB2\x80\xF0\x9F\x98\x80\xED\xBF\xBF"},
        {{0xD800, u'a', 0xDC80, 0xD83D, 0xDE00, 0xDFFF},
         LoneSurrogate::Replace,
         "\xEF\xBF\xBD"
         "a\xEF\xBF\xBD\xF0\x9F\x98\x80\xEF\xBF\xBD"},
        {{u'a', 0xDC80, 0xDCFF, 0xD83D, 0xDE00}, LoneSurrogate::ByteOrRefuse, "a\x80\xFF\xF0\x9F\x98\x80"},
        {{u'a', 0xDC7F}, LoneSurrogate::ByteOrRefuse, ""},
        {{u'a', 0xD83D}, LoneSurrogate::ByteOrRefuse, ""},  // a high half at the end is alone
    };
    for (const auto &c : cases) {
        unsigned char out[32];
        const size_t n = utf16ToUtf8(c.units.data(), c.units.size(), out, sizeof out, c.rule);
        if (c.expected.empty()) {
            EXPECT_EQ(n, kTextRefused);
            continue;
        }
        ASSERT_NE(n, kTextRefused);
        EXPECT_EQ(Bytes(reinterpret_cast<char *>(out), n), c.expected);
        EXPECT_EQ(utf16ToUtf8(c.units.data(), c.units.size(), out, n - 1, c.rule), kTextRefused);
    }
}

TEST(TextCodec, ReadsUtf16ByCodePoint) {
    const U16String units = {0xD83D, 0xDE00, 0xDE00, 0xD83D};
    size_t i = 0;
    EXPECT_EQ(nextUtf16(units.data(), units.size(), &i), 0x1F600u);
    EXPECT_EQ(nextUtf16(units.data(), units.size(), &i), 0xDE00u);
    EXPECT_EQ(nextUtf16(units.data(), units.size(), &i), 0xD83Du);
    EXPECT_EQ(i, 4u);
}

#if !defined(_WIN32)

TEST(TextCodec, MapsWindows1252BothWays) {
    const struct {
        unsigned char byte;
        uint32_t code;
    } cases[] = {{0x41, 0x41}, {0x80, 0x20AC}, {0x81, 0x81},  {0x8D, 0x8D}, {0x8F, 0x8F},
                 {0x90, 0x90}, {0x9D, 0x9D},   {0x9F, 0x178}, {0xA0, 0xA0}, {0xFF, 0xFF}};
    for (const auto &c : cases) {
        EXPECT_EQ(fromWindows1252(c.byte), c.code);
        EXPECT_EQ(toWindows1252(c.code), c.byte);
    }
    for (int b = 0; b < 256; ++b) EXPECT_EQ(toWindows1252(fromWindows1252(static_cast<unsigned char>(b))), b);
    // C1 controls the code page gives other characters, and what lies past it.
    for (uint32_t code : {0x80u, 0x9Fu, 0x100u, 0xFFFDu}) EXPECT_EQ(toWindows1252(code), -1);
}

TEST(TextCodec, TellsWholeFilesAndTheirMarks) {
    for (const auto &c : kSequences) {
        EXPECT_EQ(isUtf8(data(c.bytes), c.bytes.size()), c.length != 0);
        const Bytes after = "01234567" + c.bytes + "01234567";
        EXPECT_EQ(isUtf8(data(after), after.size()), c.length != 0);
    }
    const struct {
        Bytes bytes;
        ByteOrderMark mark;
        size_t length;
    } marks[] = {{"\xFF\xFE", ByteOrderMark::Utf16Le, 2},   {"\xFF\xFE\x41", ByteOrderMark::Utf16Le, 2},
                 {"\xEF\xBB\xBF[", ByteOrderMark::Utf8, 3}, {"\xFE\xFF", ByteOrderMark::None, 0},
                 {"\xEF\xBB", ByteOrderMark::None, 0},      {"", ByteOrderMark::None, 0}};
    for (const auto &c : marks) {
        EXPECT_EQ(byteOrderMark(data(c.bytes), c.bytes.size()), c.mark);
        EXPECT_EQ(markLength(c.mark), c.length);
    }
    const Bytes le("A\0\x3D\xD8\x00\xDE!", 7);  // the odd last byte is no unit
    QuorvelChar units[3];
    ASSERT_EQ(utf16LeUnits(data(le), le.size(), units), 3u);
    EXPECT_EQ(U16String(units, 3), (U16String{u'A', 0xD83D, 0xDE00}));
}

#endif

}  // namespace
