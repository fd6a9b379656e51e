#include "drives/pictures.h"

#include <QPainter>
#include <QPainterPath>

namespace drives::pictures {
namespace {

constexpr int W = 36;
constexpr int H = 28;

QPixmap Blank(int w = W, int h = H) {
    QPixmap pm(w, h);
    pm.fill(Qt::transparent);
    return pm;
}

void Draw_Cable(QPainter& p) {
    p.setPen(QPen(QColor(30, 30, 30), 2));
    p.drawLine(W / 2, 17, W / 2, 24);
    p.drawLine(2, 24, W - 2, 24);
    p.setBrush(QColor(30, 30, 30));
    p.drawRect(W / 2 - 2, 22, 4, 4);
}

void Draw_Drive(QPainter& p) {
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(200, 200, 205));
    p.drawRoundedRect(QRectF(5.5, 4.5, W - 11, 12), 2, 2);
    p.setBrush(QColor(150, 150, 160));
    p.drawRect(QRectF(9.5, 9.5, 14, 3));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 200, 60));
    p.drawEllipse(QPointF(W - 9.5, 10.5), 1.8, 1.8);
}

}  // namespace

QPixmap Network_Drive() {
    QPixmap pm = Blank();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    Draw_Cable(p);
    Draw_Drive(p);
    return pm;
}

QPixmap Disconnected_Drive() {
    QPixmap pm = Blank();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    Draw_Cable(p);
    Draw_Drive(p);
    p.setPen(QPen(QColor(220, 20, 20), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(W / 2 - 6, 17, W / 2 + 6, 27);
    p.drawLine(W / 2 + 6, 17, W / 2 - 6, 27);
    return pm;
}

QPixmap Network_Printer() {
    QPixmap pm = Blank();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    Draw_Cable(p);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(11.5, 1.5, 13, 7));  // paper
    p.setBrush(QColor(190, 190, 200));
    p.drawRoundedRect(QRectF(5.5, 6.5, W - 11, 10), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(11.5, 12.5, 13, 4));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 170, 0));
    p.drawEllipse(QPointF(W - 9, 9.5), 1.5, 1.5);
    return pm;
}

QPixmap Network_Emblem() {
    QPixmap pm = Blank(48, 48);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF hub(24, 24);
    const QPointF ends[] = {{8, 8}, {40, 8}, {8, 40}, {40, 40}};
    p.setPen(QPen(Qt::white, 2));
    for (const QPointF& e : ends)
        p.drawLine(hub, e);
    p.setPen(QPen(QColor(20, 20, 60), 1));
    p.setBrush(QColor(255, 210, 60));
    p.drawEllipse(hub, 7, 7);
    p.setBrush(QColor(220, 230, 255));
    for (const QPointF& e : ends)
        p.drawRect(QRectF(e.x() - 5, e.y() - 4, 10, 8));
    return pm;
}

QCursor Flying_Envelope_Cursor() {
    QPixmap pm = Blank(32, 32);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(1, 12), QPointF(8, 12));  // speed lines
    p.drawLine(QPointF(3, 17), QPointF(9, 17));
    p.drawLine(QPointF(1, 22), QPointF(8, 22));
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(255, 250, 230));
    const QRectF body(11.5, 9.5, 19, 14);
    p.drawRect(body);
    p.drawLine(body.topLeft(), QPointF(body.center().x(), body.center().y() + 1));
    p.drawLine(body.topRight(), QPointF(body.center().x(), body.center().y() + 1));
    // Wings keep the envelope "flying".
    p.setBrush(Qt::white);
    QPainterPath wing;
    wing.moveTo(18, 9.5);
    wing.quadTo(16, 2, 24, 3);
    wing.quadTo(22, 7, 23, 9.5);
    p.drawPath(wing);
    return QCursor(pm, 12, 10);
}

}  // namespace drives::pictures
