#pragma once
// The text of the box that ends the program after a GPIB failure: the
// message, the set ibsta bits by name, the iberr text and the count.
#include <QString>

#include <cstdint>

namespace ksx4 {

QString gpibFailureText(const QString& message, uint16_t ibsta, uint16_t iberr, uint16_t ibcnt);

}  // namespace ksx4
