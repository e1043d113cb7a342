#include "engineering/cal_window.h"

#include "core/main_window_button.h"
#include "core/operation_runner.h"
#include "engineering/cal_handlers.h"

#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace ksx4 {
namespace {

constexpr int kBoxWidth = 64;
const QSize kButtonSize{200, 52};

QLabel* label(const QString& text, const char* name, QWidget* parent) {
    auto* shown = new QLabel(text, parent);
    shown->setObjectName(QString::fromLatin1(name));
    return shown;
}

QLabel* note(const QString& text, const char* name, QWidget* parent) {
    QLabel* shown = label(text, name, parent);
    shown->setWordWrap(true);
    return shown;
}

}  // namespace

CalWindow::CalWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmcal"));
    setWindowTitle(QStringLiteral("KSX-4 Calibration"));

    // The table first: it comes first in the tab order.
    QWidget* table = buildTable();
    auto* right = new QVBoxLayout;
    right->addWidget(buildSingleFields());
    right->addSpacing(12);
    addButton("cmdReadCal", QStringLiteral("Read EEPROM Data"), cmdReadCal_Click);
    addButton("cmdSaveCal", QStringLiteral("Save Calibration Data to EEPROM"), cmdSaveCal_Click);
    addButton("cmdSaveSN",
              QStringLiteral("Save Temperature, Serial Number and Erase-all Indicator to EEPROM"),
              cmdSaveSN_Click);
    addButton("cmdSaveDefaultData", QStringLiteral("Save Default Data to EEPROM"),
              cmdSaveDefaultData_Click);
    for (QPushButton* button : buttons_) right->addWidget(button, 0, Qt::AlignHCenter);
    right->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(table, 0, Qt::AlignTop);
    layout->addSpacing(16);
    layout->addLayout(right);
    setFixedSize(sizeHint());
}

QLineEdit* CalWindow::addBox(int box, QWidget* parent) {
    auto* edit = new QLineEdit(cal::initialText(box), parent);
    edit->setObjectName(QStringLiteral("Text1_%1").arg(box));
    edit->setFixedWidth(kBoxWidth);
    edit->setAlignment(Qt::AlignRight);
    boxes_[static_cast<std::size_t>(box)] = edit;
    return edit;
}

QWidget* CalWindow::buildTable() {
    auto* table = new QWidget(this);
    auto* grid = new QGridLayout(table);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);

    QLabel* heading = label(QStringLiteral("Noise Calibration Table"), "lblTable", table);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    grid->addWidget(heading, 0, 0, 1, 4);
    grid->addWidget(label(QStringLiteral("Slope"), "lblSlope", table), 1, 1, Qt::AlignHCenter);
    grid->addWidget(label(QStringLiteral("Offset"), "lblOffset", table), 1, 2, Qt::AlignHCenter);
    grid->addWidget(label(QStringLiteral("Range End"), "lblRangeEnd", table), 1, 3,
                    Qt::AlignHCenter);

    int gridRow = 2;
    for (const cal::TableRow& row : cal::kTableRows) {
        grid->addWidget(label(QString::fromLatin1(row.label), "lblRow", table), gridRow, 0);
        grid->addWidget(addBox(row.slope, table), gridRow, 1);
        grid->addWidget(addBox(row.offset, table), gridRow, 2);
        if (row.rangeEnd) grid->addWidget(addBox(*row.rangeEnd, table), gridRow, 3);
        ++gridRow;
        // A little air between the DC rows and each noise band.
        if (row.slope == 2 || row.slope == 13 || row.slope == 31)
            grid->setRowMinimumHeight(gridRow++, 6);
    }
    return table;
}

QWidget* CalWindow::buildSingleFields() {
    auto* fields = new QWidget(this);
    auto* grid = new QGridLayout(fields);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(4);
    struct Single {
        int box;
        const char* labelName;
        const char* caption;
    };
    const Single singles[] = {
        {cal::kTemperatureBox, "lblTemperature", "Temperature"},
        {cal::kSerialNumberBox, "lblSerialNumber", "Ser. Number"},
        {cal::kEraseIndicatorBox, "lblEraseIndicator", "Erase-all indicator"},
    };
    int row = 0;
    for (const Single& single : singles) {
        grid->addWidget(label(QString::fromLatin1(single.caption), single.labelName, fields), row,
                        0);
        grid->addWidget(addBox(single.box, fields), row, 1);
        ++row;
    }
    grid->addWidget(note(QStringLiteral("KSX-4-PA serial number is encoded in EEPROM by adding "
                                        "32768"),
                         "lblSerialNote", fields),
                    row++, 0, 1, 2);
    grid->addWidget(note(QStringLiteral("When set to 21845, KSX-4 erases all FB memory at next "
                                        "boot"),
                         "lblEraseNote", fields),
                    row++, 0, 1, 2);
    fields->setFixedWidth(kButtonSize.width());
    return fields;
}

QPushButton* CalWindow::addButton(const char* name, const QString& caption, Handler handler) {
    auto* button = new WrappingButton(caption, this);
    button->setObjectName(QString::fromLatin1(name));
    button->setFixedSize(kButtonSize);
    connect(button, &QPushButton::clicked, this, [this, handler] {
        if (!state_ || !runner_) return;
        runner_->run([this, handler] { handler(*state_, *this); }, this);
    });
    buttons_[buttonCount_++] = button;
    return button;
}

void CalWindow::attach(ProgramState& state, OperationRunner& runner) {
    state_ = &state;
    runner_ = &runner;
    runner.addControls([this](bool enabled) { setButtonsEnabled(enabled); });
}

void CalWindow::setButtonsEnabled(bool enabled) {
    for (QPushButton* button : buttons_) button->setEnabled(enabled);
}

QString CalWindow::text(int box) const {
    if (box < 0 || box >= cal::kBoxCount) return {};
    const QLineEdit* edit = boxes_[static_cast<std::size_t>(box)];
    return edit ? edit->text() : QString();
}

void CalWindow::setText(int box, const QString& text) {
    if (box < 0 || box >= cal::kBoxCount) return;
    if (QLineEdit* edit = boxes_[static_cast<std::size_t>(box)]) edit->setText(text);
}

void CalWindow::show() {
    QWidget::show();
    raise();
    activateWindow();
}

void CalWindow::hide() {
    QWidget::hide();
}

}  // namespace ksx4
