/* A C program that uses the installed reader library. With no PC/SC service
 * reachable, the reader name lookup finds nothing and leaves the buffer alone,
 * and a command without a card handle sends nothing. */
#include <reader_api.h>

#include <stdio.h>
#include <string.h>

int main(void) {
    char name[200];
    memset(name, 'x', sizeof name);
    int32_t found = oPCSCReaderName(name);
    if (found != 0) {
        fprintf(stderr, "oPCSCReaderName gave %d without a PC/SC service, expected 0\n", (int)found);
        return 1;
    }
    for (size_t i = 0; i < sizeof name; ++i) {
        if (name[i] != 'x') {
            fprintf(stderr, "oPCSCReaderName wrote byte %zu of the name buffer though it found nothing\n", i);
            return 1;
        }
    }

    uint8_t reply[251];
    int32_t length = -5;
    int32_t status = oFirmwareVer(0, reply, &length);
    if (status != QVR_NOT_SENT || length != -5) {
        fprintf(stderr, "oFirmwareVer without a card handle gave 0x%X (length %d), expected 0x7001 with length untouched\n",
                (unsigned)status, (int)length);
        return 1;
    }
    puts("C consumer: no reader without PC/SC; nothing sent without a card handle");
    return 0;
}
