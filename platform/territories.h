// Territories as the system numbers them: the two-letter ISO 3166-1 code of
// a locale's territory, the nation number (GEOID) that the geographic
// location functions give it, and the telephone country code that the
// locale's country setting (LOCALE_ICOUNTRY) holds.
//
// The POSIX registry reads the user's nation and country code from here. The
// header holds data only, no system header, so the Windows test build can
// compare it with the system's own answers.
#ifndef QUORVEL_PLATFORM_TERRITORIES_H
#define QUORVEL_PLATFORM_TERRITORIES_H

#include <stddef.h>
#include <stdint.h>

namespace quorvel {
namespace platform {

struct Territory {
    char code[3];       // upper case, terminated
    int32_t nation;     // GEOID
    int32_t telephone;  // 0: the system knows no locale of this territory
};

// Sorted by code, for binary search. Not here: the code "XX", which the
// system gives many nations of no territory of their own, and territories
// the system names in locales but gives no nation (DG, EA, IC). SJ has two
// nations; this is the one its locale gives.
// One row per line, as the table reads.
// clang-format off
inline constexpr Territory kTerritories[] = {
    {"AD", 8, 376}, {"AE", 224, 971}, {"AF", 3, 93}, {"AG", 2, 1}, {"AI", 300, 1}, {"AL", 6, 355}, {"AM", 7, 374},
    {"AO", 9, 244}, {"AQ", 301, 0}, {"AR", 11, 54}, {"AS", 10, 1}, {"AT", 14, 43}, {"AU", 12, 61},
    {"AW", 302, 297}, {"AX", 10028789, 358}, {"AZ", 5, 994}, {"BA", 25, 387}, {"BB", 18, 1}, {"BD", 23, 880},
    {"BE", 21, 32}, {"BF", 245, 226}, {"BG", 35, 359}, {"BH", 17, 973}, {"BI", 38, 257}, {"BJ", 28, 229},
    {"BL", 161832015, 590}, {"BM", 20, 1}, {"BN", 37, 673}, {"BO", 26, 591}, {"BQ", 161832258, 599},
    {"BR", 32, 55}, {"BS", 22, 1}, {"BT", 34, 975}, {"BV", 306, 0}, {"BW", 19, 267}, {"BY", 29, 375},
    {"BZ", 24, 501}, {"CA", 39, 1}, {"CC", 311, 61}, {"CD", 44, 243}, {"CF", 55, 236}, {"CG", 43, 242},
    {"CH", 223, 41}, {"CI", 119, 225}, {"CK", 312, 682}, {"CL", 46, 56}, {"CM", 49, 237}, {"CN", 45, 86},
    {"CO", 51, 57}, {"CR", 54, 506}, {"CS", 269, 0}, {"CU", 56, 53}, {"CV", 57, 238}, {"CW", 273, 599},
    {"CX", 309, 61}, {"CY", 59, 357}, {"CZ", 75, 420}, {"DE", 94, 49}, {"DJ", 62, 253}, {"DK", 61, 45},
    {"DM", 63, 1}, {"DO", 65, 1}, {"DZ", 4, 213}, {"EC", 66, 593}, {"EE", 70, 372}, {"EG", 67, 20},
    {"EH", 257, 212}, {"ER", 71, 291}, {"ES", 217, 34}, {"ET", 73, 251}, {"FI", 77, 358}, {"FJ", 78, 679},
    {"FK", 315, 500}, {"FM", 80, 691}, {"FO", 81, 298}, {"FR", 84, 33}, {"GA", 87, 241}, {"GB", 242, 44},
    {"GD", 91, 1}, {"GE", 88, 995}, {"GF", 317, 594}, {"GG", 324, 44}, {"GH", 89, 233}, {"GI", 90, 350},
    {"GL", 93, 299}, {"GM", 86, 220}, {"GN", 100, 224}, {"GP", 321, 590}, {"GQ", 69, 240}, {"GR", 98, 30},
    {"GS", 342, 0}, {"GT", 99, 502}, {"GU", 322, 1}, {"GW", 196, 245}, {"GY", 101, 592}, {"HK", 104, 852},
    {"HM", 325, 0}, {"HN", 106, 504}, {"HR", 108, 385}, {"HT", 103, 509}, {"HU", 109, 36}, {"ID", 111, 62},
    {"IE", 68, 353}, {"IL", 117, 972}, {"IM", 15126, 44}, {"IN", 113, 91}, {"IO", 114, 246}, {"IQ", 121, 964},
    {"IR", 116, 98}, {"IS", 110, 354}, {"IT", 118, 39}, {"JE", 328, 44}, {"JM", 124, 1}, {"JO", 126, 962},
    {"JP", 122, 81}, {"KE", 129, 254}, {"KG", 130, 996}, {"KH", 40, 855}, {"KI", 133, 686}, {"KM", 50, 269},
    {"KN", 207, 1}, {"KP", 131, 850}, {"KR", 134, 82}, {"KW", 136, 965}, {"KY", 307, 1}, {"KZ", 137, 7},
    {"LA", 138, 856}, {"LB", 139, 961}, {"LC", 218, 1}, {"LI", 145, 423}, {"LK", 42, 94}, {"LR", 142, 231},
    {"LS", 146, 266}, {"LT", 141, 370}, {"LU", 147, 352}, {"LV", 140, 371}, {"LY", 148, 218}, {"MA", 159, 212},
    {"MC", 158, 377}, {"MD", 152, 373}, {"ME", 270, 382}, {"MF", 31706, 590}, {"MG", 149, 261}, {"MH", 199, 692},
    {"MK", 19618, 389}, {"ML", 157, 223}, {"MM", 27, 95}, {"MN", 154, 976}, {"MO", 151, 853}, {"MP", 337, 1},
    {"MQ", 330, 596}, {"MR", 162, 222}, {"MS", 332, 1}, {"MT", 163, 356}, {"MU", 160, 230}, {"MV", 165, 960},
    {"MW", 156, 265}, {"MX", 166, 52}, {"MY", 167, 60}, {"MZ", 168, 258}, {"NA", 254, 264}, {"NC", 334, 687},
    {"NE", 173, 227}, {"NF", 336, 672}, {"NG", 175, 234}, {"NI", 182, 505}, {"NL", 176, 31}, {"NO", 177, 47},
    {"NP", 178, 977}, {"NR", 180, 674}, {"NU", 335, 683}, {"NZ", 183, 64}, {"OM", 164, 968}, {"PA", 192, 507},
    {"PE", 187, 51}, {"PF", 318, 689}, {"PG", 194, 675}, {"PH", 201, 63}, {"PK", 190, 92}, {"PL", 191, 48},
    {"PM", 206, 508}, {"PN", 339, 870}, {"PR", 202, 1}, {"PS", 184, 972}, {"PT", 193, 351}, {"PW", 195, 680},
    {"PY", 185, 595}, {"QA", 197, 974}, {"RE", 198, 262}, {"RO", 200, 40}, {"RS", 271, 381}, {"RU", 203, 7},
    {"RW", 204, 250}, {"SA", 205, 966}, {"SB", 30, 677}, {"SC", 208, 248}, {"SD", 219, 249}, {"SE", 221, 46},
    {"SG", 215, 65}, {"SH", 343, 290}, {"SI", 212, 386}, {"SJ", 125, 47}, {"SK", 143, 421}, {"SL", 213, 232},
    {"SM", 214, 378}, {"SN", 210, 221}, {"SO", 216, 252}, {"SR", 181, 597}, {"SS", 276, 211}, {"ST", 233, 239},
    {"SV", 72, 503}, {"SX", 30967, 1}, {"SY", 222, 963}, {"SZ", 260, 268}, {"TC", 349, 1}, {"TD", 41, 235},
    {"TF", 319, 0}, {"TG", 232, 228}, {"TH", 227, 66}, {"TJ", 228, 992}, {"TK", 347, 690}, {"TL", 7299303, 670},
    {"TM", 238, 993}, {"TN", 234, 216}, {"TO", 231, 676}, {"TR", 235, 90}, {"TT", 225, 1}, {"TV", 236, 688},
    {"TW", 237, 886}, {"TZ", 239, 255}, {"UA", 241, 380}, {"UG", 240, 256}, {"UM", 161832256, 1}, {"US", 244, 1},
    {"UY", 246, 598}, {"UZ", 247, 998}, {"VA", 253, 39}, {"VC", 248, 1}, {"VE", 249, 58}, {"VG", 351, 1},
    {"VI", 252, 1}, {"VN", 251, 84}, {"VU", 174, 678}, {"WF", 352, 681}, {"WS", 259, 685}, {"XK", 9914689, 377},
    {"YE", 261, 967}, {"YT", 331, 262}, {"ZA", 209, 27}, {"ZM", 263, 260}, {"ZW", 264, 263},
};
// clang-format on

inline constexpr size_t kTerritoryCount = sizeof kTerritories / sizeof kTerritories[0];

constexpr bool territoriesSorted() {
    for (size_t i = 1; i < kTerritoryCount; ++i) {
        const Territory &a = kTerritories[i - 1], &b = kTerritories[i];
        if (a.code[0] > b.code[0] || (a.code[0] == b.code[0] && a.code[1] >= b.code[1])) return false;
    }
    return true;
}
static_assert(territoriesSorted(), "kTerritories must be sorted by code, each code once");

// The row of territory `first``second` (upper-case ASCII letters), or null.
constexpr const Territory *findTerritory(char first, char second) {
    size_t low = 0, high = kTerritoryCount;
    while (low < high) {
        const size_t mid = low + (high - low) / 2;
        const Territory &t = kTerritories[mid];
        if (t.code[0] == first && t.code[1] == second) return &t;
        if (t.code[0] < first || (t.code[0] == first && t.code[1] < second)) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    return nullptr;
}

}  // namespace platform
}  // namespace quorvel

#endif
