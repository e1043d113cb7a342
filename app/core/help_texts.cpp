#include "core/help_texts.h"

#include "core/maker.h"
#include "core/operator.h"
#include "core/version.h"

#include <QStringList>

namespace ksx4 {

QString aboutText() {
    return QStringList{
        QStringLiteral("Version ") + programVersionText(),
        QStringLiteral("Copyright (c) Tessel Instruments."),
        QStringLiteral("All rights reserved."),
    }
        .join(kCrLf);
}

QString helpText() {
    return QStringList{
        QStringLiteral("KSX-4 Assistant user instructions"),
        QStringLiteral("are in the KSX-4 and KSX-4-PA"),
        QStringLiteral("user manuals installed in the"),
        QStringLiteral("KSX-4 Assistant folder."),
        QString(),
        QStringLiteral("Contact Tessel:"),
        kMakerWebAddress,
        QStringLiteral("support@tessel.example"),
        QStringLiteral("+1 555-0142"),
    }
        .join(kCrLf);
}

}  // namespace ksx4
