// A PN532 on the bench for tests: the cards of test_cards.h (none of them in the
// field yet) and a step clock that adds up the chip's waiting.
#ifndef VREADER_CHIP_BENCH_H
#define VREADER_CHIP_BENCH_H

#include <memory>

#include "model/chip/pn532_chip.h"
#include "step_clock.h"
#include "test_cards.h"

namespace vreader::testing {

struct ChipBench {
    ChipBench() { chip.useClock(clock); }

    std::unique_ptr<TypeBCard> typeB = makeTypeB();
    std::unique_ptr<FeliCaCard> felica = makeFelica();
    std::unique_ptr<TypeACard> typeA = makeTypeA();
    std::unique_ptr<Type2Tag> type2 = makeType2();
    Field field;
    Faults faults;
    StepClock clock{field};
    Pn532Chip chip{field, faults};
};

}  // namespace vreader::testing

#endif
