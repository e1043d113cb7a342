#include "report/segment_detail.h"

#include "archive/segments.h"

namespace ksx4 {

archive::Result<std::optional<SegmentDetail>> segmentDetail(archive::Archive& archive,
                                                            const QString& segment) {
    using Found = std::optional<SegmentDetail>;
    const auto latest = archive::latestReport(archive, segment);
    if (const auto* failure = std::get_if<archive::ArchiveError>(&latest)) return *failure;
    const auto& summary = std::get<std::optional<archive::ReportSummary>>(latest);
    if (!summary) return Found();

    auto found = findingsOfReport(archive, summary->id);
    if (const auto* failure = std::get_if<archive::ArchiveError>(&found)) return *failure;
    auto& findings = std::get<std::optional<ReportFindings>>(found);
    if (!findings) return Found();  // gone since it was found

    // The comparison shows the values as their workbooks did: read with
    // their texts.
    const auto read = [&archive](int64_t id) { return archive.report(id); };
    auto latestReport = read(findings->place.report.id);
    if (const auto* failure = std::get_if<archive::ArchiveError>(&latestReport)) return *failure;
    const auto& latestRead = std::get<std::optional<archive::ArchivedReport>>(latestReport);
    if (!latestRead) return Found();
    std::optional<archive::ArchivedReport> baselineRead;
    if (findings->place.baseline) {
        auto baseline = read(findings->place.baseline->id);
        if (const auto* failure = std::get_if<archive::ArchiveError>(&baseline)) return *failure;
        baselineRead = std::move(std::get<std::optional<archive::ArchivedReport>>(baseline));
    }
    SegmentDetail detail{std::move(*findings), {}};
    detail.comparison = compareWithBaseline(baselineRead ? &*baselineRead : nullptr, *latestRead);
    return Found(std::move(detail));
}

}  // namespace ksx4
