#include "settings/limits_window.h"

#include "core/main_window_button.h"
#include "core/operation_runner.h"
#include "core/twips.h"
#include "settings/limits_editor.h"
#include "settings/limits_table.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>

namespace ksx4 {
namespace {

// Columns and rows, in twips.
constexpr int kMargin = 120;
constexpr int kLabelLeft = kMargin;
constexpr int kLabelWidth = 3120;
constexpr int kBoxLeft = 3360;
constexpr int kBoxWidth = 2160;  // "None Added/Dropped" fits
constexpr int kUnitLeft = kBoxLeft + kBoxWidth + 120;
constexpr int kUnitWidth = 1305;
constexpr int kHeadingTop = 120;
constexpr int kFirstRowTop = 480;
constexpr int kRowPitch = 375;
constexpr int kBoxHeight = 285;
constexpr int kLabelHeight = 255;
constexpr int kLabelDrop = 30;  // a label's text sits level with its box's
constexpr int kRowCount = 11;
constexpr int kClientWidth = kUnitLeft + kUnitWidth + kMargin;
constexpr int kButtonTop = kFirstRowTop + kRowCount * kRowPitch + 195;
constexpr int kButtonGap = 160;
constexpr int kButtonWidth = (kClientWidth - 2 * kMargin - 3 * kButtonGap) / 4;
constexpr int kButtonHeight = 615;
constexpr int kClientHeight = kButtonTop + kButtonHeight + kMargin;

QLabel* addLabel(QWidget* parent, const QString& text, int left, int top, int width) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(twips::rect(left, top, width, kLabelHeight));
    return label;
}

}  // namespace

LimitsWindow::LimitsWindow(ProgramState& state, OperationRunner& runner, QWidget* parent)
    : QWidget(parent, Qt::Window), state_(state), runner_(runner) {
    setObjectName(QStringLiteral("frmLimits"));
    setWindowTitle(kLimitsTitle);
    setFixedSize(twips::px(kClientWidth), twips::px(kClientHeight));

    addLabel(this, QStringLiteral("Measurement"), kLabelLeft, kHeadingTop, kLabelWidth)
        ->setObjectName(QStringLiteral("lblMeasurement"));
    addLabel(this, QStringLiteral("OK/BAD Limits"), kBoxLeft, kHeadingTop, kBoxWidth)
        ->setObjectName(QStringLiteral("lblLimits"));

    // Eight limits, the two fixed criteria, then the retransmits limit; made
    // top to bottom, which is also the tab order.
    const auto addRow = [this](int row, const char* label, const char* boxName, const char* unit) {
        const int top = kFirstRowTop + row * kRowPitch;
        addLabel(this, QString::fromLatin1(label), kLabelLeft, top + kLabelDrop, kLabelWidth);
        auto* box = new QLineEdit(this);
        box->setObjectName(QString::fromLatin1(boxName));
        box->setGeometry(twips::rect(kBoxLeft, top, kBoxWidth, kBoxHeight));
        if (unit)
            addLabel(this, QString::fromLatin1(unit), kUnitLeft, top + kLabelDrop, kUnitWidth);
        return box;
    };
    // kLimitRows ends with the retransmits limit, which stands below the
    // fixed rows.
    constexpr std::size_t kRetransmitsRow = kLimitRows.size() - 1;
    int row = 0;
    for (std::size_t limit = 0; limit < kRetransmitsRow; ++limit) {
        const LimitRow& r = kLimitRows[limit];
        boxes_[limit] = addRow(row++, r.label, r.boxName, r.unit);
    }
    for (const FixedLimitRow& fixed : kFixedLimitRows) {
        // No operation reads or changes them.
        QLineEdit* box = addRow(row++, fixed.label, fixed.boxName, nullptr);
        box->setText(QString::fromLatin1(fixed.text));
        box->setCursorPosition(0);  // show the text from its start
        box->setReadOnly(true);
    }
    const LimitRow& retransmits = kLimitRows[kRetransmitsRow];
    boxes_[kRetransmitsRow] = addRow(row, retransmits.label, retransmits.boxName, retransmits.unit);

    const struct {
        const char* name;
        const char* caption;
        void (*handler)(ProgramState&, LimitsForm&);
    } buttons[] = {
        {"Command1", "Show Default Limits", showDefaultLimits},
        {"Command2", "Read Limits from KSX-4", readLimitsFromTester},
        {"Command3", "Save Limits to KSX-4",
         [](ProgramState& s, LimitsForm& f) { saveLimitsToTester(s, f); }},
        {"Command4", "Cancel", cancelLimitsEditor},
    };
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        auto* button = new WrappingButton(QString::fromLatin1(buttons[i].caption), this);
        button->setObjectName(QString::fromLatin1(buttons[i].name));
        button->setGeometry(twips::rect(kMargin + static_cast<int>(i) * (kButtonWidth + kButtonGap),
                                        kButtonTop, kButtonWidth, kButtonHeight));
        const auto handler = buttons[i].handler;
        connect(button, &QPushButton::clicked, this, [this, handler] { run(handler); });
        buttons_[i] = button;
    }
    runner_.addControls([this](bool enabled) { setButtonsEnabled(enabled); });
}

QLineEdit* LimitsWindow::box(LimitBox which) const {
    for (std::size_t i = 0; i < kLimitRows.size(); ++i) {
        if (kLimitRows[i].box == which) return boxes_[i];
    }
    return boxes_.front();
}

QString LimitsWindow::text(LimitBox which) const {
    return box(which)->text();
}

void LimitsWindow::setText(LimitBox which, const QString& text) {
    box(which)->setText(text);
}

QLocale LimitsWindow::numberFormat() const {
    return QLocale::system();
}

void LimitsWindow::show() {
    QWidget::show();
    raise();
    activateWindow();
}

void LimitsWindow::hide() {
    QWidget::hide();
}

void LimitsWindow::closeEvent(QCloseEvent* event) {
    if (!runner_.isRunning() && !runner_.programEnded()) run(cancelLimitsEditor);
    event->accept();
}

void LimitsWindow::run(void (*handler)(ProgramState&, LimitsForm&)) {
    runner_.run([this, handler] { handler(state_, *this); }, this);
}

void LimitsWindow::setButtonsEnabled(bool enabled) {
    for (QPushButton* button : buttons_) button->setEnabled(enabled);
}

}  // namespace ksx4
