// The cards in an InAutoPoll reply, decoded for people (PN532 user manual UM0701-02,
// InAutoPoll; ISO/IEC 14443-3/-4; JIS X 6319-4).
//
// The reply is what oPollingTags delivers: the chip's answer from its target count
// on (NbTg, then per target its type code, the length of its data and the data).
// Each target's data starts with the chip's target number Tg:
//   Type A (types 10, 20):     Tg, ATQA (2), SAK, UID length, UID, [ATS, from its length byte]
//   Type B (type 23):          Tg, ATQB (50, PUPI 4, application data 4, protocol info 3),
//                              ATTRIB answer length, ATTRIB answer
//   FeliCa (types 11, 12):     Tg, polling answer length (18 or 20, counting
//                              itself), 01, IDm (8), PMm (8), [system code (2)]
#ifndef QVR_PROBE_CARD_DECODING_H
#define QVR_PROBE_CARD_DECODING_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qvr::tools {

struct DecodedCard {
    std::uint8_t type = 0;
    std::string technology;                                  // e.g. "ISO/IEC 14443-4 Type B"
    std::vector<std::pair<std::string, std::string>> fields;  // name, value: ("UID", "04 A2 19 5B")
    std::string problem;  // why decoding stopped (data cut short, unknown type); empty when whole
};

// Every target of the reply, in the chip's order; empty when no target answered.
std::vector<DecodedCard> decodeAutoPollReply(const std::uint8_t* reply, std::size_t length);

}  // namespace qvr::tools

#endif
