// The left button pressed and released in the middle of a widget, as a user's click reaches it
// (event filters included).
#pragma once

#include <QApplication>
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

}  // namespace support
