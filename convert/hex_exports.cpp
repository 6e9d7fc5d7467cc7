// The hex codec's exported functions: each runs its operation in the call shell.
#include "call_shell.h"
#include "convert_api.h"

long oAscii2Hex(long len, unsigned char* text, unsigned char* out) {
    return hexkit::runInCallShell<long>(
        [&](const hexkit::HexkitConverter& converter) { return converter.ascii2Hex(len, text, out); });
}

long oHex2Ascii(long len, unsigned char* bytes, unsigned char* out) {
    return hexkit::runInCallShell<long>(
        [&](const hexkit::HexkitConverter& converter) { return converter.hex2Ascii(len, bytes, out); });
}

long oHexToLong(char* text) {
    return hexkit::runInCallShell<long>(
        [&](const hexkit::HexkitConverter& converter) { return converter.hexToLong(text); });
}
