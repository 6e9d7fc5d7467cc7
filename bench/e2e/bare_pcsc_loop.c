/* The physical limit of the path: a bare pcsc-lite loop doing exactly the one
 * transmit of each exchange over T=1 (the reader answers whole), nothing else.
 * usage: bare_pcsc_loop exchange|poll WARMUP COUNT   -> prints "bare <op> <per second>" */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <winscard.h>

#include "exchange_plan.h"

static SCARDHANDLE card;

static int exchangeOnce(const unsigned char* apdu, DWORD length) {
    unsigned char reply[300];
    DWORD received = sizeof reply;
    return SCardTransmit(card, SCARD_PCI_T1, apdu, length, NULL, reply, &received) == SCARD_S_SUCCESS &&
           received > 2 && reply[received - 2] == 0x90 && reply[received - 1] == 0x00;
}

static double now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const int poll = strcmp(argv[1], "poll") == 0;
    const long warmup = strtol(argv[2], NULL, 10), count = strtol(argv[3], NULL, 10);
    SCARDCONTEXT context;
    char* readers = NULL;
    DWORD length = SCARD_AUTOALLOCATE, protocol = 0;
    if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, NULL, NULL, &context) != SCARD_S_SUCCESS ||
        SCardListReaders(context, NULL, (LPSTR)&readers, &length) != SCARD_S_SUCCESS ||
        SCardConnect(context, readers, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card, &protocol) != SCARD_S_SUCCESS) {
        fprintf(stderr, "bare_pcsc_loop: no reader\n");
        return 1;
    }
    const unsigned char* apdu = poll ? kPollApdu : kExchangeApdu;
    const DWORD apduLength = poll ? sizeof kPollApdu : sizeof kExchangeApdu;
    if (!poll && !exchangeOnce(kListTypeBApdu, sizeof kListTypeBApdu)) return 1;
    for (long i = 0; i < warmup; ++i)
        if (!exchangeOnce(apdu, apduLength)) return 1;
    const double start = now();
    for (long i = 0; i < count; ++i)
        if (!exchangeOnce(apdu, apduLength)) return 1;
    printf("bare %s %.1f\n", argv[1], (double)count / (now() - start));
    SCardDisconnect(card, SCARD_LEAVE_CARD);
    SCardFreeMemory(context, readers);
    SCardReleaseContext(context);
    return 0;
}
