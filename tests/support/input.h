// A user's mouse and keyboard as widgets receive them (event filters included, unhandled keys
// passed on to the parents), without Qt's test library, which a Windows build of Qt lacks.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace support {

inline void Send_Mouse(QWidget* widget, QEvent::Type type) {
    const QPointF local = QRectF(widget->rect()).center();
    QMouseEvent event(type, local, widget->mapToGlobal(local), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// The left button pressed and released in the middle of the widget.
inline void Click(QWidget* widget) {
    Send_Mouse(widget, QEvent::MouseButtonPress);
    Send_Mouse(widget, QEvent::MouseButtonRelease);
}

// The events of a double click, in the order the system delivers them.
inline void Double_Click(QWidget* widget) {
    Click(widget);
    Send_Mouse(widget, QEvent::MouseButtonDblClick);
    Send_Mouse(widget, QEvent::MouseButtonRelease);
}

inline void Press_Key(QWidget* widget, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &release);
}

inline void Type_Text(QWidget* widget, const QString& text) {
    for (const QChar c : text)
        Press_Key(widget, c.toUpper().unicode(), QString(c));
}

}  // namespace support
