#pragma once
// The findings pane's text: which report is read against which baseline,
// then each finding worst first with its severity's icon, its sentence,
// the likely causes, what to check, and a "Show Trend" link where a chart
// shows the value it is about.
#include "report/segment_detail.h"

#include <QString>
#include <QUrl>

#include <optional>

namespace ksx4 {

// The image each severity's icon is given to the document as.
QUrl severityImage(diagnosis::Severity severity);
// The link of the finding at index ("trend:2"), and the index a link
// names (nullopt for any other link).
QUrl findingTrendLink(int index);
std::optional<int> findingOfLink(const QUrl& link);

QString findingsHtml(const SegmentDetail& detail);

// "report 12 of 2026-03-01 09:30, KSX-4 1001"
QString reportCaption(const archive::ReportSummary& report);

}  // namespace ksx4
