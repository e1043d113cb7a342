#pragma once
// The number an operator typed into an input box: taken from the start of
// the text (after leading blanks) and rounded to a whole number, halves to
// the even neighbour. Text that does not start with a number, a cancelled
// box and a number too large for a double count as 0.
#include <QString>

#include <optional>

namespace ksx4 {

double typedNumber(const std::optional<QString>& typed);

// The decimal text of a whole number ("-0" is written as "0").
QString wholeNumberText(double whole);

}  // namespace ksx4
