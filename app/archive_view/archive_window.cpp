#include "archive_view/archive_window.h"

#include "archive_view/archive_handlers.h"
#include "archive_view/operation_button_window.h"
#include "archive_view/report_pages_window.h"
#include "archive_view/report_table_model.h"
#include "archive_view/segment_handlers.h"
#include "archive_view/segment_view_window.h"
#include "archive_view/trend_window.h"
#include "core/operation_runner.h"

#include <QAction>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace ksx4 {

ArchiveWindow::ArchiveWindow(ProgramState& state, OperationRunner& runner, QSettings& settings,
                             QWidget* parent)
    : QWidget(parent, Qt::Window),
      state_(state),
      runner_(runner),
      settings_(settings),
      saveFolder_(&settings) {
    setObjectName(QStringLiteral("frmArchive"));
    setWindowTitle(kArchiveWindowTitle);
    resize(900, 600);

    // The segments first, the reports on the second tab.
    auto* outer = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("tabArchive"));
    segments_ = new SegmentViewWindow(*this, state_, runner_, settings_, tabs_);
    segments_->onFailure = [this](const QString& reason) { status_->setText(reason); };
    tabs_->addTab(segments_, QStringLiteral("&Segments"));
    auto* reportsPage = new QWidget(tabs_);
    tabs_->addTab(reportsPage, QStringLiteral("&Reports"));
    outer->addWidget(tabs_, 1);
    auto* layout = new QVBoxLayout(reportsPage);
    auto* filters = new QHBoxLayout;
    const auto addBox = [this, filters](ArchiveBox box, const QString& label, const char* name,
                                        const QString& hint, int width) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setPlaceholderText(hint);
        if (width > 0) edit->setMaximumWidth(width);
        auto* caption = new QLabel(label, this);
        caption->setBuddy(edit);
        filters->addWidget(caption);
        filters->addWidget(edit, width > 0 ? 0 : 1);
        boxes_[box] = edit;
        return edit;
    };
    addBox(ArchiveBox::Location, QStringLiteral("&Location"), "txtLocation",
           QStringLiteral("part of the name; a trend's segment, whole"), 0);
    addBox(ArchiveBox::Since, QStringLiteral("&From"), "txtSince", QStringLiteral("YYYY-MM-DD"),
           110);
    addBox(ArchiveBox::Until, QStringLiteral("&To"), "txtUntil", QStringLiteral("YYYY-MM-DD"), 110);
    addBox(ArchiveBox::Tester, QStringLiteral("T&ester"), "txtTester", QStringLiteral("serial no."),
           90);
    verdict_ = new QComboBox(this);
    verdict_->setObjectName(QStringLiteral("cboVerdict"));
    verdict_->addItems({QStringLiteral("Any"), QStringLiteral("OK"), QStringLiteral("WARN"),
                        QStringLiteral("BAD")});
    auto* verdictLabel = new QLabel(QStringLiteral("&Verdict"), this);
    verdictLabel->setBuddy(verdict_);
    filters->addWidget(verdictLabel);
    filters->addWidget(verdict_);
    filters->addWidget(addButton(QStringLiteral("F&ilter"), "cmdFilter",
                                 [this] { filterReports(state_, *this); }));
    filters->addWidget(addButton(QStringLiteral("Refres&h"), "cmdRefresh", [this] { refresh(); }));
    layout->addLayout(filters);

    model_ = new ReportTableModel(session_, this);
    model_->onFailure = [this](const QString& reason) { status_->setText(reason); };
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("grdReports"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setSortingEnabled(true);
    table_->sortByColumn(ReportTableModel::TimeColumn, Qt::AscendingOrder);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(false);
    table_->horizontalHeader()->setSectionResizeMode(ReportTableModel::LocationColumn,
                                                     QHeaderView::Stretch);
    table_->setColumnWidth(ReportTableModel::TimeColumn, 170);
    table_->setColumnWidth(ReportTableModel::TesterColumn, 130);
    layout->addWidget(table_, 1);

    auto* actions = new QHBoxLayout;
    auto* deviceLabel = new QLabel(QStringLiteral("&Device address"), this);
    auto* device = new QLineEdit(this);
    device->setObjectName(QStringLiteral("txtDevice"));
    device->setPlaceholderText(QStringLiteral("none"));
    device->setMaximumWidth(60);
    deviceLabel->setBuddy(device);
    boxes_[ArchiveBox::Device] = device;
    actions->addWidget(addButton(QStringLiteral("Tre&nd of Segment"), "cmdTrend",
                                 [this] { ksx4::showTrend(state_, *this, session_); }));
    actions->addWidget(deviceLabel);
    actions->addWidget(device);
    actions->addStretch(1);
    QPushButton* open = addButton(QStringLiteral("&Open Report"), "cmdOpenReport",
                                  [this] { openReport(state_, *this, session_); });
    actions->addWidget(open);
    // A double click, or Enter on the current row.
    connect(table_, &QTableView::activated, open, &QPushButton::click);
    actions->addWidget(addButton(QStringLiteral("Save &Workbook..."), "cmdSaveWorkbook",
                                 [this] { saveWorkbook(state_, *this, session_, saveFolder_); }));
    actions->addWidget(addButton(QStringLiteral("Set as &Baseline"), "cmdSetBaseline",
                                 [this] { setAsBaseline(state_, *this, *segments_, session_); }));
    actions->addWidget(addButton(QStringLiteral("&Archive Location..."), "cmdLocation",
                                 [this] { chooseArchiveLocation(state_, *this, settings_); }));
    actions->addWidget(addButton(QStringLiteral("S&QLite Archive..."), "cmdArchiveFile",
                                 [this] { chooseArchiveFile(state_, *this, settings_); }));
    layout->addLayout(actions);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("lblArchive"));
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    outer->addWidget(status_);

    runner_.addControls([this](bool enabled) {
        for (QPushButton* button : buttons_) button->setEnabled(enabled);
    });
    addCloseKeys(this);
    auto* refreshKey = new QAction(QStringLiteral("Refresh"), this);
    refreshKey->setObjectName(QStringLiteral("actRefresh"));
    refreshKey->setShortcuts(QKeySequence::Refresh);
    refreshKey->setShortcutContext(Qt::WindowShortcut);
    connect(refreshKey, &QAction::triggered, this, [this] { refresh(); });
    addAction(refreshKey);
}

void ArchiveWindow::refresh() {
    // The filter and order shown, from the first row again: reports stored
    // since then take their places.
    model_->reload();
}

ArchiveWindow::~ArchiveWindow() {
    // Pages still being answered are handed to the model before it goes.
    session_.waitIdle();
}

QPushButton* ArchiveWindow::addButton(const QString& caption, const char* name,
                                      const std::function<void()>& handler) {
    return addOperationButton(this, runner_, buttons_, caption, name, handler);
}

QString ArchiveWindow::text(ArchiveBox box) const {
    if (box == ArchiveBox::Verdict) return verdict_->currentText();
    return boxes_.at(box)->text();
}

void ArchiveWindow::setText(ArchiveBox box, const QString& text) {
    if (box == ArchiveBox::Verdict) {
        verdict_->setCurrentText(text);
        return;
    }
    boxes_.at(box)->setText(text);
}

void ArchiveWindow::listReports(const archive::ListFilter& filter) {
    model_->setFilter(filter);
}

std::optional<archive::ReportSummary> ArchiveWindow::selectedReport() const {
    const QModelIndex current = table_->currentIndex();
    if (!current.isValid()) return std::nullopt;
    return model_->report(current.row());
}

void ArchiveWindow::showArchive(const archive::ArchiveLocation& location) {
    session_.open(location);
    status_->setText(QStringLiteral("Archive: ") + location.displayText());
    model_->reload();
    segments_->reloadSegments();
}

void ArchiveWindow::showTrend(const TrendHeading& heading, std::vector<TrendChart> charts) {
    if (!trend_) trend_ = std::make_unique<TrendWindow>(state_, runner_, saveFolder_);
    trend_->setTrend(heading, std::move(charts));
    trend_->show();
    trend_->raise();
}

void ArchiveWindow::showReportPages(archive::ArchivedReport report, ArchivedSheet sheet) {
    if (!pages_) pages_ = std::make_unique<ReportPagesWindow>(state_, runner_, saveFolder_);
    pages_->setReport(std::move(report), std::move(sheet));
    pages_->show();
    pages_->raise();
}

void ArchiveWindow::show() {
    QWidget::show();
    raise();
    activateWindow();
}

QString ArchiveWindow::statusText() const {
    return status_->text();
}

}  // namespace ksx4
