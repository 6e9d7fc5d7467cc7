// The CRCs that close frames on the air, for raw exchanges where the host asked the
// chip not to add or check them itself (CIU_TxMode/CIU_RxMode bit 7 clear).
#ifndef VREADER_RF_CRC_H
#define VREADER_RF_CRC_H

#include "model/cards/card.h"

namespace vreader {

// The two CRC bytes in the order they travel for the modulation: CRC_A and CRC_B
// (ISO/IEC 14443-3 annex B) low byte first, FeliCa's CRC (JIS X 6319-4) high byte first.
Bytes rfCrc(const Bytes& data, Modulation modulation);

// The frame without its last two bytes when they are its CRC; nothing otherwise.
std::optional<Bytes> stripRfCrc(const Bytes& frame, Modulation modulation);

}  // namespace vreader

#endif
