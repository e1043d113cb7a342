#include "archive_view/segment_view_window.h"

#include "archive_view/archive_session.h"
#include "archive_view/archive_window.h"
#include "archive_view/findings_html.h"
#include "archive_view/judgement_colours.h"
#include "archive_view/segment_handlers.h"
#include "archive_view/segment_table_model.h"
#include "archive_view/trend_window.h"
#include "core/clock.h"
#include "core/operation_runner.h"
#include "core/program_state.h"

#include <QChartView>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QTableView>
#include <QTableWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace ksx4 {
namespace {

// Where the table's order and column widths are kept.
const QString kColumnsKey = QStringLiteral("archive/segmentColumns");

enum ComparisonColumn {
    ValueColumn,
    BaselineColumn,
    BaselineJudgementColumn,
    LatestColumn,
    LatestJudgementColumn,
    ChangeColumn
};

QTableWidgetItem* cell(const QString& text, Qt::Alignment alignment = Qt::AlignLeft) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(alignment | Qt::AlignVCenter);
    return item;
}

QTableWidgetItem* judgementCell(const QString& judgement) {
    QTableWidgetItem* item = cell(judgement, Qt::AlignHCenter);
    if (const auto fill = judgementFill(judgement)) {
        item->setBackground(*fill);
        item->setForeground(Qt::black);
    }
    return item;
}

QLabel* captionFor(QWidget* buddy, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

QString addressList(const QStringList& addresses) {
    return addresses.isEmpty() ? QStringLiteral("none") : addresses.join(QStringLiteral(", "));
}

}  // namespace

SegmentViewWindow::SegmentViewWindow(ArchiveWindow& archive, ProgramState& state,
                                     OperationRunner& runner, QSettings& settings, QWidget* parent)
    : QWidget(parent), archive_(archive), state_(state), runner_(runner), settings_(settings) {
    setObjectName(QStringLiteral("segmentView"));
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    filter_ = new QLineEdit(this);
    filter_->setObjectName(QStringLiteral("txtSegmentFilter"));
    filter_->setPlaceholderText(QStringLiteral("part of the name"));
    filter_->setClearButtonEnabled(true);
    top->addWidget(captionFor(filter_, QStringLiteral("Segment na&me"), this));
    top->addWidget(filter_, 1);
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("lblSegmentCount"));
    top->addWidget(count_);
    top->addStretch(1);
    auto* clear = new QPushButton(QStringLiteral("&Clear Baseline"), this);
    clear->setObjectName(QStringLiteral("cmdClearBaseline"));
    clear->setToolTip(
        QStringLiteral("Compare the selected segment's reports with its earliest report again"));
    connect(clear, &QPushButton::clicked, this, [this] {
        runner_.run([this] { clearSegmentBaseline(state_, *this, archive_.session()); }, &archive_);
    });
    buttons_.push_back(clear);
    top->addWidget(clear);
    layout->addLayout(top);

    Clock& clock = state.clock;
    model_ = new SegmentTableModel(
        archive.session(),
        [&clock] {
            return QDateTime::fromMSecsSinceEpoch(
                std::chrono::duration_cast<std::chrono::milliseconds>(
                    clock.wallTime().time_since_epoch())
                    .count());
        },
        this);
    model_->setSeverityIcons({style()->standardIcon(QStyle::SP_MessageBoxCritical),
                              style()->standardIcon(QStyle::SP_MessageBoxWarning),
                              style()->standardIcon(QStyle::SP_MessageBoxInformation)});
    model_->onAnswered = [this](const std::optional<QString>& failure) { answered(failure); };
    proxy_ = new QSortFilterProxyModel(this);
    proxy_->setSourceModel(model_);
    proxy_->setSortRole(SegmentTableModel::kSortRole);
    proxy_->setFilterKeyColumn(SegmentTableModel::NameColumn);
    proxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);
    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
        proxy_->setFilterFixedString(text.trimmed());
        updateCount();
        if (!table_->currentIndex().isValid() && proxy_->rowCount() > 0)
            table_->setCurrentIndex(proxy_->index(0, 0));
    });

    pages_ = new QStackedWidget(this);
    auto* split = new QSplitter(Qt::Vertical, pages_);
    table_ = new QTableView(split);
    table_->setObjectName(QStringLiteral("grdSegments"));
    table_->setModel(proxy_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    QHeaderView* header = table_->horizontalHeader();
    header->setStretchLastSection(true);
    table_->setColumnWidth(SegmentTableModel::NameColumn, 180);
    table_->setColumnWidth(SegmentTableModel::ReportsColumn, 65);
    table_->setColumnWidth(SegmentTableModel::FirstColumn, 125);
    table_->setColumnWidth(SegmentTableModel::LastColumn, 125);
    table_->setColumnWidth(SegmentTableModel::DaysColumn, 80);
    table_->setColumnWidth(SegmentTableModel::VerdictColumn, 85);
    header->setSortIndicator(SegmentTableModel::FindingColumn, Qt::AscendingOrder);
    header->restoreState(settings_.value(kColumnsKey).toByteArray());
    table_->setSortingEnabled(true);
    const auto keep = [this] {
        settings_.setValue(kColumnsKey, table_->horizontalHeader()->saveState());
    };
    connect(header, &QHeaderView::sectionResized, this, keep);
    connect(header, &QHeaderView::sortIndicatorChanged, this, keep);
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { selectionChanged(); });
    // Enter (or a double click) on a row: the trend of its worst finding.
    connect(table_, &QAbstractItemView::activated, this, [this] {
        runner_.run(
            [this] { showSegmentTrend(state_, archive_, *this, archive_.session(), std::nullopt); },
            &archive_);
    });

    auto* details = new QSplitter(Qt::Horizontal, split);
    auto* findingsBox = new QWidget(details);
    auto* findingsLayout = new QVBoxLayout(findingsBox);
    findingsLayout->setContentsMargins(0, 0, 0, 0);
    findings_ = new QTextBrowser(findingsBox);
    findings_->setObjectName(QStringLiteral("txtFindings"));
    findings_->setOpenLinks(false);
    findings_->setOpenExternalLinks(false);
    connect(findings_, &QTextBrowser::anchorClicked, this,
            [this](const QUrl& link) { followLink(link); });
    findingsLayout->addWidget(captionFor(findings_, QStringLiteral("Findin&gs"), findingsBox));
    findingsLayout->addWidget(findings_, 1);

    auto* comparisonBox = new QWidget(details);
    auto* comparisonLayout = new QVBoxLayout(comparisonBox);
    comparisonLayout->setContentsMargins(0, 0, 0, 0);
    comparison_ = new QTableWidget(0, 6, comparisonBox);
    comparison_->setObjectName(QStringLiteral("grdComparison"));
    comparison_->setHorizontalHeaderLabels({QStringLiteral("Value"), QStringLiteral("Baseline"),
                                            QStringLiteral("Judgement"), QStringLiteral("Latest"),
                                            QStringLiteral("Judgement"), QStringLiteral("Change")});
    comparison_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    comparison_->setSelectionBehavior(QAbstractItemView::SelectRows);
    comparison_->verticalHeader()->hide();
    comparison_->setWordWrap(false);
    comparison_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    comparison_->verticalHeader()->setDefaultSectionSize(comparison_->fontMetrics().height() + 6);
    comparisonLayout->addWidget(
        captionFor(comparison_, QStringLiteral("Com&pared with the baseline"), comparisonBox));
    comparisonLayout->addWidget(comparison_, 1);
    devices_ = new QLabel(comparisonBox);
    devices_->setObjectName(QStringLiteral("lblDevices"));
    devices_->setWordWrap(true);
    devices_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    comparisonLayout->addWidget(devices_);
    details->setStretchFactor(0, 1);
    details->setStretchFactor(1, 1);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    pages_->addWidget(split);

    empty_ = new QLabel(kEmptyArchiveText, pages_);
    empty_->setObjectName(QStringLiteral("lblEmptyArchive"));
    empty_->setAlignment(Qt::AlignCenter);
    QFont larger = empty_->font();
    larger.setPointSizeF(larger.pointSizeF() * 1.3);
    empty_->setFont(larger);
    pages_->addWidget(empty_);
    layout->addWidget(pages_, 1);

    runner_.addControls([this](bool enabled) {
        for (QPushButton* button : buttons_) button->setEnabled(enabled);
    });
    clearDetail(QString());
}

std::optional<SegmentFindings> SegmentViewWindow::selectedSegment() const {
    const QModelIndex current = table_->currentIndex();
    if (!current.isValid()) return std::nullopt;
    return model_->segment(proxy_->mapToSource(current).row());
}

std::optional<diagnosis::Finding> SegmentViewWindow::shownFinding(int index) const {
    if (!detail_ || index < 0 || index >= static_cast<int>(detail_->latest.findings.size()))
        return std::nullopt;
    return detail_->latest.findings[static_cast<std::size_t>(index)];
}

void SegmentViewWindow::reloadSegments() {
    if (const auto selected = selectedSegment()) keptKey_ = selected->segment.key;
    clearDetail(QString());
    count_->setText(QStringLiteral("Reading the segments..."));
    model_->reload();
}

void SegmentViewWindow::revealTrendChart(const QString& title) {
    TrendWindow* trend = archive_.trendWindow();
    if (trend == nullptr) return;
    for (int chart = 0; chart < trend->chartCount(); ++chart) {
        if (trend->chartTitle(chart) != title) continue;
        if (auto* scroll = trend->findChild<QScrollArea*>()) {
            // Laid out now, so that the chart's place is known before it is shown.
            if (QLayout* charts = scroll->widget()->layout()) charts->activate();
            scroll->ensureWidgetVisible(trend->chartView(chart), 0, 0);
        }
        return;
    }
}

QString SegmentViewWindow::countText() const {
    return count_->text();
}

QString SegmentViewWindow::findingsText() const {
    return findings_->toPlainText();
}

QString SegmentViewWindow::devicesText() const {
    return devices_->text();
}

QString SegmentViewWindow::emptyText() const {
    return pages_->currentWidget() == empty_ ? empty_->text() : QString();
}

void SegmentViewWindow::answered(const std::optional<QString>& failure) {
    if (model_->archiveEmpty()) {
        pages_->setCurrentWidget(empty_);
        count_->setText(QStringLiteral("No reports"));
        clearDetail(QString());
        return;
    }
    pages_->setCurrentIndex(0);
    if (failure) {
        count_->setText(QStringLiteral("Segments not read"));
        clearDetail(*failure);
        if (onFailure) onFailure(*failure);
        return;
    }
    int row = 0;
    for (int r = 0; r < proxy_->rowCount(); ++r) {
        const QModelIndex source = proxy_->mapToSource(proxy_->index(r, 0));
        if (model_->segment(source.row()).segment.key == keptKey_) {
            row = r;
            break;
        }
    }
    keptKey_.clear();
    updateCount();
    if (proxy_->rowCount() > 0) table_->setCurrentIndex(proxy_->index(row, 0));
}

void SegmentViewWindow::updateCount() {
    const int shown = proxy_->rowCount();
    const int all = model_->rowCount();
    if (all > 0 && shown == 0) {
        count_->setText(QStringLiteral("No segments match"));
    } else if (shown == all) {
        count_->setText(all == 1 ? QStringLiteral("1 segment")
                                 : QStringLiteral("%1 segments").arg(all));
    } else {
        count_->setText(QStringLiteral("%1 of %2 segments").arg(shown).arg(all));
    }
}

void SegmentViewWindow::selectionChanged() {
    const unsigned generation = ++detailGeneration_;
    detail_.reset();
    const auto selected = selectedSegment();
    if (!selected) {
        clearDetail(QString());
        return;
    }
    clearDetail(QStringLiteral("Reading the findings of %1...").arg(selected->segment.name));
    const QString name = selected->segment.name;
    QPointer<SegmentViewWindow> self(this);
    archive_.session().ask<std::optional<SegmentDetail>>(
        [name](archive::Archive& a) { return segmentDetail(a, name); },
        [self, generation](archive::Result<std::optional<SegmentDetail>> answer) {
            QMetaObject::invokeMethod(
                self.data(),
                [self, generation, answer = std::move(answer)]() mutable {
                    if (self) self->showDetail(generation, std::move(answer));
                },
                Qt::QueuedConnection);
        });
}

void SegmentViewWindow::showDetail(unsigned generation,
                                   archive::Result<std::optional<SegmentDetail>> answer) {
    if (generation != detailGeneration_) return;
    if (const auto* failure = std::get_if<archive::ArchiveError>(&answer)) {
        clearDetail(failure->reason);
        return;
    }
    auto& found = std::get<std::optional<SegmentDetail>>(answer);
    if (!found) {
        clearDetail(QStringLiteral("The segment is no longer in the archive."));
        return;
    }
    detail_ = std::move(*found);
    QTextDocument* document = findings_->document();
    for (const auto& [severity, icon] :
         {std::pair{diagnosis::Severity::Alarm, QStyle::SP_MessageBoxCritical},
          std::pair{diagnosis::Severity::Warning, QStyle::SP_MessageBoxWarning},
          std::pair{diagnosis::Severity::Note, QStyle::SP_MessageBoxInformation}}) {
        document->addResource(QTextDocument::ImageResource, severityImage(severity),
                              style()->standardIcon(icon).pixmap(16, 16));
    }
    findings_->setHtml(findingsHtml(*detail_));

    const BaselineComparison& c = detail_->comparison;
    comparison_->setRowCount(static_cast<int>(c.values.size()));
    for (int row = 0; row < comparison_->rowCount(); ++row) {
        const ComparedValue& v = c.values[static_cast<std::size_t>(row)];
        comparison_->setItem(row, ValueColumn, cell(v.label));
        comparison_->setItem(row, BaselineColumn, cell(v.baselineText, Qt::AlignRight));
        comparison_->setItem(row, BaselineJudgementColumn, judgementCell(v.baselineJudgement));
        comparison_->setItem(row, LatestColumn, cell(v.latestText, Qt::AlignRight));
        comparison_->setItem(row, LatestJudgementColumn, judgementCell(v.latestJudgement));
        comparison_->setItem(row, ChangeColumn, cell(v.change, Qt::AlignRight));
    }
    const archive::ReportInSegment& place = detail_->latest.place;
    if (!place.baseline) {
        devices_->setText(QStringLiteral("No baseline: the segment has one report. Devices: ") +
                          addressList(c.onlyInLatest));
        return;
    }
    QString text = QStringLiteral("Devices in both reports: ") + addressList(c.inBoth);
    if (!c.onlyInBaseline.isEmpty())
        text += QStringLiteral("\nOnly in the baseline: ") + addressList(c.onlyInBaseline);
    if (!c.onlyInLatest.isEmpty())
        text += QStringLiteral("\nOnly in the latest: ") + addressList(c.onlyInLatest);
    devices_->setText(text);
}

void SegmentViewWindow::clearDetail(const QString& text) {
    detail_.reset();
    findings_->setPlainText(text);
    comparison_->setRowCount(0);
    devices_->clear();
}

void SegmentViewWindow::followLink(const QUrl& link) {
    const std::optional<int> finding = findingOfLink(link);
    if (!finding) return;
    runner_.run(
        [this, finding] { showSegmentTrend(state_, archive_, *this, archive_.session(), finding); },
        &archive_);
}

}  // namespace ksx4
