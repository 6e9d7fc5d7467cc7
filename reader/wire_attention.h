// The one number the engine reads before each command: how many reasons there are
// to look closer at the road to the reader. Each connection that is not a T=0 card
// connection (a T=1 one, or a direct one) counts one, and so does a wire trace that
// is on or not read yet. While it is 0, which is the case of a card connection under
// T=0 and no trace, a command costs one comparison more than a bare transmit.
#ifndef QVR_ACR122_WIRE_ATTENTION_H
#define QVR_ACR122_WIRE_ATTENTION_H

#include <atomic>

namespace qvr {

// Starts at 1 for the unread trace setting (constant initialisation: nothing runs
// when the library is loaded).
extern std::atomic<int> wireAttention;

}  // namespace qvr

#endif
