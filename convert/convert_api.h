// Hexkit: conversions for the reader library and for outside callers.
//
// The six functions keep C++ linkage on purpose: their exported symbols are the
// compiler's decorated names (for example _Z10oAscii2HexlPhS_), and callers that
// bind them by name rely on exactly these argument types. `long` is 64 bits on
// Linux; results that are 32-bit values arrive sign-extended.
//
// Every function runs in its own short-lived converter instance and never lets an
// exception escape: an internal failure yields 0.
#ifndef HEXKIT_CONVERT_API_H
#define HEXKIT_CONVERT_API_H

// Hex text (two characters a byte, high nibble first, digits 0-9 A-F a-f) to bytes.
// len is the number of characters: even, 0 to 2048. On success out receives len/2
// bytes and a zero byte after them, and the result is 1. On failure (a character
// that is not a hex digit, an odd, negative or too large len, a null pointer) the
// result is 0 and out[0] becomes 0xFF when out is not null; nothing else is written.
// out may be the text buffer itself.
long oAscii2Hex(long len, unsigned char* text, unsigned char* out);

// Bytes to upper-case hex text. len is the number of bytes, 0 to 512. out receives
// 2*len characters and a zero byte; the result is 1. A negative or too large len or
// a null pointer gives 0 and leaves out untouched. out may be the input buffer.
long oHex2Ascii(long len, unsigned char* bytes, unsigned char* out);

// Zero-terminated hex text to a 32-bit value (returned sign-extended). Reading stops
// at the first character that is not a hex digit; only the last eight digits count.
// A null pointer gives 0.
long oHexToLong(char* text);

// ISO/IEC 14443-3 CRC. type 1: CRC_A, type 2: CRC_B. first receives the low byte of
// the CRC (sent first on the air), second the high byte. Any other type writes
// nothing. The result is 1 once the call ran, whatever the type; a negative len or
// a null pointer gives 0 and writes nothing.
long oComputeCrc(int type, char* data, int len, unsigned char* first, unsigned char* second);

// Reads one value of a profile (INI) file into out, which must hold 256 bytes.
// Result 1: a non-empty value (at most 255 characters) was copied with its zero
// byte. Result 0: out holds the text "-1" (no such file, section or key, an empty
// value, or a null section, key or file). Section and key names ignore ASCII case.
// A file name without a folder names a file in the current directory. Safe to call
// from several threads at once.
long oGetPrivateProfileString(char* const section, char* const key, char const* const file,
                              char* const out);

// Writes one value of a profile (INI) file. Note the argument order: value first.
// A null value deletes the key, a null key deletes the section, a null section
// writes nothing. Names or values with line breaks, keys containing '=' or starting
// with '[', ';' or '#', and sections containing ']' are not stored. The file is
// replaced atomically under an exclusive flock, so concurrent writers lose nothing.
// The result is 1 whatever happened to the file; 0 only on an internal failure.
int oWritePrivateProfileString(char const* const value, char const* const section,
                               char const* const key, char const* const file);

#endif
