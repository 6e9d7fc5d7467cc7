// Fixed answers of a card application: command bytes -> answer bytes, and what to
// answer to everything else (an ISO 7816 status word, or silence).
#ifndef VREADER_RESPONSE_TABLE_H
#define VREADER_RESPONSE_TABLE_H

#include <map>
#include <optional>

#include "model/hex_bytes.h"

namespace vreader {

class ResponseTable {
public:
    ResponseTable() = default;
    explicit ResponseTable(std::optional<Bytes> answerToOthers)
        : answerToOthers_(std::move(answerToOthers)) {}

    void add(Bytes command, Bytes answer) { answers_[std::move(command)] = std::move(answer); }

    // The answer for exactly this command, else the answer to others.
    std::optional<Bytes> answer(const Bytes& command) const;

private:
    std::map<Bytes, Bytes> answers_;
    std::optional<Bytes> answerToOthers_;
};

}  // namespace vreader

#endif
