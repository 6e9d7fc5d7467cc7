#include "model/cards/response_table.h"

namespace vreader {

std::optional<Bytes> ResponseTable::answer(const Bytes& command) const {
    const auto found = answers_.find(command);
    if (found != answers_.end()) return found->second;
    return answerToOthers_;
}

}  // namespace vreader
