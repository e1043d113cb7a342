#pragma once
// Texts stored in the tester: blank-filled fixed-length fields, and the
// characters a report name must not contain (it becomes part of a file
// name).
#include <QString>

namespace ksx4 {

// The nine characters the names editor refuses in a report name.
inline const QString kForbiddenNameChars = QStringLiteral("\\/:*?\"<>|");

// Leading and trailing blanks (only blanks) removed: stored texts are filled
// up with blanks, every other character is kept.
QString trimBlanks(const QString& text);

}  // namespace ksx4
