// The whole virtual device: the cards of the scenario, the field, the PN532, the
// ACR122U in front of it, injected faults, and how it shows itself to PC/SC.
#ifndef VREADER_VIRTUAL_READER_H
#define VREADER_VIRTUAL_READER_H

#include "acr122u_reader.h"
#include "faults.h"
#include "field.h"
#include "handler_stats.h"
#include "pn532_chip.h"
#include "scenario.h"

namespace vreader {

class VirtualReader {
public:
    VirtualReader(Scenario scenario, Presence presence);

    Acr122uReader& reader() { return reader_; }
    const Acr122uReader& reader() const { return reader_; }
    const Pn532Chip& chip() const { return chip_; }
    Field& field() { return field_; }
    const Field& field() const { return field_; }
    Faults& faults() { return faults_; }
    const Scenario& scenario() const { return scenario_; }
    Presence presence() const { return presence_; }
    HandlerStats& stats() { return stats_; }

    // The reader was pulled off (control "drop") until "attach" plugs it back.
    bool unplugged = false;
    // Set by the event loop: the vpcd connection is up.
    bool attached = false;
    bool quit_requested = false;

    // Whether the reader should be connected to vpcd now: always, unless unplugged;
    // with tag presence only while a card lies in the field and, so that an answer
    // already announced can still be fetched, also while one is pending.
    bool wants_connection() const;

private:
    Scenario scenario_;
    Presence presence_;
    Field field_;
    Faults faults_;
    Pn532Chip chip_{field_, faults_};
    Acr122uReader reader_{chip_};
    HandlerStats stats_;
};

}  // namespace vreader

#endif
