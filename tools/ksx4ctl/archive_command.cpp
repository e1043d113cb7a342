// ksx4ctl archive: the reports every transfer kept, listed, shown, trended
// and made into their workbooks and PDFs again. The archive is opened
// read-only.
#include "archive/archive.h"
#include "commands.h"
#include "ctl_support.h"
#include "report/rebuild_workbook.h"
#include "table_output.h"

#include <QDateTime>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <array>
#include <ostream>

namespace ksx4::ctl {

const char* const kArchiveUsage =
    "Usage: ksx4ctl archive list [--location TEXT] [--tester SERIAL] [--since DATE]\n"
    "                            [--until DATE] [--verdict OK|WARN|BAD]\n"
    "                            [--format table|csv|json]\n"
    "       ksx4ctl archive show ID [--copy N] [--format text|json]\n"
    "       ksx4ctl archive workbook ID [--copy N] --out FILE [--yes]\n"
    "       ksx4ctl archive pdf ID [--copy N] --out FILE [--yes]\n"
    "       ksx4ctl archive trend --segment NAME|--location TEXT --measure NAME\n"
    "                             [--device ADDRESS]\n"
    "                             [--format table|csv|json]\n"
    "       ksx4ctl archive segments [--format table|csv|json]\n"
    "       ksx4ctl archive diagnose ID|--segment NAME [--format text|json]\n"
    "       ksx4ctl archive baseline ID [--yes]\n"
    "       ksx4ctl archive baseline --clear --segment NAME [--yes]\n"
    "       ksx4ctl archive baseline --segment NAME\n"
    "       (each also takes --archive LOCATION)\n"
    "\n"
    "The archive keeps every report a transfer copied: its bytes as the tester\n"
    "stored them and, for searching, its names, times, verdict and judged\n"
    "values. These commands only read it, except baseline ID and baseline\n"
    "--clear, which ask first (--yes answers yes) and are refused, with the\n"
    "reason, where the archive cannot be written.\n"
    "\n"
    "A segment is the location name stored with a report, blanks around it\n"
    "ignored, in any case, whichever tester measured it. Its baseline is the\n"
    "report its later reports are compared with: its earliest report unless\n"
    "one was chosen with baseline ID.\n"
    "\n"
    "  list       the reports, by saved time (the newest transfer's time where\n"
    "             the report holds none), then slot. TEXT matches part of the\n"
    "             location or report name, ignoring case; DATE is YYYY-MM-DD or\n"
    "             YYYY-MM-DDTHH:MM[:SS] as the tester's clock kept it (no time\n"
    "             zone), both bounds included: --until 2025-08-19 or\n"
    "             2025-08-19T22:52 takes in the whole day or minute\n"
    "  show       everything of one report, with each value's limit and judgement,\n"
    "             and the copies kept of it\n"
    "  workbook   the report's workbook made again, as the transfer wrote it\n"
    "  pdf        the report's printed pages drawn again: the same pages as the\n"
    "             PDF a transfer with --pdf wrote, footers naming its workbook\n"
    "             (an existing FILE is replaced only when the answer is yes)\n"
    "  trend      one value over time of one segment's reports (--segment: the\n"
    "             location name as stored, blanks around it ignored, any case) or\n"
    "             of every report whose location or report name holds TEXT\n"
    "             (--location matches parts: \"House 2\" takes in \"House 21\");\n"
    "             --measure NAME is voltage,\n"
    "             signal, ff-avg, ff-peak, lf-avg, lf-peak, hf-avg, hf-peak or\n"
    "             retransmits (signal: the lowest device signal, or with --device\n"
    "             that device's level; retransmits needs --device)\n"
    "  segments   one row per segment, worst first: its reports, first and last\n"
    "             report time, last verdict, days since its last report and the\n"
    "             worst finding of its latest report\n"
    "  diagnose   the findings of one report (or of the segment's latest report)\n"
    "             against its segment's baseline and earlier reports, worst\n"
    "             first: alarms, warnings, notes, each with its likely causes and\n"
    "             what to check. Findings are hints; they change no report\n"
    "  baseline   ID: compare the report's segment with that report from now on;\n"
    "             --clear --segment NAME: with its earliest report again;\n"
    "             --segment NAME alone: which report the baseline is\n"
    "\n"
    "  --copy N   which transfer's copy of the report: one transferred again after\n"
    "             its limits or report name changed (the erase had not reached\n"
    "             the tester) is listed once, as the newest transfer judged it,\n"
    "             and keeps each such transfer's copy; 1 is the first (default:\n"
    "             the newest, as list, trend and show without --copy give it)\n"
    "  --archive LOCATION  an SQLite file, postgresql://[user@][host][:port]/dbname\n"
    "                      [?PARAMETER=VALUE&...] (PARAMETER: host, sslmode,\n"
    "                      sslrootcert, sslcert, sslkey, service, connect_timeout,\n"
    "                      application_name; default: $KSX4_ARCHIVE, else\n"
    "                      ~/.local/share/ksx4-assistant/archive.sqlite)\n"
    "\n"
    "Exit status: 0 on success (an empty list included); 1 when the archive\n"
    "cannot be read or written, holds no such report, copy or segment, or the\n"
    "question was answered no; 2 for bad arguments.\n";

namespace {

struct ArchiveArguments {
    QString subcommand;
    std::optional<QString> location;  // --archive
    std::optional<int64_t> id;
    std::optional<int> copy;  // --copy
    Format format = Format::Table;
    archive::ListFilter filter;
    std::optional<QString> measure;
    std::optional<int> device;
    std::optional<QString> segment;  // --segment
    QString out;
    ConsoleOptions console;
};

const std::array kMeasures{"voltage", "signal", "ff-avg",  "ff-peak",    "lf-avg",
                           "lf-peak", "hf-avg", "hf-peak", "retransmits"};

// A day, or a day and a time to the minute or second, as the report time
// is kept: in the tester's own clock, which knows no time zone, so a zone
// or offset is refused rather than ignored. A bound is widened to the
// whole of the day or minute it names, as a report saved at 22:52:58 lies
// within "until 22:52".
std::optional<QString> reportTimeBound(const QString& text, bool end) {
    static const QRegularExpression form(
        QStringLiteral(R"(^(\d{4}-\d{2}-\d{2})(?:T(\d{2}:\d{2})(:\d{2})?)?$)"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) return std::nullopt;
    const QDate day = QDate::fromString(match.captured(1), Qt::ISODate);
    if (!day.isValid()) return std::nullopt;
    QString time;
    if (!match.hasCaptured(2)) {
        time = end ? QStringLiteral("23:59:59") : QStringLiteral("00:00:00");
    } else if (!match.hasCaptured(3)) {
        time = match.captured(2) + (end ? QStringLiteral(":59") : QStringLiteral(":00"));
    } else {
        time = match.captured(2) + match.captured(3);
    }
    if (!QTime::fromString(time, QStringLiteral("HH:mm:ss")).isValid()) return std::nullopt;
    return day.toString(Qt::ISODate) + u'T' + time;
}

// The problem with the arguments, or nullopt.
std::optional<QString> parse(const QStringList& arguments, ArchiveArguments& a) {
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        const QString value = hasValue ? arguments[i + 1] : QString();
        auto needs = [&](const char* what) {
            return QStringLiteral("%1 needs %2").arg(argument, QLatin1String(what));
        };
        if (argument == QLatin1String("--yes")) {
            a.console.yes = true;
            continue;
        }
        if (!argument.startsWith(QLatin1String("--")) && a.subcommand.isEmpty()) {
            a.subcommand = argument;
            continue;
        }
        if (!argument.startsWith(QLatin1String("--"))) {
            bool ok = false;
            const qlonglong id = argument.toLongLong(&ok);
            if (!ok || id < 1 || a.id) return QStringLiteral("unexpected argument: ") + argument;
            a.id = id;
            continue;
        }
        if (!hasValue) return needs("a value");
        ++i;
        bool ok = false;
        if (argument == QLatin1String("--archive")) {
            a.location = value;
        } else if (argument == QLatin1String("--location")) {
            a.filter.text = value;
        } else if (argument == QLatin1String("--segment")) {
            a.segment = value.trimmed();
        } else if (argument == QLatin1String("--tester")) {
            a.filter.testerSerial = value.toInt(&ok);
            if (!ok || *a.filter.testerSerial < 0) return needs("a serial number");
        } else if (argument == QLatin1String("--since") || argument == QLatin1String("--until")) {
            const bool until = argument == QLatin1String("--until");
            const auto bound = reportTimeBound(value, until);
            static const QRegularExpression zone(
                QStringLiteral(R"(T[0-9:.]+(Z|[+-][0-9]{2}(:?[0-9]{2})?)$)"));
            if (!bound && zone.match(value).hasMatch()) {
                return QStringLiteral(
                           "no time zone, please: report times are the tester's own clock: ") +
                       value;
            }
            if (!bound) return QStringLiteral("not an ISO 8601 day or time: ") + value;
            (until ? a.filter.until : a.filter.since) = bound;
        } else if (argument == QLatin1String("--verdict")) {
            if (value != QLatin1String("OK") && value != QLatin1String("WARN") &&
                value != QLatin1String("BAD"))
                return needs("OK, WARN or BAD");
            a.filter.verdict = value;
        } else if (argument == QLatin1String("--format")) {
            const std::optional<Format> named = formatNamed(value);
            if (!named) return QStringLiteral("unknown format: ") + value;
            a.format = *named;
        } else if (argument == QLatin1String("--measure")) {
            if (std::find_if(kMeasures.begin(), kMeasures.end(), [&](const char* m) {
                    return value == QLatin1String(m);
                }) == kMeasures.end())
                return QStringLiteral("unknown measure: ") + value;
            a.measure = value;
        } else if (argument == QLatin1String("--device")) {
            a.device = value.toInt(&ok);
            if (!ok || *a.device < 0 || *a.device > 255) return needs("a device address");
        } else if (argument == QLatin1String("--copy")) {
            a.copy = value.toInt(&ok);
            if (!ok || *a.copy < 1) return needs("a copy number from 1");
        } else if (argument == QLatin1String("--out")) {
            a.out = QFileInfo(value).absoluteFilePath();
        } else {
            return QStringLiteral("unexpected argument: ") + argument;
        }
    }
    const bool list = a.subcommand == QLatin1String("list");
    const bool show = a.subcommand == QLatin1String("show");
    const bool workbook = a.subcommand == QLatin1String("workbook");
    const bool pdf = a.subcommand == QLatin1String("pdf");
    const bool trend = a.subcommand == QLatin1String("trend");
    if (!list && !show && !workbook && !pdf && !trend)
        return a.subcommand.isEmpty()
                   ? QStringLiteral(
                         "archive needs list, show, workbook, pdf, trend, segments, "
                         "diagnose or baseline")
                   : QStringLiteral("unknown archive command: ") + a.subcommand;
    if ((show || workbook || pdf) != a.id.has_value())
        return a.id ? QStringLiteral("unexpected argument: ") + QString::number(*a.id)
                    : QStringLiteral("%1 needs a report ID").arg(a.subcommand);
    if (show && a.format != Format::Text && a.format != Format::Json) {
        if (a.format != Format::Table) return QStringLiteral("show writes text or json");
        a.format = Format::Text;
    }
    if ((list || trend) && a.format == Format::Text) return QStringLiteral("unknown format: text");
    if (a.copy && !(show || workbook || pdf))
        return QStringLiteral("--copy belongs to show, workbook and pdf");
    if ((workbook || pdf) && a.out.isEmpty())
        return QStringLiteral("%1 needs --out FILE").arg(a.subcommand);
    if (trend) {
        if (a.segment && !a.filter.text.isEmpty())
            return QStringLiteral("trend takes --segment or --location, not both");
        if (a.segment && a.segment->isEmpty())
            return QStringLiteral("--segment needs a segment's name");
        if (!a.segment && a.filter.text.isEmpty())
            return QStringLiteral("trend needs --segment NAME or --location TEXT");
        if (!a.measure) return QStringLiteral("trend needs --measure NAME");
        if (*a.measure == QLatin1String("retransmits") && !a.device)
            return QStringLiteral("retransmits needs --device ADDRESS");
    } else if (a.measure || a.device || a.segment) {
        return QStringLiteral("--measure, --device and --segment belong to trend");
    }
    return std::nullopt;
}

QJsonValue jsonNumber(const std::optional<int64_t>& value) {
    return value ? QJsonValue(static_cast<qint64>(*value)) : QJsonValue(QJsonValue::Null);
}

QJsonObject summaryJson(const archive::ReportSummary& s) {
    return {{"id", static_cast<qint64>(s.id)},
            {"tester_serial", s.testerSerial},
            {"tester_kind", s.testerKindName()},
            {"slot", s.slot},
            {"location", s.location},
            {"report_name", s.reportName},
            {"saved", s.saved ? QJsonValue(*s.saved) : QJsonValue(QJsonValue::Null)},
            {"transferred", s.transferredText()},
            {"devices", s.devices},
            {"verdict", s.verdict},
            {"workbook", s.workbookPath},
            {"workbook_sha256", s.workbookSha256}};
}

QString optionalText(const std::optional<int64_t>& value) {
    return value ? QString::number(*value) : QString();
}

template <class T>
const T* valueOr(const archive::Result<T>& result, CtlContext& context) {
    if (const auto* error = std::get_if<archive::ArchiveError>(&result)) {
        context.err << "ksx4ctl: " << error->reason.toStdString() << '\n';
        return nullptr;
    }
    return &std::get<T>(result);
}

int list(archive::Archive& archive, const ArchiveArguments& a, CtlContext& context) {
    const auto result = archive.list(a.filter);
    const auto* reports = valueOr(result, context);
    if (!reports) return kExitFailed;
    if (a.format == Format::Json) {
        QJsonArray array;
        for (const auto& report : *reports) array.append(summaryJson(report));
        writeJson(context.out, QJsonDocument(array));
        return kExitDone;
    }
    std::vector<QStringList> rows;
    if (a.format == Format::Csv) {
        rows.push_back({"id", "tester_serial", "tester_kind", "slot", "location", "report_name",
                        "saved", "transferred", "devices", "verdict", "workbook",
                        "workbook_sha256"});
        for (const auto& r : *reports) {
            rows.push_back({QString::number(r.id), QString::number(r.testerSerial),
                            r.testerKindName(), QString::number(r.slot), r.location, r.reportName,
                            r.saved.value_or(QString()), r.transferredText(),
                            QString::number(r.devices), r.verdict, r.workbookPath,
                            r.workbookSha256});
        }
    } else {
        rows.push_back(
            {"ID", "TIME", "TESTER", "SLOT", "VERDICT", "DEVICES", "LOCATION", "REPORT NAME"});
        for (const auto& r : *reports) {
            rows.push_back({QString::number(r.id), r.reportTime(),
                            r.testerKindName() + u' ' + QString::number(r.testerSerial),
                            QString::number(r.slot), r.verdict, QString::number(r.devices),
                            r.location, r.reportName});
        }
    }
    writeRows(context.out, rows, a.format);
    return kExitDone;
}

// The copy of the report asked for (the newest unless --copy names one),
// or nullptr after the reason.
const archive::ArchivedReport* chosenCopy(const std::vector<archive::ArchivedReport>& copies,
                                          const ArchiveArguments& a, CtlContext& context) {
    if (copies.empty()) {
        context.err << "ksx4ctl: the archive holds no report " << *a.id << '\n';
        return nullptr;
    }
    if (!a.copy) return &copies.back();
    if (*a.copy > static_cast<int>(copies.size())) {
        context.err << "ksx4ctl: report " << *a.id << " has no copy " << *a.copy
                    << " (the archive keeps " << copies.size() << ")\n";
        return nullptr;
    }
    return &copies[static_cast<std::size_t>(*a.copy - 1)];
}

QJsonObject copyJson(const archive::ArchivedReport& copy) {
    const archive::ReportSummary& s = copy.summary;
    return {{"copy", copy.copy},           {"transferred", s.transferredText()},
            {"report_name", s.reportName}, {"verdict", s.verdict},
            {"workbook", s.workbookPath},  {"workbook_sha256", s.workbookSha256},
            {"locale", copy.localeName},   {"program_version", copy.programVersion}};
}

int show(archive::Archive& archive, const ArchiveArguments& a, CtlContext& context) {
    const auto result = archive.copies(*a.id);
    const auto* copies = valueOr(result, context);
    if (!copies) return kExitFailed;
    const archive::ArchivedReport* report = chosenCopy(*copies, a, context);
    if (!report) return kExitFailed;
    const archive::ReportSummary& s = report->summary;
    if (a.format == Format::Json) {
        QJsonObject object = summaryJson(s);
        object.insert("firmware_marker", report->firmwareMarker);
        object.insert("locale", report->localeName);
        object.insert("program_version", report->programVersion);
        object.insert("copy", report->copy);
        QJsonArray values;
        for (const auto& v : report->values) {
            values.append(QJsonObject{
                {"measure", v.measure},
                {"device", v.device ? QJsonValue(*v.device) : QJsonValue(QJsonValue::Null)},
                {"value", jsonNumber(v.value)},
                {"value_text", v.valueText},
                {"limit", jsonNumber(v.limit)},
                {"limit_text", v.limitText},
                {"judgement",
                 v.judgement.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(v.judgement)}});
        }
        object.insert("values", values);
        QJsonArray kept;
        for (const auto& copy : *copies) kept.append(copyJson(copy));
        object.insert("copies", kept);
        writeJson(context.out, QJsonDocument(object));
        return kExitDone;
    }
    std::vector<QStringList> facts{
        {"Report", QString::number(s.id)},
        {"Tester",
         s.testerKindName() + QStringLiteral(" serial ") + QString::number(s.testerSerial)},
        {"Slot", QString::number(s.slot)},
        {"Location", s.location},
        {"Report name", s.reportName},
        {"Saved", s.saved.value_or(QStringLiteral("not stored"))},
        {"Transferred", s.transferredText()},
        {"Devices", QString::number(s.devices)},
        {"Verdict", s.verdict},
        {"Workbook", s.workbookPath},
        {"SHA-256", s.workbookSha256},
    };
    if (copies->size() > 1) {
        facts.push_back({"Copy", QStringLiteral("%1 of %2%3")
                                     .arg(report->copy)
                                     .arg(copies->size())
                                     .arg(report == &copies->back() ? QStringLiteral(", the newest")
                                                                    : QString())});
    }
    writeRows(context.out, facts, Format::Table);
    context.out << '\n';
    std::vector<QStringList> values{{"MEASURE", "DEVICE", "VALUE", "LIMIT", "JUDGEMENT"}};
    for (const auto& v : report->values) {
        values.push_back({v.measure, v.device ? QString::number(*v.device) : QString(), v.valueText,
                          v.limitText, v.judgement});
    }
    writeRows(context.out, values, Format::Table);
    if (copies->size() > 1) {
        // Each transfer that showed the report with other limits or
        // another name wrote a workbook of its own: --copy N makes it again.
        context.out << '\n';
        std::vector<QStringList> kept{
            {"COPY", "TRANSFERRED", "VERDICT", "REPORT NAME", "WORKBOOK"}};
        for (const auto& copy : *copies) {
            kept.push_back({QString::number(copy.copy), copy.summary.transferredText(),
                            copy.summary.verdict, copy.summary.reportName,
                            copy.summary.workbookPath});
        }
        writeRows(context.out, kept, Format::Table);
    }
    return kExitDone;
}

int trend(archive::Archive& archive, const ArchiveArguments& a, CtlContext& context) {
    const auto result = archive.trend({a.filter.text, *a.measure, a.device, a.segment});
    const auto* points = valueOr(result, context);
    if (!points) return kExitFailed;
    if (a.format == Format::Json) {
        QJsonArray array;
        for (const auto& p : *points) {
            array.append(
                QJsonObject{{"report_id", static_cast<qint64>(p.reportId)},
                            {"time", p.time},
                            {"location", p.location},
                            {"value", jsonNumber(p.value)},
                            {"limit", jsonNumber(p.limit)},
                            {"judgement", p.judgement.isEmpty() ? QJsonValue(QJsonValue::Null)
                                                                : QJsonValue(p.judgement)}});
        }
        writeJson(context.out, QJsonDocument(array));
        return kExitDone;
    }
    std::vector<QStringList> rows;
    rows.push_back(a.format == Format::Csv
                       ? QStringList{"report_id", "time", "location", "value", "limit", "judgement"}
                       : QStringList{"ID", "TIME", "LOCATION", "VALUE", "LIMIT", "JUDGEMENT"});
    for (const auto& p : *points) {
        rows.push_back({QString::number(p.reportId), p.time, p.location, optionalText(p.value),
                        optionalText(p.limit), p.judgement});
    }
    writeRows(context.out, rows, a.format);
    return kExitDone;
}

}  // namespace

int runArchiveCommand(const QStringList& arguments, CtlContext& context) {
    if (arguments.isEmpty()) return usageError(context, kArchiveUsage, "archive needs a command");
    const auto named = std::find_if(
        arguments.begin(), arguments.end(),
        [](const QString& argument) { return !argument.startsWith(QLatin1String("--")); });
    if (named != arguments.end() && isArchiveSegmentCommand(*named))
        return runArchiveSegmentCommand(arguments, context);
    ArchiveArguments a;
    if (const auto problem = parse(arguments, a))
        return usageError(context, kArchiveUsage, *problem);
    const auto resolved = archive::resolveArchiveLocation(a.location);
    if (const auto* problem = std::get_if<QString>(&resolved))
        return usageError(context, kArchiveUsage, *problem);
    const auto& location = std::get<archive::ArchiveLocation>(resolved);
    if (location.isNone())
        return usageError(context, kArchiveUsage, "no archive: the location is none");

    auto opened = archive::Archive::open(location, archive::Archive::Access::ReadOnly);
    if (const auto* error = std::get_if<archive::ArchiveError>(&opened)) {
        context.err << "ksx4ctl: " << error->reason.toStdString() << '\n';
        return kExitFailed;
    }
    archive::Archive& store = *std::get<std::unique_ptr<archive::Archive>>(opened);
    if (a.subcommand == QLatin1String("list")) return list(store, a, context);
    if (a.subcommand == QLatin1String("show")) return show(store, a, context);
    if (a.subcommand == QLatin1String("trend")) return trend(store, a, context);

    const auto result = store.copies(*a.id);
    const auto* copies = valueOr(result, context);
    if (!copies) return kExitFailed;
    const archive::ArchivedReport* report = chosenCopy(*copies, a, context);
    if (!report) return kExitFailed;
    if (a.subcommand == QLatin1String("pdf")) {
        const auto fonts = guiForDrawingPages();
        return runOperation(context, a.console, [report, &a](ProgramState& state) {
            return rebuildPdf(state, *report, a.out);
        });
    }
    return runOperation(context, a.console, [report, &a](ProgramState& state) {
        return rebuildWorkbook(state, *report, a.out);
    });
}

}  // namespace ksx4::ctl
