// ksx4ctl archive segments, diagnose and baseline: the archive read by
// segment, the findings of a report against its segment's baseline, and
// the baseline chosen by hand (the only archive write outside a transfer).
#include "archive/archive.h"
#include "archive/segments.h"
#include "commands.h"
#include "core/clock.h"
#include "core/program_state.h"
#include "ctl_support.h"
#include "report/baseline_change.h"
#include "report/segment_findings.h"
#include "table_output.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <ostream>

namespace ksx4::ctl {
namespace {

struct SegmentArguments {
    QString subcommand;
    std::optional<QString> location;  // --archive
    std::optional<int64_t> id;
    std::optional<QString> segment;
    bool clear = false;
    std::optional<Format> format;
    ConsoleOptions console;
};

std::optional<QString> parse(const QStringList& arguments, SegmentArguments& a) {
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--yes")) {
            a.console.yes = true;
        } else if (argument == QLatin1String("--clear")) {
            a.clear = true;
        } else if (!argument.startsWith(QLatin1String("--"))) {
            if (a.subcommand.isEmpty()) {
                a.subcommand = argument;
                continue;
            }
            bool ok = false;
            const qlonglong id = argument.toLongLong(&ok);
            if (!ok || id < 1 || a.id) return QStringLiteral("unexpected argument: ") + argument;
            a.id = id;
        } else if (i + 1 >= arguments.size()) {
            return QStringLiteral("%1 needs a value").arg(argument);
        } else {
            const QString value = arguments[++i];
            if (argument == QLatin1String("--archive")) {
                a.location = value;
            } else if (argument == QLatin1String("--segment")) {
                if (value.trimmed().isEmpty()) return QStringLiteral("--segment needs a name");
                a.segment = value;
            } else if (argument == QLatin1String("--format")) {
                const std::optional<Format> named = formatNamed(value);
                if (!named) return QStringLiteral("unknown format: ") + value;
                a.format = *named;
            } else {
                return QStringLiteral("unexpected argument: ") + argument;
            }
        }
    }
    const bool segments = a.subcommand == QLatin1String("segments");
    const bool diagnose = a.subcommand == QLatin1String("diagnose");
    const bool baseline = a.subcommand == QLatin1String("baseline");
    if (segments) {
        if (a.id || a.segment || a.clear)
            return QStringLiteral("segments takes no report ID, --segment or --clear");
        if (a.format == Format::Text) return QStringLiteral("segments writes table, csv or json");
        if (!a.format) a.format = Format::Table;
    } else if (diagnose) {
        if (a.id.has_value() == a.segment.has_value())
            return QStringLiteral("diagnose needs a report ID or --segment NAME");
        if (a.clear) return QStringLiteral("--clear belongs to baseline");
        if (a.format && a.format != Format::Text && a.format != Format::Json)
            return QStringLiteral("diagnose writes text or json");
        if (!a.format) a.format = Format::Text;
    } else if (baseline) {
        if (a.format) return QStringLiteral("baseline takes no --format");
        if (a.id && (a.segment || a.clear))
            return QStringLiteral("baseline takes a report ID, or --segment NAME");
        if (!a.id && !a.segment)
            return QStringLiteral("baseline needs a report ID, or --clear --segment NAME");
    }
    return std::nullopt;
}

template <class T>
const T* valueOr(const archive::Result<T>& result, CtlContext& context) {
    if (const auto* error = std::get_if<archive::ArchiveError>(&result)) {
        context.err << "ksx4ctl: " << error->reason.toStdString() << '\n';
        return nullptr;
    }
    return &std::get<T>(result);
}

QJsonValue orNull(const std::optional<int>& value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QDateTime nowOf(const CtlContext& context) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        context.clock.wallTime().time_since_epoch());
    return QDateTime::fromMSecsSinceEpoch(ms.count());
}

int segments(archive::Archive& archive, Format format, CtlContext& context) {
    const auto result = segmentsWithFindings(archive, nowOf(context));
    const auto* rows = valueOr(result, context);
    if (!rows) return kExitFailed;
    if (format == Format::Json) {
        QJsonArray array;
        for (const SegmentFindings& row : *rows) {
            const archive::SegmentSummary& s = row.segment;
            QJsonValue worst(QJsonValue::Null);
            if (row.worst) {
                worst = QJsonObject{{"code", row.worst->code},
                                    {"severity", diagnosis::severityName(row.worst->severity)},
                                    {"summary", row.worst->summary}};
            }
            array.append(QJsonObject{{"name", s.name},
                                     {"reports", static_cast<qint64>(s.reports)},
                                     {"first_report", s.firstReport},
                                     {"last_report", s.lastReport},
                                     {"last_verdict", s.lastVerdict},
                                     {"worst_finding", worst},
                                     {"days_since_last", orNull(s.daysSinceLast)}});
        }
        writeJson(context.out, QJsonDocument(array));
        return kExitDone;
    }
    std::vector<QStringList> table;
    const bool csv = format == Format::Csv;
    table.push_back(
        csv ? QStringList{"name", "reports", "first_report", "last_report", "last_verdict",
                          "days_since_last", "severity", "finding", "summary"}
            : QStringList{"SEGMENT", "REPORTS", "FIRST", "LAST", "VERDICT", "DAYS", "FINDING"});
    for (const SegmentFindings& row : *rows) {
        const archive::SegmentSummary& s = row.segment;
        const QString days = s.daysSinceLast ? QString::number(*s.daysSinceLast) : QString();
        const QString severity =
            row.worst ? diagnosis::severityName(row.worst->severity) : QString();
        if (csv) {
            table.push_back({s.name, QString::number(s.reports), s.firstReport, s.lastReport,
                             s.lastVerdict, days, severity, row.worst ? row.worst->code : QString(),
                             row.worst ? row.worst->summary : QString()});
        } else {
            table.push_back(
                {s.name, QString::number(s.reports), s.firstReport, s.lastReport, s.lastVerdict,
                 days,
                 row.worst ? severity + QStringLiteral(": ") + row.worst->summary : QString()});
        }
    }
    writeRows(context.out, table, format);
    return kExitDone;
}

int diagnose(archive::Archive& archive, const SegmentArguments& a, CtlContext& context) {
    int64_t id = 0;
    if (a.id) {
        id = *a.id;
    } else {
        const auto latest = archive::latestReport(archive, *a.segment);
        const auto* found = valueOr(latest, context);
        if (!found) return kExitFailed;
        if (!*found) {
            context.err << "ksx4ctl: the archive holds no segment "
                        << a.segment->trimmed().toStdString() << '\n';
            return kExitFailed;
        }
        id = (*found)->id;
    }
    const auto result = findingsOfReport(archive, id);
    const auto* found = valueOr(result, context);
    if (!found) return kExitFailed;
    if (!*found) {
        context.err << "ksx4ctl: the archive holds no report " << id << '\n';
        return kExitFailed;
    }
    const ReportFindings& r = **found;
    const archive::ReportSummary& report = r.place.report;
    const QString segment = archive::segmentName(report.location);
    if (a.format == Format::Json) {
        QJsonValue baseline(QJsonValue::Null);
        if (r.place.baseline) {
            baseline = QJsonObject{{"id", static_cast<qint64>(r.place.baseline->id)},
                                   {"time", r.place.baseline->reportTime()}};
        }
        writeJson(context.out,
                  QJsonDocument(QJsonObject{{"report", QJsonObject{{"id", static_cast<qint64>(id)},
                                                                   {"time", report.reportTime()},
                                                                   {"segment", segment}}},
                                            {"baseline", baseline},
                                            {"findings", diagnosis::toJson(r.findings)}}));
        return kExitDone;
    }
    std::ostream& out = context.out;
    out << "Report " << id << " of " << segment.toStdString() << ", "
        << report.reportTime().toStdString() << '\n';
    if (r.place.baseline) {
        out << "Compared with report " << r.place.baseline->id << " of "
            << r.place.baseline->reportTime().toStdString()
            << (r.place.baselineChosen ? " (the baseline chosen)" : " (the earliest report)")
            << '\n';
    } else {
        out << "No earlier report to compare with\n";
    }
    if (r.findings.empty()) out << "\nNo findings.\n";
    for (const diagnosis::Finding& f : r.findings) {
        out << '\n'
            << diagnosis::severityName(f.severity).toUpper().toStdString() << " ["
            << f.code.toStdString() << "] " << f.summary.toStdString() << '\n';
        if (!f.causes.isEmpty()) {
            out << "  Likely causes:\n";
            for (const QString& cause : f.causes) out << "    - " << cause.toStdString() << '\n';
        }
        if (!f.check.isEmpty()) out << "  Check: " << f.check.toStdString() << '\n';
    }
    return kExitDone;
}

int showBaseline(archive::Archive& archive, const QString& name, CtlContext& context) {
    const auto reports = archive::segmentReports(archive, name);
    const auto* all = valueOr(reports, context);
    if (!all) return kExitFailed;
    if (all->empty()) {
        context.err << "ksx4ctl: the archive holds no segment " << name.trimmed().toStdString()
                    << '\n';
        return kExitFailed;
    }
    const auto chosen = archive::chosenBaseline(archive, name);
    const auto* id = valueOr(chosen, context);
    if (!id) return kExitFailed;
    const auto& segment = all->back().location;
    const auto baseline = std::find_if(all->begin(), all->end(),
                                       [&](const auto& s) { return *id ? s.id == **id : true; });
    context.out << archive::segmentName(segment).toStdString() << ": report " << baseline->id
                << " of " << baseline->reportTime().toStdString()
                << (*id ? " (chosen)" : " (the earliest report)") << '\n';
    return kExitDone;
}

}  // namespace

bool isArchiveSegmentCommand(const QString& name) {
    return name == QLatin1String("segments") || name == QLatin1String("diagnose") ||
           name == QLatin1String("baseline");
}

int runArchiveSegmentCommand(const QStringList& arguments, CtlContext& context) {
    SegmentArguments a;
    if (const auto problem = parse(arguments, a))
        return usageError(context, kArchiveUsage, *problem);
    const auto resolved = archive::resolveArchiveLocation(a.location);
    if (const auto* problem = std::get_if<QString>(&resolved))
        return usageError(context, kArchiveUsage, *problem);
    const auto& location = std::get<archive::ArchiveLocation>(resolved);
    if (location.isNone())
        return usageError(context, kArchiveUsage, "no archive: the location is none");

    const bool baseline = a.subcommand == QLatin1String("baseline");
    if (baseline && (a.id || a.clear)) {
        return runOperation(context, a.console, [&](ProgramState& state) {
            return a.id ? chooseBaseline(state.ui, location, *a.id)
                        : clearChosenBaseline(state.ui, location, *a.segment);
        });
    }
    auto opened = archive::Archive::open(location, archive::Archive::Access::ReadOnly);
    if (const auto* error = std::get_if<archive::ArchiveError>(&opened)) {
        context.err << "ksx4ctl: " << error->reason.toStdString() << '\n';
        return kExitFailed;
    }
    archive::Archive& store = *std::get<std::unique_ptr<archive::Archive>>(opened);
    if (baseline) return showBaseline(store, *a.segment, context);
    if (a.subcommand == QLatin1String("segments")) return segments(store, *a.format, context);
    return diagnose(store, a, context);
}

}  // namespace ksx4::ctl
