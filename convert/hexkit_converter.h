// The class that does Hexkit's work. Each exported function creates one instance
// for the length of its call (see call_shell.h). The instance holds nothing that an
// operation reads; it exists so that every export has the same shape.
#ifndef HEXKIT_HEXKIT_CONVERTER_H
#define HEXKIT_HEXKIT_CONVERTER_H

namespace hexkit {

class HexkitConverter {
public:
    long ascii2Hex(long len, const unsigned char* text, unsigned char* out) const;
    long hex2Ascii(long len, const unsigned char* bytes, unsigned char* out) const;
    long hexToLong(const char* text) const;
    long computeCrc(int type, const char* data, int len, unsigned char* first,
                    unsigned char* second) const;
    long getProfileString(const char* section, const char* key, const char* file,
                          char* out) const;
    int writeProfileString(const char* value, const char* section, const char* key,
                           const char* file) const;
};

}  // namespace hexkit

#endif
