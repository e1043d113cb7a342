#pragma once
// Writes one stored report's values, limits, judgements, device table and
// summary into the template in state.reportSheet.
#include <cstdint>

namespace ksx4 {

struct ProgramState;

// False on any failure, without a message of its own.
bool fillReport(ProgramState& state, int slot, int slotBase, uint16_t deviceEntryCount);

}  // namespace ksx4
