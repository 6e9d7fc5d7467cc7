/* The one exchange and the one poll that every end-to-end variant repeats, as the
 * reader sees them: a 5-byte READ BINARY to the Type B card of the bench scenario,
 * answered with 16 data bytes and 90 00, and an InAutoPoll over the library's five
 * types. Both go out as direct transmit and come back through GET RESPONSE. */
#ifndef BENCH_EXCHANGE_PLAN_H
#define BENCH_EXCHANGE_PLAN_H

static const unsigned char kCardCommand[] = {0x00, 0xB0, 0x00, 0x00, 0x10};
static const unsigned char kExchangeApdu[] = {0xFF, 0x00, 0x00, 0x00, 0x08, 0xD4, 0x40, 0x01,
                                              0x00, 0xB0, 0x00, 0x00, 0x10};
static const unsigned char kPollApdu[] = {0xFF, 0x00, 0x00, 0x00, 0x09, 0xD4, 0x60, 0x01,
                                          0x01, 0x23, 0x11, 0x12, 0x20, 0x10};
static const unsigned char kListTypeBApdu[] = {0xFF, 0x00, 0x00, 0x00, 0x05, 0xD4, 0x4A, 0x01, 0x03, 0x00};

#endif
