// The cards near the antenna, in the order the chip meets them when it polls.
#ifndef VREADER_FIELD_H
#define VREADER_FIELD_H

#include <vector>

#include "model/cards/card.h"

namespace vreader {

class Field {
public:
    // Puts a card at the end of the order; a card already there stays where it is.
    void insert(Card& card);
    // Takes the card out, which powers it off; false when it was not there.
    bool remove(const Card& card);
    bool contains(const Card& card) const;
    bool empty() const { return cards_.empty(); }
    const std::vector<Card*>& cards() const { return cards_; }

private:
    std::vector<Card*> cards_;
};

}  // namespace vreader

#endif
