#include "settings/report_names_window.h"

#include "core/main_window_button.h"
#include "core/operation_runner.h"
#include "core/twips.h"
#include "settings/report_names_editor.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace ksx4 {
namespace {

// In twips. The buttons stand in a column right of the boxes.
constexpr int kMargin = 120;
constexpr int kInstructionHeight = 660;
constexpr int kHeadingTop = kMargin + kInstructionHeight + 120;
constexpr int kLabelWidth = 1320;
constexpr int kBoxLeft = kMargin + kLabelWidth + 120;
constexpr int kBoxWidth = 2415;
constexpr int kFirstRowTop = kHeadingTop + 360;
constexpr int kRowPitch = 375;
constexpr int kBoxHeight = 285;
constexpr int kLabelHeight = 255;
constexpr int kLabelDrop = 30;  // a label's text sits level with its box's
constexpr int kButtonLeft = kBoxLeft + kBoxWidth + 240;
constexpr int kButtonWidth = 2280;
constexpr int kButtonHeight = 615;
constexpr int kButtonPitch = 735;
constexpr int kClientWidth = kButtonLeft + kButtonWidth + kMargin;
constexpr int kClientHeight = kFirstRowTop + 8 * kRowPitch + kMargin;

}  // namespace

ReportNamesWindow::ReportNamesWindow(ProgramState& state, OperationRunner& runner, QWidget* parent)
    : QWidget(parent, Qt::Window), state_(state), runner_(runner) {
    setObjectName(QStringLiteral("frmReportNames"));
    setWindowTitle(kReportNamesTitle);
    setFixedSize(twips::px(kClientWidth), twips::px(kClientHeight));

    auto* instruction = new QLabel(reportNamesInstruction(), this);
    instruction->setObjectName(QStringLiteral("lblInstruction"));
    instruction->setTextFormat(Qt::PlainText);
    instruction->setWordWrap(true);
    instruction->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    instruction->setGeometry(
        twips::rect(kMargin, kMargin, kClientWidth - 2 * kMargin, kInstructionHeight));

    auto* heading = new QLabel(QStringLiteral("Report Name"), this);
    heading->setObjectName(QStringLiteral("lblReportName"));
    heading->setGeometry(twips::rect(kBoxLeft, kHeadingTop, kBoxWidth, kLabelHeight));

    for (int i = 0; i < static_cast<int>(boxes_.size()); ++i) {
        const int top = kFirstRowTop + i * kRowPitch;
        auto* label = new QLabel(QStringLiteral("Location %1").arg(i + 1), this);
        label->setGeometry(twips::rect(kMargin, top + kLabelDrop, kLabelWidth, kLabelHeight));
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("Text1_%1").arg(i));
        box->setGeometry(twips::rect(kBoxLeft, top, kBoxWidth, kBoxHeight));
        boxes_[static_cast<std::size_t>(i)] = box;
    }

    const struct {
        const char* name;
        const char* caption;
        void (*handler)(ProgramState&, ReportNamesForm&);
    } buttons[] = {
        {"Command1", "Show Default Names", showDefaultNames},
        {"Command2", "Read Current Names from KSX-4", readNamesFromTester},
        {"Command3", "Save Report Names to KSX-4",
         [](ProgramState& s, ReportNamesForm& f) { saveNamesToTester(s, f); }},
        {"Command4", "Cancel", cancelNamesEditor},
    };
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        auto* button = new WrappingButton(QString::fromLatin1(buttons[i].caption), this);
        button->setObjectName(QString::fromLatin1(buttons[i].name));
        button->setGeometry(twips::rect(kButtonLeft,
                                        kFirstRowTop + static_cast<int>(i) * kButtonPitch,
                                        kButtonWidth, kButtonHeight));
        const auto handler = buttons[i].handler;
        connect(button, &QPushButton::clicked, this, [this, handler] { run(handler); });
        buttons_[i] = button;
    }
    runner_.addControls([this](bool enabled) { setButtonsEnabled(enabled); });
}

QLineEdit* ReportNamesWindow::box(int location) const {
    const int index = std::clamp(location - 1, 0, static_cast<int>(boxes_.size()) - 1);
    return boxes_[static_cast<std::size_t>(index)];
}

QString ReportNamesWindow::text(int location) const {
    return box(location)->text();
}

void ReportNamesWindow::setText(int location, const QString& text) {
    box(location)->setText(text);
}

void ReportNamesWindow::show() {
    QWidget::show();
    raise();
    activateWindow();
}

void ReportNamesWindow::hide() {
    QWidget::hide();
}

void ReportNamesWindow::closeEvent(QCloseEvent* event) {
    if (!runner_.isRunning() && !runner_.programEnded()) run(cancelNamesEditor);
    event->accept();
}

void ReportNamesWindow::run(void (*handler)(ProgramState&, ReportNamesForm&)) {
    runner_.run([this, handler] { handler(state_, *this); }, this);
}

void ReportNamesWindow::setButtonsEnabled(bool enabled) {
    for (QPushButton* button : buttons_) button->setEnabled(enabled);
}

}  // namespace ksx4
