#include "model/field.h"

#include <algorithm>

namespace vreader {

void Field::insert(Card& card) {
    if (!contains(card)) cards_.push_back(&card);
}

bool Field::remove(const Card& card) {
    const auto found = std::find(cards_.begin(), cards_.end(), &card);
    if (found == cards_.end()) return false;
    // Out of the field the card has no power: back in, it starts idle.
    (*found)->powerOff();
    cards_.erase(found);
    return true;
}

bool Field::contains(const Card& card) const {
    return std::find(cards_.begin(), cards_.end(), &card) != cards_.end();
}

}  // namespace vreader
