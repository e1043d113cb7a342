#include "report/report_file_name.h"

#include "core/operator.h"
#include "core/program_state.h"
#include "platform/files/paths.h"
#include "report/transfer.h"

namespace ksx4 {
namespace {

// The characters the names editor refuses in a report name.
const QString kForbiddenNameChars = QStringLiteral("\\/:*?\"<>|");

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
        return QStringLiteral("Report %1").arg(location);
    }
    return safe;
}

QString trimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == QLatin1Char(' ')) ++begin;
    while (end > begin && text[end - 1] == QLatin1Char(' ')) --end;
    return text.mid(begin, end - begin);
}

QString reportNameOfPath(const QString& path) {
    qsizetype start = path.size();
    while (start > 0 && !isPathSeparator(path[start - 1])) --start;
    QString name = path.mid(start);
    if (name.endsWith(kReportExtension, Qt::CaseInsensitive)) name.chop(kReportExtension.size());
    return name;
}

QString chooseReportFileName(ProgramState& state, const QString& name, const QString& folder) {
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
        return QStringLiteral("-1");
    }
    if (result.cancelled) return QStringLiteral("-2");
    const QString& chosen = result.path;
    if (chosen.isEmpty()) return QStringLiteral("-1");
    if (!chosen.contains(QLatin1Char('.'))) return chosen + kReportExtension;
    if (!chosen.toUpper().contains(QStringLiteral(".XLS"))) {
        state.ui.message(QStringLiteral("File extension is NOT .xls:") + chosen);
        return QStringLiteral("-1");
    }
    return chosen;
}

}  // namespace ksx4
