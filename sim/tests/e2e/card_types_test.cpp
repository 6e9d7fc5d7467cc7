// Through the real pcscd, one scenario per card type: InAutoPoll with the
// library's type list reports each under its own code, and the card answers.
#include "e2e_test_support.h"

namespace vreader::e2e {
namespace {

using Empty = ConnectedTest;
using TypeA = ConnectedTest;
using Ultralight = ConnectedTest;
using TypeB = ConnectedTest;
using FeliCa212 = ConnectedTest;
using FeliCa424 = ConnectedTest;

TEST_F(Empty, PollingFindsNothing) {
    EXPECT_EQ(chipHex(kAutoPollLibraryTypes), "D5 61 00");
    EXPECT_EQ(chipHex(kListTypeB), "D5 4B 00");
    EXPECT_EQ(chipHex(kListFeliCa212), "D5 4B 00");
    EXPECT_EQ(chipHex(kTypeBReadBinary), "D5 41 27");
}

TEST_F(TypeA, FoundAsIso14443_4TypeAAndAnswersApdus) {
    EXPECT_EQ(chipHex(kAutoPollLibraryTypes),
              "D5 61 01 20 0E 01 00 04 20 04 08 12 34 56 05 78 80 70 02");
    EXPECT_EQ(chipHex(H("D4 60 01 01 10")).substr(0, 14), "D5 61 01 10 0E");
    EXPECT_EQ(chipHex(H("D4 40 01 00 A4 04 00 07 D2 76 00 00 85 01 01 00")), "D5 41 00 90 00");
    EXPECT_EQ(chipHex(H("D4 40 01 00 B0 00 00 02")), "D5 41 00 6A 82");
}

TEST_F(Ultralight, FoundAsType2TagAndReadsFourPages) {
    EXPECT_EQ(chipHex(kAutoPollLibraryTypes), "D5 61 01 10 0C 01 00 44 00 07 04 A1 B2 C3 D4 E5 F6");
    EXPECT_EQ(chipHex(H("D4 40 01 30 03")),
              "D5 41 00 E1 10 06 00 03 10 D1 01 0C 55 01 65 78 61 6D 70");
    EXPECT_EQ(chipHex(H("D4 40 01 30 10")), "D5 41 01");  // past the last page: no answer
}

TEST_F(TypeB, FoundAsIso14443_4TypeB) {
    EXPECT_EQ(chipHex(kAutoPollLibraryTypes),
              "D5 61 01 23 0F 01 50 E8 25 3E EC 00 00 00 11 00 81 85 01 00");
}

TEST_F(FeliCa212, FoundAt212Only) {
    EXPECT_EQ(chipHex(kAutoPollLibraryTypes).substr(0, 14), "D5 61 01 11 15");
    EXPECT_EQ(chipHex(H("D4 60 01 01 12")), "D5 61 00");
    EXPECT_EQ(chipHex(kListFeliCa212).substr(0, 14), "D5 4B 01 01 14");
}

TEST_F(FeliCa424, FoundAt424Only) {
    EXPECT_EQ(chipHex(kAutoPollLibraryTypes),
              "D5 61 01 12 15 01 14 01 01 2E 4C 8A 13 57 9B E0 03 01 4B 02 4F 49 93 FF 88 B4");
    EXPECT_EQ(chipHex(kListFeliCa212), "D5 4B 00");
    EXPECT_EQ(chipHex(H("D4 4A 01 02 00 FF FF 00 00")).substr(0, 14), "D5 4B 01 01 12");
}

}  // namespace
}  // namespace vreader::e2e
