#include "archive_view/trend_window.h"

#include "archive_view/archive_handlers.h"
#include "archive_view/judgement_colours.h"
#include "archive_view/operation_button_window.h"
#include "core/counted_text.h"
#include "core/operation_runner.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineSeries>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QScatterSeries>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QValueAxis>

#include <array>
#include <limits>

namespace ksx4 {
namespace {

constexpr int kChartHeight = 280;
constexpr std::array kJudgements{"OK", "WARN", "BAD"};

// A report time ("YYYY-MM-DDTHH:MM:SS", the PC's local time) on the time
// axis. Local midnight is looked up once per day: each lookup asks the
// system's time zone data, far too slow for every point of a long trend.
class TimeAxisPosition {
  public:
    qreal operator()(const QString& text) {
        const QDate date = QDate::fromString(text.left(10), Qt::ISODate);
        const QTime time = QTime::fromString(text.mid(11, 8), QStringLiteral("HH:mm:ss"));
        auto midnight = midnights_.find(date);
        if (midnight == midnights_.end())
            midnight = midnights_.insert(date, QDateTime(date, QTime(0, 0)).toMSecsSinceEpoch());
        return static_cast<qreal>(*midnight + (time.isValid() ? time.msecsSinceStartOfDay() : 0));
    }

  private:
    QHash<QDate, qint64> midnights_;
};

}  // namespace

QChart* makeTrendChart(const TrendChart& data) {
    auto* chart = new QChart;
    chart->setTitle(data.unit.isEmpty() ? data.title
                                        : QStringLiteral("%1 (%2)").arg(data.title, data.unit));
    chart->setAnimationOptions(QChart::NoAnimation);
    auto* line = new QLineSeries(chart);
    line->setName(QStringLiteral("Value"));
    line->setPen(QPen(QColor(0x40, 0x40, 0x40), 1.5));
    auto* limit = new QLineSeries(chart);
    limit->setName(QStringLiteral("OK/BAD limit"));
    limit->setPen(QPen(QColor(0xc0, 0x00, 0x00), 1.5, Qt::DashLine));
    std::array<QScatterSeries*, kJudgements.size()> marks{};
    for (std::size_t j = 0; j < kJudgements.size(); ++j) {
        marks[j] = new QScatterSeries(chart);
        marks[j]->setName(QString::fromLatin1(kJudgements[j]));
        marks[j]->setMarkerSize(8);
        marks[j]->setColor(judgementPointColour(QString::fromLatin1(kJudgements[j])));
        marks[j]->setBorderColor(QColor(0x40, 0x40, 0x40));
    }
    QList<QPointF> values, limits;
    std::array<QList<QPointF>, kJudgements.size()> marked;
    values.reserve(static_cast<qsizetype>(data.points.size()));
    double low = std::numeric_limits<double>::max(), high = std::numeric_limits<double>::lowest();
    qreal first = 0, last = 0;
    std::optional<double> limitInForce;
    TimeAxisPosition timeOf;
    for (const archive::TrendPoint& p : data.points) {
        const qreal t = timeOf(p.time);
        if (values.isEmpty() && limits.isEmpty()) first = t;
        last = t;
        if (p.limit) {
            const double l = static_cast<double>(*p.limit) / data.scale;
            // A changed limit steps at the report that first used it.
            if (limitInForce && *limitInForce != l) limits.append({t, *limitInForce});
            limits.append({t, l});
            limitInForce = l;
            low = std::min(low, l);
            high = std::max(high, l);
        }
        if (!p.value) continue;
        const QPointF point(t, static_cast<double>(*p.value) / data.scale);
        values.append(point);
        low = std::min(low, point.y());
        high = std::max(high, point.y());
        for (std::size_t j = 0; j < kJudgements.size(); ++j)
            if (p.judgement == QLatin1String(kJudgements[j])) marked[j].append(point);
    }
    // The time axis with room either side; one report still gets a day's width.
    const qreal span = std::max(last - first, qreal{0});
    const qreal room = std::max(span * 0.04, qreal{43'200'000});
    // The limit line runs across the whole chart, so that one report's
    // limit shows too.
    if (!limits.isEmpty()) {
        limits.prepend({first - room, limits.first().y()});
        limits.append({last + room, limits.last().y()});
    }
    line->replace(values);
    limit->replace(limits);
    chart->addSeries(line);
    chart->addSeries(limit);
    for (std::size_t j = 0; j < kJudgements.size(); ++j) {
        marks[j]->replace(marked[j]);
        chart->addSeries(marks[j]);
    }

    auto* timeAxis = new QDateTimeAxis(chart);
    const QDateTime firstTime = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(first));
    if (firstTime.date() == QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(last)).date()) {
        // Reports of one day: its date once, under the times of day.
        timeAxis->setFormat(QStringLiteral("HH:mm"));
        timeAxis->setTitleText(firstTime.date().toString(Qt::ISODate));
        timeAxis->setTickCount(3);
    } else {
        timeAxis->setFormat(QStringLiteral("yyyy-MM-dd"));
        timeAxis->setTickCount(5);
    }
    auto* valueAxis = new QValueAxis(chart);
    if (low > high) low = 0, high = 1;
    const double margin = std::max((high - low) * 0.1, 0.5);
    valueAxis->setRange(std::max(0.0, low - margin), high + margin);
    valueAxis->applyNiceNumbers();
    timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(first - room)),
                       QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(first + span + room)));
    chart->addAxis(timeAxis, Qt::AlignBottom);
    chart->addAxis(valueAxis, Qt::AlignLeft);
    for (QAbstractSeries* series : chart->series()) {
        series->attachAxis(timeAxis);
        series->attachAxis(valueAxis);
    }
    chart->legend()->setAlignment(Qt::AlignRight);
    if (data.points.empty()) {
        // Nothing to date: no axes at the epoch, the reason in the title.
        chart->setTitle(chart->title() + QStringLiteral(": ") +
                        (data.missing.isEmpty() ? QStringLiteral("no reports") : data.missing));
        timeAxis->hide();
        valueAxis->hide();
    }
    return chart;
}

TrendWindow::TrendWindow(ProgramState& state, OperationRunner& runner, SaveFolder& folder,
                         QWidget* parent)
    : QWidget(parent, Qt::Window), state_(state), runner_(runner), folder_(folder) {
    setObjectName(QStringLiteral("frmTrend"));
    resize(820, 700);
    auto* layout = new QVBoxLayout(this);
    heading_ = new QLabel(this);
    heading_->setObjectName(QStringLiteral("lblTrend"));
    layout->addWidget(heading_);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    holder_ = new QWidget(scroll);
    charts_ = new QVBoxLayout(holder_);
    scroll->setWidget(holder_);
    layout->addWidget(scroll);
    runner_.addControls([this](bool enabled) {
        for (QPushButton* button : buttons_) button->setEnabled(enabled);
    });
    addCloseKeys(this);
}

void TrendWindow::setTrend(const TrendHeading& heading, std::vector<TrendChart> charts) {
    setWindowTitle(QStringLiteral("Trend of %1").arg(heading.segment));
    const QString reports = countedText(static_cast<long long>(heading.reports),
                                        QLatin1String("report"), QLatin1String("reports"));
    heading_->setText(
        heading.within.isEmpty()
            ? QStringLiteral("<b>%1</b>: the segment's %2, oldest first")
                  .arg(heading.segment.toHtmlEscaped(), reports)
            : QStringLiteral("<b>%1</b>: the segment's %2 %3 (the boxes beside the list), "
                             "oldest first")
                  .arg(heading.segment.toHtmlEscaped(), reports, heading.within.toHtmlEscaped()));
    buttons_.clear();
    views_.clear();
    titles_.clear();
    stems_.clear();
    while (QLayoutItem* item = charts_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const TrendChart& data : charts) {
        const int index = static_cast<int>(views_.size());
        auto* row = new QWidget(holder_);
        auto* rowLayout = new QHBoxLayout(row);
        auto* view = new QChartView(makeTrendChart(data), row);
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumHeight(kChartHeight);
        rowLayout->addWidget(view, 1);
        auto* exports = new QVBoxLayout;
        for (const auto& [caption, format] :
             {std::pair{"PNG...", ChartFormat::Png}, std::pair{"PDF...", ChartFormat::Pdf}}) {
            auto* button = new QPushButton(QString::fromLatin1(caption), row);
            button->setObjectName(
                QStringLiteral("cmd%1%2").arg(QString::fromLatin1(caption).left(3)).arg(index));
            connect(button, &QPushButton::clicked, this, [this, index, format = format] {
                runner_.run(
                    [this, index, format] { exportChart(state_, *this, index, format, folder_); },
                    this);
            });
            button->setEnabled(!runner_.isRunning());
            buttons_.push_back(button);
            exports->addWidget(button);
        }
        exports->addStretch(1);
        rowLayout->addLayout(exports);
        charts_->addWidget(row);
        views_.push_back(view);
        titles_.push_back(data.title);
        stems_.push_back(trendChartFileStem(heading.segment, data));
    }
}

QString TrendWindow::chartTitle(int chart) const {
    return titles_.at(static_cast<std::size_t>(chart));
}

QString TrendWindow::chartFileStem(int chart) const {
    return stems_.at(static_cast<std::size_t>(chart));
}

bool TrendWindow::saveChart(int chart, ChartFormat format, const QString& path) {
    QChartView* view = chartView(chart);
    if (format == ChartFormat::Png) return view->grab().save(path, "PNG");
    QPdfWriter pdf(path);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageOrientation(QPageLayout::Landscape);
    pdf.setTitle(chartTitle(chart));
    QPainter painter;
    if (!painter.begin(&pdf)) return false;
    // Drawn as vectors: lines and texts stay sharp at any zoom.
    view->chart()->scene()->render(&painter, QRectF(), view->chart()->sceneBoundingRect());
    return painter.end();
}

}  // namespace ksx4
