// The text-to-number rule shared by registry and settings-file values.
#include <gtest/gtest.h>

#include "region/decimal.h"
#include "support/test_support.h"

namespace {

TEST(Decimal, ConvertsLikeTheWideStringRule) {
    const struct {
        const QuorvelChar *text;
        int32_t expected;
    } cases[] = {
        {U16(""), 0},
        {U16("abc"), 0},
        {U16("12abc"), 12},
        {U16("-3"), -3},
        {U16("+7"), 7},
        {U16("  \t\r\n\v\f42"), 42},
        {U16("0033"), 33},
        {U16("- 5"), 0},
        {U16("--5"), 0},
        {U16("+-5"), 0},
        {U16("5 6"), 5},
        {U16("-0"), 0},
        {U16("2147483647"), INT32_MAX},
        {U16("-2147483648"), INT32_MIN},
        // Just below either limit: the last digit still fits.
        {U16("2147483646"), INT32_MAX - 1},
        {U16("2147483640"), 2147483640},
        {U16("214748364"), 214748364},
        {U16("-2147483647"), INT32_MIN + 1},
        {U16("-2147483640"), -2147483640},
        {U16("-214748364"), -214748364},
        {U16("0002147483646"), INT32_MAX - 1},
        // Out of range saturates instead of wrapping.
        {U16("2147483648"), INT32_MAX},
        {U16("-2147483649"), INT32_MIN},
        {U16("4294967296"), INT32_MAX},
        {U16("99999999999999999999999999"), INT32_MAX},
        {U16("-99999999999999999999999999"), INT32_MIN},
        {U16("00000000000000000000000000012"), 12},
        {U16("0x10"), 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(quorvel::region::parseDecimal(c.text), c.expected) << U16String(c.text).size();
}

TEST(Decimal, UnitsOutsideAsciiAreNotDigitsOrSpace) {
    // Full-width digits, a no-break space and an ideographic space stop the scan.
    const QuorvelChar fullWidthOne[] = {0xFF11, 0};
    const QuorvelChar noBreakSpace[] = {0x00A0, '5', 0};
    const QuorvelChar ideographicSpace[] = {0x3000, '5', 0};
    const QuorvelChar digitThenArabic[] = {'4', 0x0664, 0};
    EXPECT_EQ(quorvel::region::parseDecimal(fullWidthOne), 0);
    EXPECT_EQ(quorvel::region::parseDecimal(noBreakSpace), 0);
    EXPECT_EQ(quorvel::region::parseDecimal(ideographicSpace), 0);
    EXPECT_EQ(quorvel::region::parseDecimal(digitThenArabic), 4);
}

TEST(Decimal, StopsAtTheLimitWithoutTerminator) {
    QuorvelChar digits[4] = {'1', '2', '3', '4'};  // no terminator
    EXPECT_EQ(quorvel::region::parseDecimal(digits, 4), 1234);
    EXPECT_EQ(quorvel::region::parseDecimal(digits, 2), 12);
}

}  // namespace
