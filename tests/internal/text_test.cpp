// Key names printed the way the system's formatter prints them.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "support/test_support.h"

namespace {

TEST(FormatDecimal, PrintsOneNumberIntoTheFormat) {
    const struct {
        const QuorvelChar *format;
        int32_t value;
        const QuorvelChar *expected;
    } cases[] = {
        {U16("Country%dNationCode"), 1, U16("Country1NationCode")},
        {U16("DeviceName%d"), 12, U16("DeviceName12")},
        {U16("%d"), 0, U16("0")},
        {U16("%d"), -44, U16("-44")},
        {U16("%d"), INT32_MAX, U16("2147483647")},
        {U16("%d"), INT32_MIN, U16("-2147483648")},
        {U16("TS%d-0"), 8601, U16("TS8601-0")},
        {U16("TS%d-1"), -1, U16("TS-1-1")},
    };
    for (const auto &c : cases) {
        QuorvelChar out[quorvel::platform::kPathUnits];
        quorvel::platform::formatDecimal(out, c.format, c.value);
        EXPECT_EQ(U16String(out), U16String(c.expected));
    }
}

}  // namespace
