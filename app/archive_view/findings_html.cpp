#include "archive_view/findings_html.h"

#include "archive/segment_key.h"
#include "archive_view/finding_trend.h"
#include "archive_view/report_table_model.h"
#include "archive_view/segment_table_model.h"

namespace ksx4 {
namespace {

const QString kTrendScheme = QStringLiteral("trend");

QString escaped(const QString& text) {
    return text.toHtmlEscaped();
}

}  // namespace

QUrl severityImage(diagnosis::Severity severity) {
    return QUrl(QStringLiteral("severity:") + diagnosis::severityName(severity));
}

QUrl findingTrendLink(int index) {
    return QUrl(kTrendScheme + u':' + QString::number(index));
}

std::optional<int> findingOfLink(const QUrl& link) {
    if (link.scheme() != kTrendScheme) return std::nullopt;
    bool ok = false;
    const int index = link.path().toInt(&ok);
    return ok && index >= 0 ? std::optional<int>(index) : std::nullopt;
}

QString reportCaption(const archive::ReportSummary& report) {
    return QStringLiteral("report %1 of %2, %3")
        .arg(report.id)
        .arg(segmentTimeText(report.reportTime()), testerText(report));
}

QString findingsHtml(const SegmentDetail& detail) {
    const archive::ReportInSegment& place = detail.latest.place;
    QString html = QStringLiteral("<p><b>%1</b>: the findings of its latest report, %2, ")
                       .arg(escaped(archive::segmentName(place.report.location)),
                            escaped(reportCaption(place.report)));
    if (place.baseline) {
        html += QStringLiteral("against its baseline, %1%2.</p>")
                    .arg(escaped(reportCaption(*place.baseline)),
                         place.baselineChosen ? QStringLiteral(" (chosen)") : QString());
    } else {
        html += QStringLiteral("its only report, so compared with no baseline.</p>");
    }
    const std::vector<diagnosis::Finding>& findings = detail.latest.findings;
    if (findings.empty()) {
        html += QStringLiteral(
            "<p>No findings: nothing in this report stands out against its limits, its "
            "baseline or the reports before it.</p>");
        return html;
    }
    html += QStringLiteral("<table cellspacing=\"0\" cellpadding=\"3\">");
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const diagnosis::Finding& f = findings[i];
        html += QStringLiteral(
                    "<tr><td valign=\"top\"><img src=\"%1\" width=\"16\" height=\"16\" "
                    "alt=\"%2\"></td><td><b>%3</b>")
                    .arg(severityImage(f.severity).toString(),
                         escaped(diagnosis::severityName(f.severity)), escaped(f.summary));
        if (!f.causes.isEmpty()) {
            html += QStringLiteral("<br>Likely causes:<ul style=\"margin-top:0px\">");
            for (const QString& cause : f.causes)
                html += QStringLiteral("<li>%1</li>").arg(escaped(cause));
            html += QStringLiteral("</ul>");
        }
        if (!f.check.isEmpty()) {
            html += (f.causes.isEmpty() ? QStringLiteral("<br>") : QString()) +
                    QStringLiteral("<i>%1</i>").arg(escaped(f.check));
        }
        if (trendOfFinding(f)) {
            html += QStringLiteral("<br><a href=\"%1\">Show Trend</a>")
                        .arg(findingTrendLink(static_cast<int>(i)).toString());
        }
        html += QStringLiteral("</td></tr>");
    }
    html += QStringLiteral("</table>");
    return html;
}

}  // namespace ksx4
