// Every reader PC/SC lists, in the platform's order; the library uses the first.
#ifndef QVR_PROBE_READER_LISTING_H
#define QVR_PROBE_READER_LISTING_H

#include <string>
#include <vector>

// Empty when the PC/SC service cannot be reached or lists no reader; error
// receives the platform's explanation then.
std::vector<std::string> listReaders(std::string& error);

#endif
