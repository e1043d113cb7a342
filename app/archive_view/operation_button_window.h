#pragma once
// A push button whose click runs its handler as one operation through the
// program's one runner, with its window as the operation's origin, so that
// the operation's dialogs open over that window.
#include "core/operation_runner.h"

#include <QAction>
#include <QKeySequence>
#include <QList>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

namespace ksx4 {

// The button is window's child and is kept in buttons, which the window
// enables and disables as operations start and end.
inline QPushButton* addOperationButton(QWidget* window, OperationRunner& runner,
                                       std::vector<QPushButton*>& buttons, const QString& caption,
                                       const char* name, const std::function<void()>& handler) {
    auto* button = new QPushButton(caption, window);
    button->setObjectName(QString::fromLatin1(name));
    QObject::connect(button, &QPushButton::clicked, window,
                     [window, &runner, handler] { runner.run(handler, window); });
    buttons.push_back(button);
    return button;
}

// Escape and Ctrl+W close window, as they close a document's window.
inline QAction* addCloseKeys(QWidget* window) {
    auto* close = new QAction(QStringLiteral("Close"), window);
    close->setObjectName(QStringLiteral("actClose"));
    // Ctrl+W everywhere; the platform's own close keys (Ctrl+F4 on some) too.
    QList<QKeySequence> keys{QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)};
    for (const QKeySequence& key : QKeySequence::keyBindings(QKeySequence::Close))
        if (!keys.contains(key)) keys.append(key);
    close->setShortcuts(keys);
    close->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(close, &QAction::triggered, window, &QWidget::close);
    window->addAction(close);
    return close;
}

}  // namespace ksx4
