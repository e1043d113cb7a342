#pragma once
// frmcal, "KSX-4 Calibration": the noise calibration table (slope, offset
// and range end per row), the DC voltage and signal level calibration, the
// temperature, serial number and erase-all indicator, and four buttons that
// read and write them. A window of its own, not modal.
#include "core/outcome.h"
#include "engineering/cal_form.h"

#include <QWidget>

#include <array>

class QLineEdit;
class QPushButton;

namespace ksx4 {

class OperationRunner;
struct ProgramState;

class CalWindow final : public QWidget, public CalForm {
  public:
    explicit CalWindow(QWidget* parent = nullptr);

    // Connects the buttons to the program through the one runner.
    void attach(ProgramState& state, OperationRunner& runner);

    QString text(int box) const override;
    void setText(int box, const QString& text) override;
    void show() override;
    void hide() override;

  private:
    using Handler = Outcome (*)(ProgramState&, CalForm&);
    QWidget* buildTable();
    QWidget* buildSingleFields();
    QPushButton* addButton(const char* name, const QString& caption, Handler handler);
    QLineEdit* addBox(int box, QWidget* parent);
    void setButtonsEnabled(bool enabled);

    ProgramState* state_ = nullptr;
    OperationRunner* runner_ = nullptr;
    std::array<QLineEdit*, cal::kBoxCount> boxes_{};  // nullptr: no box of that index
    std::array<QPushButton*, 4> buttons_{};
    std::size_t buttonCount_ = 0;
};

}  // namespace ksx4
