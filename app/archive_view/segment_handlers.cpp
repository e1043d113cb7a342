#include "archive_view/segment_handlers.h"

#include "archive_view/archive_handlers.h"
#include "archive_view/archive_session.h"
#include "archive_view/finding_trend.h"
#include "core/operator.h"
#include "core/program_state.h"
#include "report/baseline_change.h"

namespace ksx4 {
namespace {

std::optional<SegmentFindings> chosenSegment(ProgramState& state, const SegmentForm& segments) {
    auto segment = segments.selectedSegment();
    if (!segment) {
        state.ui.message(QStringLiteral("Choose a segment in the list first."), Buttons::Ok,
                         Icon::Exclamation, kArchiveWindowTitle);
    }
    return segment;
}

}  // namespace

Outcome showSegmentTrend(ProgramState& state, ArchiveForm& archive, SegmentForm& segments,
                         ArchiveSession& session, std::optional<int> finding) {
    const auto segment = chosenSegment(state, segments);
    if (!segment) return Outcome::Refused;
    const auto shown = finding ? segments.shownFinding(*finding) : segment->worst;
    const std::optional<FindingTrend> target = shown ? trendOfFinding(*shown) : std::nullopt;
    if (finding && !target) return Outcome::Refused;  // a finding about no value has no link
    archive.setText(ArchiveBox::Location, segment->segment.name);
    archive.setText(ArchiveBox::Device,
                    target && target->device ? QString::number(*target->device) : QString());
    const Outcome outcome = showTrend(state, archive, session);
    if (outcome == Outcome::Done && target) segments.revealTrendChart(target->chartTitle);
    return outcome;
}

Outcome setAsBaseline(ProgramState& state, ArchiveForm& archive, SegmentForm& segments,
                      ArchiveSession& session) {
    const auto report = archive.selectedReport();
    if (!report) {
        state.ui.message(QStringLiteral("Choose a report in the list first."), Buttons::Ok,
                         Icon::Exclamation, kArchiveWindowTitle);
        return Outcome::Refused;
    }
    const Outcome outcome = chooseBaseline(state.ui, session.location(), report->id);
    if (outcome == Outcome::Done) segments.reloadSegments();
    return outcome;
}

Outcome clearSegmentBaseline(ProgramState& state, SegmentForm& segments, ArchiveSession& session) {
    const auto segment = chosenSegment(state, segments);
    if (!segment) return Outcome::Refused;
    const Outcome outcome =
        clearChosenBaseline(state.ui, session.location(), segment->segment.name);
    if (outcome == Outcome::Done) segments.reloadSegments();
    return outcome;
}

}  // namespace ksx4
