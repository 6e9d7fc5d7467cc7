// What qvr-probe's exit status tells a script (listed in --help and qvr-probe(1)).
#ifndef QVR_PROBE_EXIT_CODES_H
#define QVR_PROBE_EXIT_CODES_H

namespace qvr::tools {

enum ProbeExit : int {
    kProbeDone = 0,           // every step ran; the field may have been empty
    kBadCommandLine = 2,      // unknown option or bad value
    kNoReader = 3,            // PC/SC lists no reader, or none whose name holds --reader's text
    kNoConnection = 4,        // the library could not connect to the reader
    kReaderRefused = 5,       // connected, but the reader did not take commands
    kNoService = 6,           // pcscd not reachable, or it refused this user
    kNothingArrived = 7,      // --wait: no reader, or no card, before the time ran out
};

}  // namespace qvr::tools

#endif
