// The "Registers Value" section of the profile: a register dump of the
// monitoring chip, chosen by the kind the fresh identification found.
#pragma once

#include <string>

#include "detect/records.h"
#include "hw/portio.h"
#include "report/summary.h"

namespace kev::report {

// Appends the chip's register section to out, or nothing when the kind has
// no dump or the chip cannot be reached the way its dump needs. The
// PC87366 logical-device bases come from the start-up detection in state,
// or from the summary's own probe where start-up found none.
void AppendChipRegisters(std::string& out, PortIo& io, const InfoSummary& s,
                         const DetectState& state);

}  // namespace kev::report
