#include "archive/archived_report.h"

#include <QDateTime>
#include <QTimeZone>

namespace ksx4::archive {
namespace {

QDateTime transferMoment(const ReportSummary& report) {
    return QDateTime::fromMSecsSinceEpoch(report.transferredMs, QTimeZone(report.utcOffsetSeconds));
}

}  // namespace

QString ReportSummary::testerKindName() const {
    return testerKind == 1 ? QStringLiteral("KSX-4-PA") : QStringLiteral("KSX-4");
}

QString ReportSummary::transferredText() const {
    const int offset = utcOffsetSeconds < 0 ? -utcOffsetSeconds : utcOffsetSeconds;
    return transferMoment(*this).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           (utcOffsetSeconds < 0 ? u'-' : u'+') +
           QStringLiteral("%1:%2")
               .arg(offset / 3600, 2, 10, QLatin1Char('0'))
               .arg(offset / 60 % 60, 2, 10, QLatin1Char('0'));
}

QString ReportSummary::reportTime() const {
    if (saved) return *saved;
    return transferMoment(*this).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

}  // namespace ksx4::archive
