#pragma once
// Where the program sends the user: the Help box and every refusal of
// unsuitable firmware name this one web address of the maker.
#include <QString>

namespace ksx4 {

inline const QString kMakerWebAddress = QStringLiteral("www.tessel.example");

}  // namespace ksx4
