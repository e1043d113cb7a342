#pragma once
// frmLimits "Set OK/BAD Limits": eleven rows of label, box and unit under the
// headings "Measurement" and "OK/BAD Limits", and four buttons. Created once,
// then hidden and shown again with its boxes kept.
#include "settings/limits_form.h"

#include <QWidget>

#include <array>

class QLineEdit;
class QPushButton;

namespace ksx4 {

class OperationRunner;
struct ProgramState;

class LimitsWindow final : public QWidget, public LimitsForm {
  public:
    // Every button runs its handler through runner; the buttons are disabled
    // while any operation runs.
    LimitsWindow(ProgramState& state, OperationRunner& runner, QWidget* parent = nullptr);

    QString text(LimitBox box) const override;
    void setText(LimitBox box, const QString& text) override;
    QLocale numberFormat() const override;
    void show() override;
    void hide() override;

  protected:
    // Closing the window is Cancel; it is only hidden, so its boxes stay.
    void closeEvent(QCloseEvent* event) override;

  private:
    QLineEdit* box(LimitBox which) const;
    void run(void (*handler)(ProgramState&, LimitsForm&));
    void setButtonsEnabled(bool enabled);

    ProgramState& state_;
    OperationRunner& runner_;
    std::array<QLineEdit*, 9> boxes_{};  // in the order of kLimitRows
    std::array<QPushButton*, 4> buttons_{};
};

}  // namespace ksx4
