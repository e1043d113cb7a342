#pragma once
// Text fields in the tester are one byte per character in the PC's ANSI code
// page. We use Windows code page 1252 on every platform, so a report written
// on one PC reads the same on another.
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace ksx4 {

QString ansiToText(const uint8_t* bytes, std::size_t count);
// Characters the code page lacks become '?'.
QByteArray textToAnsi(const QString& text);
// True when every character of text has a byte in the code page, so that
// textToAnsi stores it as typed: "Café €" can be stored, "東京" cannot.
bool isAnsiText(const QString& text);

}  // namespace ksx4
