// The CRC's exported function: runs its operation in the call shell.
#include "call_shell.h"
#include "convert_api.h"

long oComputeCrc(int type, char* data, int len, unsigned char* first, unsigned char* second) {
    return hexkit::runInCallShell<long>([&](const hexkit::HexkitConverter& converter) {
        return converter.computeCrc(type, data, len, first, second);
    });
}
