#pragma once
// The fatal ending every operation shares: close the connection (its result
// ignored), show the critical box, end the program.
#include <QString>

#include <cstdint>
#include <optional>

namespace ksx4 {

struct ProgramState;

inline const QString kExitingProgram = QStringLiteral("Exiting Program");

// The box reads text, then (when code is given) the code's name, then
// closingLine, each after an empty line; an empty closingLine is left out
// with its empty line. Never returns: throws EndProgram.
[[noreturn]] void endProgramWithMessage(ProgramState& state, const QString& text,
                                        std::optional<int32_t> code = std::nullopt,
                                        const QString& closingLine = kExitingProgram);

}  // namespace ksx4
