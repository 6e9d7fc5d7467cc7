#include "link_answers.h"

#include <thread>

namespace vreader {

namespace {

using link::Message;
using link::MessageType;

const Message kRefused{MessageType::kRefused, {}};

// One command through the reader, counted and held back as the faults say.
Message run_command(VirtualReader& device, Bytes (Acr122uReader::*exchange)(const Bytes&), const Bytes& apdu) {
    const auto started = std::chrono::steady_clock::now();
    Bytes answer = (device.reader().*exchange)(apdu);
    const auto slow = device.faults().slow_answer;
    if (slow.count() > 0) std::this_thread::sleep_for(slow);
    device.stats().record(std::chrono::steady_clock::now() - started);
    return {MessageType::kAnswer, std::move(answer)};
}

Message card_state_message(const VirtualReader& device) {
    return {MessageType::kCardState, link::encode_card_state(device.card_state())};
}

}  // namespace

bool is_reader_command(const Message& request) {
    return request.type == MessageType::kTransmitT0 || request.type == MessageType::kTransmitT1 ||
           request.type == MessageType::kControl;
}

Message answer_driver_request(const Message& request, VirtualReader& device) {
    switch (request.type) {
        case MessageType::kPowerUp:
            device.reader().drop_pending();
            return card_state_message(device);
        case MessageType::kPowerDown:
            device.reader().drop_pending();
            return {MessageType::kAnswer, {}};
        case MessageType::kCardStateQuery:
            ++device.stats().card_state_queries;
            return card_state_message(device);
        case MessageType::kTransmitT0:
            if (!device.card_state().present) return kRefused;
            return run_command(device, &Acr122uReader::transmit, request.payload);
        case MessageType::kTransmitT1:
            if (!device.card_state().present) return kRefused;
            return run_command(device, &Acr122uReader::exchange_whole, request.payload);
        case MessageType::kControl: {
            const auto control = link::decode_control(request.payload);
            if (!control || !link::is_escape_code(control->first)) return kRefused;
            return run_command(device, &Acr122uReader::exchange_whole, control->second);
        }
        default:
            return kRefused;
    }
}

}  // namespace vreader
