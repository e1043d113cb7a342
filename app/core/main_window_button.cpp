#include "core/main_window_button.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace ksx4 {

void WrappingButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);

    const int margin = style()->pixelMetric(QStyle::PM_ButtonMargin, &option, this);
    const QRect textArea = rect().adjusted(margin, margin, -margin, -margin);
    painter.drawItemText(textArea, Qt::AlignCenter | Qt::TextWordWrap, option.palette, isEnabled(),
                         caption, QPalette::ButtonText);
}

}  // namespace ksx4
