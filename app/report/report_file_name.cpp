#include "report/report_file_name.h"

#include "core/operator.h"
#include "core/program_state.h"
#include "platform/files/paths.h"
#include "report/transfer.h"
#include "settings/defaults.h"
#include "settings/tester_texts.h"

namespace ksx4 {
namespace {

bool unsafeInFileName(QChar c) {
    return kForbiddenNameChars.contains(c) || c.category() == QChar::Other_Control ||
           isPathSeparator(c);
}

}  // namespace

QString fileNameDateText(const QDateTime& moment) {
    return moment.toString(QStringLiteral("yyyy-MM-dd HH-mm"));
}

QString safeReportName(const QString& name, int location) {
    QString safe = name;
    for (QChar& c : safe) {
        if (unsafeInFileName(c)) c = QLatin1Char('_');
    }
    if (safe.isEmpty() || safe == QLatin1String(".") || safe == QLatin1String("..")) {
        return defaultReportName(location);
    }
    // File managers and ls hide a name that begins with a dot: the report
    // would seem lost.
    for (QChar& c : safe) {
        if (c != QLatin1Char('.')) break;
        c = QLatin1Char('_');
    }
    return safe;
}

QString reportNameOfPath(const QString& path) {
    qsizetype start = path.size();
    while (start > 0 && !isPathSeparator(path[start - 1])) --start;
    QString name = path.mid(start);
    if (name.endsWith(kReportExtension, Qt::CaseInsensitive)) name.chop(kReportExtension.size());
    return name;
}

FileChoice chooseReportFileName(ProgramState& state, const QString& name, const QString& folder) {
    using Kind = FileChoice::Kind;
    FileDialogRequest request;
    request.title = QStringLiteral("Select Location and Type file Name");
    request.startFolder = folder;
    request.filter = QStringLiteral("xls Files (*.xls)|*.xls");
    request.filterIndex = 1;
    if (!name.isEmpty()) request.proposedPath = folder + name + kReportExtension;

    const FileDialogResult result = state.ui.saveFileDialog(request);
    if (!result.error.isEmpty()) {
        state.ui.message(QStringLiteral("Error: ") + result.error +
                         QStringLiteral(" Dialog Error"));
        return {Kind::Unusable, {}};
    }
    if (result.cancelled) return {Kind::Cancelled, {}};
    const QString& chosen = result.path;
    if (chosen.isEmpty()) return {Kind::Unusable, {}};
    if (!chosen.contains(QLatin1Char('.'))) return {Kind::Path, chosen + kReportExtension};
    if (!chosen.toUpper().contains(QStringLiteral(".XLS"))) {
        state.ui.message(QStringLiteral("File extension is NOT .xls:") + chosen);
        return {Kind::Unusable, {}};
    }
    return {Kind::Path, chosen};
}

}  // namespace ksx4
