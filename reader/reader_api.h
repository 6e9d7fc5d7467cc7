/*
 * QVR-ACR122: access to contactless cards through an ACR122U reader (PN532 inside)
 * over PC/SC.
 *
 * Sixteen plain C functions. Connect once, keep the card handle, pass it first to
 * every command, disconnect at the end. Every command sends one reader command
 * (through the reader's direct-transmit pseudo-APDU FF 00 00 00 Lc, answered with
 * 61 Le and fetched with GET RESPONSE) and returns a 32-bit status word; 0x9000 is
 * success. Reply buffers belong to the caller and must hold 251 bytes (or the
 * capacity passed to oSendTo for its raw exchange type 10).
 *
 * The library keeps no state between calls and takes no lock: callers that share
 * one reader between threads serialise their calls, or wrap each in
 * SCardBeginTransaction/SCardEndTransaction on their handle.
 */
#ifndef QVR_ACR122_READER_API_H
#define QVR_ACR122_READER_API_H

#include <stdint.h>

#if defined(__GNUC__)
#define QVR_API __attribute__((visibility("default")))
#else
#define QVR_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Status words and the library's own codes. */
#define QVR_SW_SUCCESS              0x9000 /* reader (or, for exchange type 11, card) reports success */
#define QVR_TRANSPORT_FAILED        0x7000 /* a transmit failed, or the reader's answer was too short */
#define QVR_NOT_SENT                0x7001 /* no card handle, bad mode, or arguments refused: nothing sent */
#define QVR_LED_TRANSMIT_FAILED     0x8000 /* LED/buzzer command could not be sent */
#define QVR_POLL_NO_TYPE_B_TARGET   0x2008 /* oPollISO14443_TypeBTag found no card; also the polling exports' fallback */
#define QVR_POLL_NO_FELICA_TARGET   ((int32_t)0xFFFF7000) /* oPollISO18092_TypeCTag found no card (-0x9000) */
#define QVR_FALLBACK_POLLING        0x2008
#define QVR_FALLBACK_CHANGE_BAUD    0x200A
#define QVR_FALLBACK_FIRMWARE       0x200B
#define QVR_FALLBACK_DESELECT       0x200C
#define QVR_FALLBACK_RF_OFF         0x200D
#define QVR_FALLBACK_CONFIGURE      0x200E
#define QVR_UNKNOWN_EXCHANGE_TYPE   0x200F /* oSendTo: exchange type other than 10, 11, 12 */
#define QVR_FALLBACK_RETRY          0x2010
#define QVR_FALLBACK_REQUEST        0x2088

/* Exchange types of oSendTo. */
#define QVR_EXCHANGE_RAW            10 /* APDU sent unchanged; result is a byte count */
#define QVR_EXCHANGE_CARD_DATA      11 /* card's data delivered, card's status word returned */
#define QVR_EXCHANGE_CARD_ANSWER    12 /* card's whole answer delivered, reader's status returned */

/* Connection. */
QVR_API int32_t oConnectPCSCReader(void);
QVR_API int32_t oDisconnectPCSCReader(int32_t card);
QVR_API int32_t oPCSCReaderName(char* name);

/* Reader configuration. */
QVR_API int32_t oFirmwareVer(int32_t card, uint8_t* reply, int32_t* replyLength);
QVR_API int32_t oDeSelectTag(int32_t card, uint8_t* reply, int32_t* replyLength);
QVR_API int32_t oTurnOffAntennaPower(int32_t card, uint8_t* reply, int32_t* replyLength);
QVR_API int32_t oConfigureReader(int32_t card, uint8_t* reply, int32_t* replyLength);
QVR_API int32_t oSetRetryTimeToOne(int32_t card, uint8_t* reply, int32_t* replyLength);
QVR_API int32_t oChangeBaudRate(int32_t card, uint8_t* reply, int32_t* replyLength, int32_t rate);

/* Tag polling. */
QVR_API int32_t oPollISO14443_TypeBTag(int32_t card, uint8_t* reply, int32_t* replyLength);
QVR_API int32_t oPollISO18092_TypeCTag(int32_t card, uint8_t* reply, int32_t* replyLength);
QVR_API int32_t oPollingTags(int32_t card, uint8_t* reply, int32_t* replyLength,
                             uint8_t* tagTypeFound, const char* pollPeriod);
QVR_API int32_t oPollThisTag(int32_t card, uint8_t* reply, int32_t* replyLength,
                             const char* tagTypeToPoll, uint8_t* tagTypeFound, const char* pollPeriod);

/* Card exchange. */
QVR_API int32_t oSendTo(int32_t card, int32_t exchangeType, const uint8_t* command, int32_t length,
                        uint8_t* reply, int32_t capacity, int32_t* replyLength);
QVR_API int32_t oRequestResponseTypeB(int32_t card, uint8_t* reply, int32_t* replyLength);
QVR_API int32_t oRequestResponseTypeC(int32_t card, const char* idm, uint8_t* reply, int32_t* replyLength);

#ifdef __cplusplus
}
#endif

#endif
