#pragma once
// The two settings editors on a console: their boxes are plain strings that
// the command fills from its arguments and prints, and "shown" is only
// remembered.
#include "settings/limits_form.h"
#include "settings/report_names_form.h"

#include <QLocale>
#include <QString>

#include <array>
#include <optional>

namespace ksx4::ctl {

class ConsoleLimitsForm final : public LimitsForm {
  public:
    QString text(LimitBox box) const override;
    void setText(LimitBox box, const QString& text) override;
    QLocale numberFormat() const override { return QLocale::system(); }
    // The exact stored voltage: a limit not named on the command line is
    // written back as the very word it was read as.
    int voltDecimals() const override { return 3; }
    void show() override { shown_ = true; }
    void hide() override { shown_ = false; }
    bool shown() const { return shown_; }

  private:
    std::array<QString, 9> boxes_;
    bool shown_ = false;
};

// The limit ksx4ctl calls name ("voltage", "ff-avg", ...).
std::optional<LimitBox> limitBoxNamed(const QString& name);

class ConsoleNamesForm final : public ReportNamesForm {
  public:
    QString text(int location) const override;
    void setText(int location, const QString& text) override;
    void show() override { shown_ = true; }
    void hide() override { shown_ = false; }
    bool shown() const { return shown_; }

  private:
    std::array<QString, 8> boxes_;
    bool shown_ = false;
};

}  // namespace ksx4::ctl
