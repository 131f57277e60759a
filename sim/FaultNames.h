#pragma once

// Faults named on a command line: NAME, NAME@SECTOR, NAME@SECTORxTIMES or NAMExTIMES,
// for example "no-reply@100x2": the first two packets of sector 100 get no reply.

#include "InstrumentModel.h"

#include <optional>
#include <string>
#include <string_view>

namespace sim {

std::optional<FaultRule> ParseFaultRule(std::string_view text);
// The names, for a usage text.
std::string FaultNameList();

} // namespace sim
