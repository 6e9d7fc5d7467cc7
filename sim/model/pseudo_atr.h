// The PC/SC pseudo-ATR the reader builds for a contactless card it has activated
// (ACR122U API manual 3.1; PC/SC part 3 3.1.3.2.3 and its supplement).
#ifndef VREADER_PSEUDO_ATR_H
#define VREADER_PSEUDO_ATR_H

#include "model/cards/card.h"

namespace vreader {

// ISO/IEC 14443-4 cards: 3B 8n 80 01, n historical bytes (Type A: the ATS's; Type B:
// the whole ATQB), TCK. Storage cards: 3B 8F 80 01 80 4F 0C A0 00 00 03 06 SS C0 C1
// 00 00 00 00 TCK, with SS 03 and the card name C0 C1 (FeliCa: F0 11 at 212 kbit/s,
// F0 12 at 424).
Bytes pseudoAtr(const Card& card, const Activation& activation);

}  // namespace vreader

#endif
