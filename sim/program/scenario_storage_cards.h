// Building the storage cards of a scenario: MIFARE Classic cards laid out in
// sectors, and NTAG213/215/216 tags with their configuration pages.
#ifndef VREADER_SCENARIO_STORAGE_CARDS_H
#define VREADER_SCENARIO_STORAGE_CARDS_H

#include <memory>

#include "model/cards/card.h"
#include "program/card_fields.h"

namespace vreader {

std::unique_ptr<Card> mifareClassicCard(const CardFields& fields);
std::unique_ptr<Card> ntag213(const CardFields& fields);
std::unique_ptr<Card> ntag215(const CardFields& fields);
std::unique_ptr<Card> ntag216(const CardFields& fields);

}  // namespace vreader

#endif
