#include "pcsc_reasons.h"

#include <winscard.h>

#include <cstdio>
#include <cstdlib>

namespace qvr::tools {

namespace {

const char* pcscName(long code) {
    switch (code) {
        case SCARD_E_NO_SERVICE: return "SCARD_E_NO_SERVICE";
        case SCARD_W_SECURITY_VIOLATION: return "SCARD_W_SECURITY_VIOLATION";
        case SCARD_F_COMM_ERROR: return "SCARD_F_COMM_ERROR";
        case SCARD_E_NO_READERS_AVAILABLE: return "SCARD_E_NO_READERS_AVAILABLE";
        case SCARD_E_UNKNOWN_READER: return "SCARD_E_UNKNOWN_READER";
        case SCARD_E_READER_UNAVAILABLE: return "SCARD_E_READER_UNAVAILABLE";
        case SCARD_E_NO_SMARTCARD: return "SCARD_E_NO_SMARTCARD";
        case SCARD_W_REMOVED_CARD: return "SCARD_W_REMOVED_CARD";
        case SCARD_W_UNRESPONSIVE_CARD: return "SCARD_W_UNRESPONSIVE_CARD";
        case SCARD_E_SHARING_VIOLATION: return "SCARD_E_SHARING_VIOLATION";
        case SCARD_E_NOT_TRANSACTED: return "SCARD_E_NOT_TRANSACTED";
        case SCARD_E_UNSUPPORTED_FEATURE: return "SCARD_E_UNSUPPORTED_FEATURE";
        case SCARD_E_PROTO_MISMATCH: return "SCARD_E_PROTO_MISMATCH";
        case SCARD_E_TIMEOUT: return "SCARD_E_TIMEOUT";
        default: return nullptr;
    }
}

}  // namespace

std::string noReaderHint() {
    return "Plug the ACR122U in. If lsusb lists it (072f:2200) but PC/SC does not, the kernel's\n"
           "NFC drivers hold it: install /etc/modprobe.d/blacklist-qvr-acr122.conf (package\n"
           "libqvr-acr122-1), run `sudo modprobe -r pn533_usb pn533 nfc` and replug the reader.\n"
           "pcscd reaches the reader through the CCID driver (package libccid).";
}

namespace {

std::string serviceHint() {
    std::string hint = "Start pcscd: `sudo systemctl start pcscd.socket` (package pcscd).";
    if (const char* socket = std::getenv("PCSCLITE_CSOCK_NAME"); socket != nullptr && *socket != '\0')
        hint += "\nPCSCLITE_CSOCK_NAME points to " + std::string(socket) +
                ": is a pcscd listening there? Unset it to use the system's.";
    return hint;
}

}  // namespace

std::string pcscReason(long code) {
    char number[16];
    std::snprintf(number, sizeof number, "0x%08lX", static_cast<unsigned long>(code) & 0xFFFFFFFFUL);
    const char* name = pcscName(code);
    return std::string(number) + (name != nullptr ? std::string(" ") + name : std::string()) + " (" +
           pcsc_stringify_error(code) + ")";
}

std::string pcscHint(long code) {
    switch (code) {
        case SCARD_E_NO_SERVICE:
            return serviceHint();
        case SCARD_W_SECURITY_VIOLATION:
        case SCARD_F_COMM_ERROR:
            return "pcscd may have refused this user (polkit). Members of the group plugdev may use it\n"
                   "(rule /usr/share/polkit-1/rules.d/60-qvr-acr122-pcscd.rules, package\n"
                   "libqvr-acr122-1): `sudo adduser $USER plugdev`, then log in again.";
        case SCARD_E_NO_READERS_AVAILABLE:
        case SCARD_E_UNKNOWN_READER:
        case SCARD_E_READER_UNAVAILABLE:
            return noReaderHint();
        case SCARD_E_NO_SMARTCARD:
        case SCARD_W_REMOVED_CARD:
            return "No tag lies on the reader. Put one on it, or use --wait SECONDS to wait for one.";
        case SCARD_E_SHARING_VIOLATION:
            return "Another program holds the reader for itself: close it and try again.";
        default:
            return {};
    }
}

std::string escapeRefusedHint() {
    return "With no tag in the field the library talks to the reader itself (a direct\n"
           "connection, commands through the CCID escape), which the CCID driver refuses\n"
           "unless its option 0x0001 is set. Put a tag on the reader, or switch the option\n"
           "on: in /etc/libccid_Info.plist set the value under <key>ifdDriverOptions</key>\n"
           "to <string>0x0001</string> (or that bit added to the value there), then\n"
           "`sudo systemctl restart pcscd`.";
}

void reportFailure(const std::string& what, long code) {
    std::fprintf(stderr, "qvr-probe: %s: %s\n", what.c_str(), pcscReason(code).c_str());
    if (const std::string hint = pcscHint(code); !hint.empty()) std::fprintf(stderr, "%s\n", hint.c_str());
}

}  // namespace qvr::tools
