#include "card_decoding.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <span>

#include "storage_card_decoding.h"
#include "vocabulary/hex_text.h"
#include "vocabulary/pn532_codes.h"

namespace qvr::tools {

namespace {

using Bytes = std::span<const std::uint8_t>;

std::string hex(Bytes bytes) { return formatHex(bytes); }

std::string hexByte(std::uint8_t byte) { return formatHex({&byte, 1}); }

// SAK bit 6 (0x20): the card speaks ISO/IEC 14443-4 (and so sends an ATS).
std::string sakText(std::uint8_t sak) {
    return hexByte(sak) + ((sak & 0x20) != 0 ? " (ISO/IEC 14443-4)" : " (no ISO/IEC 14443-4)");
}

// ATS: TL (its own length, counting itself), T0 (bits 4-6 say which of TA, TB, TC
// follow), the interface bytes, then the historical bytes.
std::string atsText(Bytes ats) {
    std::string text = hex(ats);
    const std::size_t length = ats[0];
    if (length > ats.size()) return text + " (shorter than its length byte says)";
    if (length < 2) return text;
    const auto interfaceBytes = static_cast<std::size_t>(std::popcount(static_cast<unsigned>(ats[1] & 0x70)));
    if (2 + interfaceBytes > length) return text + " (interface bytes cut short)";
    const Bytes historical = ats.subspan(2 + interfaceBytes, length - 2 - interfaceBytes);
    return text + "; historical bytes " + (historical.empty() ? "none" : hex(historical));
}

// ATQB protocol info (ISO/IEC 14443-3): byte 2 high nibble the largest frame the card
// takes, low nibble bit 0 ISO/IEC 14443-4; byte 3 high nibble FWI, the frame waiting
// time 302 us x 2^FWI.
std::string protocolInfoText(Bytes info) {
    static constexpr unsigned kFrameSizes[] = {16, 24, 32, 40, 48, 64, 96, 128, 256};
    const unsigned frameCode = info[1] >> 4;
    const unsigned fwi = info[2] >> 4;
    const std::string frame = frameCode < 9 ? std::to_string(kFrameSizes[frameCode]) + " bytes" : "reserved";
    char timing[32];
    std::snprintf(timing, sizeof timing, "%.1f ms", 0.30206 * std::ldexp(1.0, static_cast<int>(fwi)));
    return hex(info) + " (max frame " + frame + ((info[1] & 0x01) != 0 ? ", ISO/IEC 14443-4" : ", no ISO/IEC 14443-4") +
           ", frame waiting time " + (fwi < 15 ? timing : "reserved") + ")";
}

void decodeTypeA(Bytes data, DecodedCard& card) {
    if (data.size() < 5 || data.size() < 5u + data[4]) {
        card.problem = "Type A data cut short";
        return;
    }
    const std::size_t uidLength = data[4];
    card.fields.emplace_back("UID", hex(data.subspan(5, uidLength)));
    card.fields.emplace_back("ATQA", hex(data.subspan(1, 2)));
    card.fields.emplace_back("SAK", sakText(data[3]));
    if (const Bytes ats = data.subspan(5 + uidLength); !ats.empty()) card.fields.emplace_back("ATS", atsText(ats));
    for (auto& field : storageCardFields(data[3], data.subspan(1, 2))) card.fields.push_back(std::move(field));
}

void decodeTypeB(Bytes data, DecodedCard& card) {
    if (data.size() < 13 || data[1] != 0x50) {
        card.problem = "no whole ATQB (50, PUPI, application data, protocol info)";
        return;
    }
    card.fields.emplace_back("PUPI", hex(data.subspan(2, 4)));
    card.fields.emplace_back("Application data", hex(data.subspan(6, 4)) + " (AFI " + hexByte(data[6]) + ")");
    card.fields.emplace_back("Protocol info", protocolInfoText(data.subspan(10, 3)));
    if (data.size() >= 14 && data.size() >= 14u + data[13])
        card.fields.emplace_back("ATTRIB answer", hex(data.subspan(14, data[13])));
}

void decodeFeliCa(Bytes data, DecodedCard& card) {
    if (data.size() < 19 || data[2] != 0x01) {
        card.problem = "no whole polling answer (01, IDm, PMm)";
        return;
    }
    card.fields.emplace_back("IDm", hex(data.subspan(3, 8)));
    card.fields.emplace_back("PMm", hex(data.subspan(11, 8)));
    const bool systemCodeSent = data[1] >= 20 && data.size() >= 21;
    card.fields.emplace_back("System code", systemCodeSent ? hex(data.subspan(19, 2)) : "not sent");
}

void decodeTarget(Bytes data, DecodedCard& card) {
    switch (card.type) {
        case 0x10: case 0x20: return decodeTypeA(data, card);
        case 0x23: return decodeTypeB(data, card);
        case 0x11: case 0x12: return decodeFeliCa(data, card);
        default: card.problem = "target data " + hex(data);
    }
}

}  // namespace

std::vector<DecodedCard> decodeAutoPollReply(const std::uint8_t* reply, std::size_t length) {
    std::vector<DecodedCard> cards;
    if (reply == nullptr || length == 0) return cards;
    Bytes rest{reply + 1, length - 1};
    for (unsigned target = 0; target < reply[0]; ++target) {
        DecodedCard& card = cards.emplace_back();
        if (rest.size() < 2) {
            card.problem = "the reply ends before target " + std::to_string(target + 1);
            break;
        }
        card.type = rest[0];
        card.technology = pn532::tagTypeName(card.type);
        const std::size_t declared = rest[1];
        const Bytes data = rest.subspan(2, std::min(declared, rest.size() - 2));
        decodeTarget(data, card);
        if (card.problem.empty() && data.size() < declared) card.problem = "target data cut short";
        rest = rest.subspan(2 + data.size());
    }
    return cards;
}

}  // namespace qvr::tools
