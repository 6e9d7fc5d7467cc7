/*
 * QVR-ACR122: access to contactless cards through an ACR122U reader (NXP PN532
 * inside) over PC/SC.
 *
 * Sixteen plain C functions. Connect once, keep the card handle, pass it first to
 * every command, disconnect at the end. Every command sends one PN532 command to the
 * reader inside its direct-transmit pseudo-APDU FF 00 00 00 Lc and returns a 32-bit
 * status word; QVR_SW_SUCCESS (0x9000) is success. A status taken from two answer
 * bytes is first byte * 256 + second byte; the library's own codes are listed below.
 *
 * Connections. oConnectPCSCReader connects to the reader shared, for protocol T=0:
 * the reader then announces each answer with 61 Le and the library fetches it with
 * GET RESPONSE. When no card lies on the reader the CCID driver refuses that
 * connection (SCARD_E_NO_SMARTCARD, or SCARD_W_REMOVED_CARD just after a card
 * left); the library then connects directly to the reader (SCARD_SHARE_DIRECT) and
 * sends every command through the CCID escape (SCardControl with SCARD_CTL_CODE(3500)),
 * where the reader answers in one piece. Every function returns the same over either
 * connection for the same answer of the reader. The escape must be allowed in the
 * CCID driver (bit 0x0001 of ifdDriverOptions in its Info.plist, then restart pcscd);
 * a refused escape makes every command return QVR_TRANSPORT_FAILED.
 *
 * Environment:
 *   QVR_ACR122_READER  text contained in the wanted reader's name (case-sensitive),
 *                      read at each call of oConnectPCSCReader and oPCSCReaderName;
 *                      unset or empty: the first reader PC/SC lists.
 *   QVR_ACR122_TRACE   "stderr" or a file path (appended to): one line per PC/SC
 *                      call with UTC time, handle, operation, bytes sent and
 *                      received in hex and the result with its pcsc-lite name.
 *                      Read once per process; a path that cannot be opened leaves
 *                      the trace off. The trace never changes a result.
 *
 * Buffers belong to the caller. Reply buffers of the command functions need
 * QVR_REPLY_MAX (251) bytes (oSendTo's raw type: its capacity). Hex text arguments
 * are exactly the stated number of characters '0'-'9', 'A'-'F', 'a'-'f', read
 * without a terminator (a terminator or another character before the end refuses
 * the text). A card handle of 0 sends nothing: QVR_NOT_SENT, reply length untouched.
 * Negative or null arguments send nothing and never make the library read or write
 * outside a buffer.
 *
 * The library keeps no state between calls but the handle's PC/SC context and takes
 * no lock: callers that share one reader between threads serialise their calls, or
 * wrap each in SCardBeginTransaction/SCardEndTransaction on their handle.
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
#define QVR_TRANSPORT_FAILED        0x7000 /* a transmit or escape failed, or the reader's answer was too short */
#define QVR_NOT_SENT                0x7001 /* no card handle, bad mode, or arguments refused: nothing sent */
#define QVR_LED_TRANSMIT_FAILED     0x8000 /* LED/buzzer command could not be sent */
#define QVR_POLL_NO_TYPE_B_TARGET   0x2008 /* oPollISO14443_TypeBTag found no card; also the polling exports' fallback */
#define QVR_POLL_NO_FELICA_TARGET   ((int32_t)0xFFFF7000) /* oPollISO18092_TypeCTag found no card (-0x9000) */
#define QVR_FALLBACK_POLLING        0x2008 /* polling exports: internal failure, or poll text not hex */
#define QVR_FALLBACK_CHANGE_BAUD    0x200A
#define QVR_FALLBACK_FIRMWARE       0x200B
#define QVR_FALLBACK_DESELECT       0x200C
#define QVR_FALLBACK_RF_OFF         0x200D
#define QVR_FALLBACK_CONFIGURE      0x200E
#define QVR_UNKNOWN_EXCHANGE_TYPE   0x200F /* oSendTo: exchange type other than 10, 11, 12 */
#define QVR_FALLBACK_RETRY          0x2010
#define QVR_FALLBACK_REQUEST        0x2088 /* request-response exports: internal failure, or IDm text not hex */

/* Results of the connection functions. */
#define QVR_NO_HANDLE               0      /* oConnectPCSCReader failed */
#define QVR_NAME_COPIED             1      /* oPCSCReaderName wrote the name */
#define QVR_FAILED                  0      /* oPCSCReaderName, oDisconnectPCSCReader, oSendTo type 10 */

/* Sizes. */
#define QVR_REPLY_MAX               251    /* bytes a command function writes at most */
#define QVR_NAME_BUFFER_SIZE        200    /* oPCSCReaderName writes at most this, NUL included */
#define QVR_CAPACITY_MAX            1000   /* larger capacities for oSendTo are used as 1000 */
#define QVR_CARD_COMMAND_MAX        252    /* oSendTo types 11 and 12: longest command */

/* Exchange types of oSendTo. */
#define QVR_EXCHANGE_RAW            10 /* APDU sent unchanged; result is a byte count */
#define QVR_EXCHANGE_CARD_DATA      11 /* card's data delivered, card's status word returned */
#define QVR_EXCHANGE_CARD_ANSWER    12 /* card's whole answer delivered, reader's status returned */

/* Tag types (PN532 InAutoPoll type codes) that oPollingTags polls for and reports
 * in tagTypeFound; oPollThisTag takes any code the chip knows, as two hex digits. */
#define QVR_TAG_NONE                0x00 /* with 0x9000: no target answered */
#define QVR_TAG_TYPE_A              0x10 /* 106 kbit/s ISO/IEC 14443 Type A, any (MIFARE...) */
#define QVR_TAG_FELICA_212          0x11 /* FeliCa at 212 kbit/s */
#define QVR_TAG_FELICA_424          0x12 /* FeliCa at 424 kbit/s */
#define QVR_TAG_TYPE_A_14443_4      0x20 /* 106 kbit/s ISO/IEC 14443-4 Type A */
#define QVR_TAG_TYPE_B_14443_4      0x23 /* 106 kbit/s ISO/IEC 14443-4 Type B */

/* oRequestResponseTypeB: the expected 95-byte answer is reported as this one byte. */
#define QVR_TYPE_B_EXPECTED_ANSWER  0x02

/* ---- Connection ---------------------------------------------------------------- */

/* Connects to the chosen reader (QVR_ACR122_READER, else the first): shared with T=0,
 * or, with no card in the field, directly to the reader (see above). Sends nothing.
 * Returns the card handle, or QVR_NO_HANDLE when PC/SC is not running, no reader
 * (or none matching) is there, the connection is refused, or the card connected
 * with another protocol than T=0. Each handle keeps one PC/SC context until
 * oDisconnectPCSCReader. */
QVR_API int32_t oConnectPCSCReader(void);

/* Disconnects (powering the card down) and releases the handle's context, also
 * when PC/SC reports the handle stale. Returns QVR_SW_SUCCESS, or QVR_FAILED when
 * PC/SC refused the disconnect.
 * pcscd powers a card that has just arrived up in a thread of its own; a disconnect
 * and connect made in that moment race it. The connect is then refused although a
 * card lies on the reader (SCARD_W_UNPOWERED_CARD, until pcscd powers the card down
 * some 5 s later), or the new handle is reset at once (every command gives
 * QVR_TRANSPORT_FAILED: connect again). The library does not retry: before connecting
 * after the field changed, wait until SCardGetStatusChange shows the card. */
QVR_API int32_t oDisconnectPCSCReader(int32_t card);

/* Writes the chosen reader's name with its NUL into name (QVR_NAME_BUFFER_SIZE
 * bytes). Returns QVR_NAME_COPIED, or QVR_FAILED with name untouched when PC/SC is
 * not running, no reader (or none matching) is there, the name does not fit, or
 * name is NULL. Does not connect. */
QVR_API int32_t oPCSCReaderName(char* name);

/* ---- Reader configuration -------------------------------------------------------
 * One PN532 command each. reply receives the chip's whole short answer without the
 * reader's status word (D5, response code, data) and *replyLength its length; the
 * result is the reader's status: QVR_SW_SUCCESS, another status word, or
 * QVR_TRANSPORT_FAILED, QVR_NOT_SENT, or the function's fallback code. A chip
 * error shows only in the reply (e.g. byte 2 after InDeselect or InPSL). */

/* GetFirmwareVersion: reply D5 03 IC Ver Rev Support (6 bytes). Fallback 0x200B. */
QVR_API int32_t oFirmwareVer(int32_t card, uint8_t* reply, int32_t* replyLength);
/* InDeselect target 1: reply D5 45 Status. Fallback 0x200C. */
QVR_API int32_t oDeSelectTag(int32_t card, uint8_t* reply, int32_t* replyLength);
/* RFConfiguration: RF field off: reply D5 33. Fallback 0x200D. */
QVR_API int32_t oTurnOffAntennaPower(int32_t card, uint8_t* reply, int32_t* replyLength);
/* RFConfiguration MaxRetries 00 00 00 (one attempt each): reply D5 33. Fallback 0x200E. */
QVR_API int32_t oConfigureReader(int32_t card, uint8_t* reply, int32_t* replyLength);
/* The same command as oConfigureReader. Fallback 0x2010. */
QVR_API int32_t oSetRetryTimeToOne(int32_t card, uint8_t* reply, int32_t* replyLength);
/* InPSL target 1: rate nonzero 424 kbit/s, zero 212 kbit/s, both directions: reply
 * D5 4F Status. Fallback 0x200A. */
QVR_API int32_t oChangeBaudRate(int32_t card, uint8_t* reply, int32_t* replyLength, int32_t rate);

/* ---- Tag polling ---------------------------------------------------------------- */

/* InListPassiveTarget, 106 kbit/s Type B, AFI 00. With a card: QVR_SW_SUCCESS (or
 * the reader's status), reply = ATQB (12 bytes: 50, PUPI at bytes 1-4, application
 * data 5-8, protocol info 9-11), then the ATTRIB_RES length and ATTRIB_RES.
 * Without: QVR_POLL_NO_TYPE_B_TARGET (also after a failed transmit), reply
 * D5 4B 00. Fallback 0x2008. */
QVR_API int32_t oPollISO14443_TypeBTag(int32_t card, uint8_t* reply, int32_t* replyLength);

/* InListPassiveTarget, 212 kbit/s FeliCa, Polling any system code. With a card:
 * QVR_SW_SUCCESS, reply = Tg, length, 01, IDm at bytes 3-10, PMm 11-18, system code
 * 19-20 (length 19 or 21). Without: QVR_POLL_NO_FELICA_TARGET (also after a failed
 * transmit), reply D5 4B 00. Fallback 0x2008. */
QVR_API int32_t oPollISO18092_TypeCTag(int32_t card, uint8_t* reply, int32_t* replyLength);

/* InAutoPoll, one pass over types 23 11 12 20 10; pollPeriod: 2 hex characters, in
 * units of 150 ms ("01"). QVR_SW_SUCCESS with *tagTypeFound = QVR_TAG_NONE and
 * reply D5 61 00 when no target answered; with a target, *tagTypeFound is its type
 * and reply = NbTg, type, data length, then the target data from byte 3 on:
 *   Type A (10, 20): Tg, ATQA (4-5), SAK (6), UID length n (7), UID (8 to 7+n), ATS
 *   Type B (23):     Tg, ATQB (4-15, PUPI at 5-8), ATTRIB_RES length, ATTRIB_RES
 *   FeliCa (11, 12): Tg, length, 01, IDm (6-13), PMm (14-21), system code
 * Another status leaves *tagTypeFound untouched: the reader's status,
 * QVR_TRANSPORT_FAILED, QVR_NOT_SENT (also for a NULL tagTypeFound), or 0x2008
 * (pollPeriod not hex, fallback). */
QVR_API int32_t oPollingTags(int32_t card, uint8_t* reply, int32_t* replyLength,
                             uint8_t* tagTypeFound, const char* pollPeriod);

/* As oPollingTags for the one type tagTypeToPoll (2 hex characters, e.g. "23"). */
QVR_API int32_t oPollThisTag(int32_t card, uint8_t* reply, int32_t* replyLength,
                             const char* tagTypeToPoll, uint8_t* tagTypeFound, const char* pollPeriod);

/* ---- Card exchange (the card polling activated, PN532 target 1) ------------------ */

/* exchangeType QVR_EXCHANGE_RAW: command (length bytes) goes to the reader
 *   unchanged; the whole answer, status word included, lands in reply if it fits
 *   in capacity (up to QVR_CAPACITY_MAX); the result is its byte count, or
 *   QVR_FAILED (transmit failed, answer too long, bad arguments), QVR_NOT_SENT
 *   without a handle; *replyLength is set to 0.
 * QVR_EXCHANGE_CARD_DATA (11): command (at most QVR_CARD_COMMAND_MAX bytes) goes
 *   to the card in InDataExchange; reply gets the card's data without its status
 *   word, the result is the card's status word (0x9000, 0x6A82...). A chip error
 *   (card gone) returns 0x41xx with the reply D5 41 xx.
 * QVR_EXCHANGE_CARD_ANSWER (12): as 11, but reply gets the card's whole answer,
 *   status word included, and the result is the reader's status (0x9000 also for a
 *   chip error D5 41 xx, which then is the reply).
 * capacity: the receive size for the reader's first reply (1000 is right; larger is
 *   used as 1000; negative sends nothing). Types 11 and 12 write at most
 *   QVR_REPLY_MAX bytes. Another type returns QVR_UNKNOWN_EXCHANGE_TYPE. */
QVR_API int32_t oSendTo(int32_t card, int32_t exchangeType, const uint8_t* command, int32_t length,
                        uint8_t* reply, int32_t capacity, int32_t* replyLength);

/* Sends 90 32 03 00 00 00 to a Type B card (exchange type 11). An answer of exactly
 * 95 data bytes becomes reply[0] = QVR_TYPE_B_EXPECTED_ANSWER (the next 94 bytes
 * zeroed), *replyLength 1; any other answer is left as the exchange gave it. The
 * result is the card's status word or an exchange code. Fallback 0x2088. */
QVR_API int32_t oRequestResponseTypeB(int32_t card, uint8_t* reply, int32_t* replyLength);

/* FeliCa Request Response to the card whose IDm is given as 16 hex characters
 * (bytes 3-10 of oPollISO18092_TypeCTag's reply). The card's 11-byte answer becomes
 * reply[0] = its mode (0 to 3; the next 10 bytes zeroed), *replyLength 1. The
 * result is the reader's status or an exchange code; QVR_FALLBACK_REQUEST (0x2088)
 * when the IDm is not hex. */
QVR_API int32_t oRequestResponseTypeC(int32_t card, const char* idm, uint8_t* reply, int32_t* replyLength);

#ifdef __cplusplus
}
#endif

#endif
