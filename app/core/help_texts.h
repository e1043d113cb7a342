#pragma once
// The texts of the Help menu's two boxes.
#include <QString>

namespace ksx4 {

inline const QString kAboutTitle = QStringLiteral("About KSX-4 Assistant");
inline const QString kHelpTitle = QStringLiteral("KSX-4 Assistant Help");

// "Version 2.09" and the ownership notice, lines joined with CR LF.
QString aboutText();
// Where the manuals are, and how to reach the maker.
QString helpText();

}  // namespace ksx4
