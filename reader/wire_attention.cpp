#include "wire_attention.h"

namespace qvr {

std::atomic<int> wireAttention{1};

}  // namespace qvr
