// Cards with the identities of well-known traces, for the chip and reader tests.
#ifndef VREADER_TEST_CARDS_H
#define VREADER_TEST_CARDS_H

#include <memory>

#include "model/cards/felica_card.h"
#include "test_bytes.h"
#include "model/cards/type2_tag.h"
#include "model/cards/type_a_card.h"
#include "model/cards/type_b_card.h"

namespace vreader::testing {

// Besides its table it answers 90 32 03 00 00 00 with 300 bytes (00 01 02 ... 2B)
// and 90 00, longer than one chip frame.
inline std::unique_ptr<TypeBCard> makeTypeB(const std::string& id = "typeb") {
    ResponseTable apdus(H("6D 00"));
    apdus.add(H("00 A4 04 00 02 3F 00"), H("6F 00 90 00"));
    apdus.add(H("00 B0 00 00 00"), H("6A 82"));
    Bytes longAnswer;
    for (int i = 0; i < 300; ++i) longAnswer.push_back(static_cast<std::uint8_t>(i));
    longAnswer.insert(longAnswer.end(), {0x90, 0x00});
    apdus.add(H("90 32 03 00 00 00"), longAnswer);
    return std::make_unique<TypeBCard>(
        id, std::chrono::milliseconds(0),
        TypeBIdentity{H("E8 25 3E EC"), H("00 00 00 11"), H("00 81 85"), H("00")}, std::move(apdus));
}

inline std::unique_ptr<FeliCaCard> makeFelica(const std::string& id = "felica", bool at212 = true,
                                               bool at424 = true) {
    FeliCaIdentity identity{H("01 02 03 04 05 06 07 08"), H("F1 F2 F3 F4 F5 F6 F7 F8"), H("AA BB"),
                            0x02, at212, at424};
    return std::make_unique<FeliCaCard>(id, std::chrono::milliseconds(0), std::move(identity),
                                        ResponseTable{});
}

inline std::unique_ptr<TypeACard> makeTypeA(const std::string& id = "typea") {
    ResponseTable apdus(H("6A 82"));
    apdus.add(H("00 A4 04 00 00"), H("90 00"));
    return std::make_unique<TypeACard>(
        id, std::chrono::milliseconds(0),
        TypeAIdentity{H("08 12 34 56"), H("00 04"), 0x20, H("05 78 80 70 02")}, std::move(apdus));
}

// 8 pages: page n holds n0 n1 n2 n3.
inline std::unique_ptr<Type2Tag> makeType2(const std::string& id = "ultralight",
                                            std::chrono::milliseconds delay = {}) {
    Bytes pages;
    for (std::uint8_t page = 0; page < 8; ++page) {
        for (std::uint8_t i = 0; i < 4; ++i) pages.push_back(static_cast<std::uint8_t>(page << 4 | i));
    }
    return std::make_unique<Type2Tag>(
        id, delay, TypeAIdentity{H("04 A1 B2 C3 D4 E5 F6"), H("00 44"), 0x00, {}}, std::move(pages),
        Bytes{});
}

}  // namespace vreader::testing

#endif
