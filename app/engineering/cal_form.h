#pragma once
// frmcal, the calibration window, as its handlers see it: the texts of its
// boxes Text1(i), shown and hidden as a whole. Kept apart from Qt so that the
// handlers run in tests and on the console without widgets.
#include "engineering/cal_table.h"

#include <QString>

#include <array>

namespace ksx4 {

class CalForm {
  public:
    virtual ~CalForm() = default;
    virtual QString text(int box) const = 0;
    virtual void setText(int box, const QString& text) = 0;
    virtual void show() = 0;
    virtual void hide() = 0;
};

// The boxes without a window (the console, tests): they start with the
// window's initial texts.
class CalTexts final : public CalForm {
  public:
    CalTexts() {
        for (int box = 0; box < cal::kBoxCount; ++box) texts_[index(box)] = cal::initialText(box);
    }
    QString text(int box) const override { return valid(box) ? texts_[index(box)] : QString(); }
    void setText(int box, const QString& text) override {
        if (valid(box)) texts_[index(box)] = text;
    }
    void show() override { shown_ = true; }
    void hide() override { shown_ = false; }
    bool shown() const { return shown_; }

  private:
    static bool valid(int box) { return box >= 0 && box < cal::kBoxCount; }
    static std::size_t index(int box) { return static_cast<std::size_t>(box); }

    std::array<QString, cal::kBoxCount> texts_;
    bool shown_ = false;
};

}  // namespace ksx4
