#pragma once
// The empty, formatted report worksheet in session.reportSheet, for
// deviceCount devices, in the layout state.testerType selects.
#include <QString>

#include <cstdint>

namespace ksx4 {

struct ProgramState;
struct TransferSession;

// True on success; false after its own message. The footer text is shown as
// given: an "&" in it is written as "&&", so it starts no footer code.
bool makeTemplate(ProgramState& state, TransferSession& session, uint16_t deviceCount,
                  const QString& footerText);

}  // namespace ksx4
