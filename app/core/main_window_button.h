#pragma once
// A push button whose caption wraps at word boundaries, as the main window's
// tall, narrow buttons need ("Transfer Reports  from KSX-4").
#include <QPushButton>

namespace ksx4 {

class WrappingButton final : public QPushButton {
  public:
    using QPushButton::QPushButton;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace ksx4
