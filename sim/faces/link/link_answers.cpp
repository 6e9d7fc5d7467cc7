#include "faces/link/link_answers.h"

#include <thread>

namespace vreader {

namespace {

using link::Message;
using link::MessageType;

const Message kRefused{MessageType::kRefused, {}};

// One command through the reader, counted and held back as the faults say.
Message runCommand(VirtualReader& device, Bytes (Acr122uReader::*exchange)(const Bytes&), const Bytes& apdu) {
    const auto started = std::chrono::steady_clock::now();
    Bytes answer = (device.reader().*exchange)(apdu);
    const auto slow = device.faults().slowAnswer;
    if (slow.count() > 0) std::this_thread::sleep_for(slow);
    device.stats().record(std::chrono::steady_clock::now() - started);
    return {MessageType::kAnswer, std::move(answer)};
}

Message cardStateMessage(const VirtualReader& device) {
    return {MessageType::kCardState, link::encodeCardState(device.cardState())};
}

}  // namespace

bool isReaderCommand(const Message& request) {
    return request.type == MessageType::kTransmitT0 || request.type == MessageType::kTransmitT1 ||
           request.type == MessageType::kControl;
}

Message answerDriverRequest(const Message& request, VirtualReader& device) {
    switch (request.type) {
        case MessageType::kPowerUp:
            device.reader().dropPending();
            return cardStateMessage(device);
        case MessageType::kPowerDown:
            device.reader().dropPending();
            return {MessageType::kAnswer, {}};
        case MessageType::kCardStateQuery:
            ++device.stats().cardStateQueries;
            return cardStateMessage(device);
        case MessageType::kTransmitT0:
            if (!device.cardState().present) return kRefused;
            return runCommand(device, &Acr122uReader::transmit, request.payload);
        case MessageType::kTransmitT1:
            if (!device.cardState().present) return kRefused;
            return runCommand(device, &Acr122uReader::exchangeWhole, request.payload);
        case MessageType::kControl: {
            const auto control = link::decodeControl(request.payload);
            if (!control || !link::isEscapeCode(control->first)) return kRefused;
            return runCommand(device, &Acr122uReader::exchangeWhole, control->second);
        }
        default:
            return kRefused;
    }
}

}  // namespace vreader
