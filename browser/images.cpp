#include "browser/images.h"

#include <QPainter>
#include <QPainterPath>
#include <functional>

namespace browser {
namespace {

constexpr int Side = 16;

const QColor Outline(60, 60, 60);
const QColor FolderYellow(245, 200, 66);
const QColor FolderDark(196, 146, 20);
const QColor Steel(150, 156, 166);
const QColor ScreenBlue(70, 130, 210);
const QColor Cable(40, 40, 40);

QPixmap Draw(const std::function<void(QPainter&)>& paint) {
    QPixmap pm(Side, Side);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    paint(p);
    return pm;
}

void Folder_Shape(QPainter& p, const QRectF& r) {
    QPainterPath tab;
    tab.moveTo(r.left(), r.top() + 2);
    tab.lineTo(r.left() + r.width() * 0.4, r.top() + 2);
    tab.lineTo(r.left() + r.width() * 0.5, r.top());
    tab.lineTo(r.left(), r.top());
    tab.closeSubpath();
    p.setPen(QPen(FolderDark, 1));
    p.setBrush(FolderDark);
    p.drawPath(tab);
    p.setBrush(FolderYellow);
    p.drawRoundedRect(QRectF(r.left(), r.top() + 2, r.width(), r.height() - 2), 1, 1);
}

void Monitor(QPainter& p, qreal x, qreal y, qreal w) {
    const qreal h = w * 0.75;
    p.setPen(QPen(Outline, 0.8));
    p.setBrush(ScreenBlue);
    p.drawRect(QRectF(x, y, w, h));
    p.setBrush(Steel);
    p.drawRect(QRectF(x + w * 0.35, y + h, w * 0.3, 1.2));
}

void Globe(QPainter& p, const QRectF& r) {
    p.setPen(QPen(QColor(20, 70, 150), 1));
    p.setBrush(QColor(90, 160, 235));
    p.drawEllipse(r);
    p.setBrush(QColor(70, 170, 80));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(r.left() + r.width() * 0.2, r.top() + r.height() * 0.2, r.width() * 0.3,
                         r.height() * 0.35));
    p.drawEllipse(QRectF(r.left() + r.width() * 0.55, r.top() + r.height() * 0.5, r.width() * 0.25,
                         r.height() * 0.3));
    p.setPen(QPen(QColor(230, 240, 255), 0.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(r.center().x() - r.width() * 0.2, r.top(), r.width() * 0.4, r.height()));
    p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
}

void Person(QPainter& p, qreal x, qreal y, const QColor& c) {
    p.setPen(QPen(Outline, 0.7));
    p.setBrush(QColor(240, 200, 160));
    p.drawEllipse(QRectF(x + 1.5, y, 4, 4));
    p.setBrush(c);
    p.drawRoundedRect(QRectF(x, y + 4.5, 7, 6), 2.5, 2.5);
}

QPixmap Directory_Image() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(Outline, 1));
        p.setBrush(QColor(60, 100, 170));
        p.drawRoundedRect(QRectF(2.5, 1.5, 10, 13), 1, 1);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 3.5, 6, 3));
        const QColor tabs[] = {QColor(220, 60, 60), QColor(240, 200, 60), QColor(80, 180, 90)};
        for (int i = 0; i < 3; ++i) {
            p.setBrush(tabs[i]);
            p.drawRect(QRectF(12.5, 2.5 + i * 4, 2, 3));
        }
    });
}

QPixmap Root_Image() {
    return Draw([](QPainter& p) { Globe(p, QRectF(1.5, 1.5, 13, 13)); });
}

QPixmap Group_Image() {
    return Draw([](QPainter& p) {
        Person(p, 1, 2, QColor(70, 120, 200));
        Person(p, 8, 4, QColor(200, 90, 70));
    });
}

QPixmap Nds_Container_Image() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(Outline, 0.8));
        p.setBrush(QColor(190, 140, 90));
        p.drawPolygon(QPolygonF({{2, 5}, {8, 2}, {14, 5}, {8, 8}}));
        p.setBrush(QColor(160, 110, 60));
        p.drawPolygon(QPolygonF({{2, 5}, {8, 8}, {8, 15}, {2, 12}}));
        p.setBrush(QColor(130, 85, 45));
        p.drawPolygon(QPolygonF({{8, 8}, {14, 5}, {14, 12}, {8, 15}}));
    });
}

QPixmap Network_Image() {
    return Draw([](QPainter& p) {
        Globe(p, QRectF(3.5, 0.5, 9, 9));
        p.setPen(QPen(Cable, 1.2));
        p.drawLine(QPointF(8, 9.5), QPointF(8, 12));
        p.drawLine(QPointF(1.5, 12.5), QPointF(14.5, 12.5));
        p.setBrush(Steel);
        p.setPen(QPen(Outline, 0.7));
        for (const qreal x : {1.0, 6.5, 12.0})
            p.drawRect(QRectF(x, 13, 3, 2.5));
    });
}

QPixmap Server_Image() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(Outline, 1));
        p.setBrush(QColor(200, 204, 210));
        p.drawRoundedRect(QRectF(4.5, 0.5, 7, 15), 1, 1);
        p.setPen(QPen(QColor(110, 114, 120), 1));
        for (const qreal y : {3.5, 5.5, 7.5})
            p.drawLine(QPointF(6, y), QPointF(10, y));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 200, 60));
        p.drawEllipse(QRectF(6.5, 11, 2, 2));
    });
}

QPixmap Tree_Image() {
    return Draw([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(120, 80, 40));
        p.drawRect(QRectF(7, 11, 2, 4));
        p.setPen(QPen(QColor(20, 100, 30), 0.8));
        p.setBrush(QColor(50, 160, 60));
        p.drawPolygon(QPolygonF({{8, 1}, {13.5, 11.5}, {2.5, 11.5}}));
    });
}

QPixmap Domain_Image() {
    return Draw([](QPainter& p) {
        Monitor(p, 4.5, 0.5, 7);
        Monitor(p, 0.5, 9, 6);
        Monitor(p, 9.5, 9, 6);
        p.setPen(QPen(Cable, 0.8));
        p.drawLine(QPointF(8, 6.5), QPointF(8, 8));
        p.drawLine(QPointF(3.5, 8), QPointF(12.5, 8));
    });
}

QPixmap Folder_Image() {
    return Draw([](QPainter& p) { Folder_Shape(p, QRectF(1.5, 2.5, 13, 11)); });
}

QPixmap Share_Image() {
    return Draw([](QPainter& p) {
        Folder_Shape(p, QRectF(1.5, 0.5, 13, 10));
        p.setPen(QPen(Cable, 1.4));
        p.drawLine(QPointF(8, 10.5), QPointF(8, 14));
        p.drawLine(QPointF(1, 14.5), QPointF(15, 14.5));
    });
}

QPixmap Admin_Share_Image() {
    return Draw([](QPainter& p) {
        Folder_Shape(p, QRectF(0.5, 0.5, 12, 10));
        p.setPen(QPen(Cable, 1.4));
        p.drawLine(QPointF(6, 10.5), QPointF(6, 14));
        p.drawLine(QPointF(0.5, 14.5), QPointF(9, 14.5));
        // A padlock: the share is the administrator's.
        p.setPen(QPen(QColor(120, 20, 20), 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(10, 6.5, 4.5, 5), 0, 180 * 16);
        p.setPen(QPen(QColor(120, 20, 20), 0.8));
        p.setBrush(QColor(210, 50, 40));
        p.drawRect(QRectF(9.5, 9.5, 6, 5.5));
    });
}

QPixmap Printer_Image() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(Outline, 0.8));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 0.5, 7, 6));
        p.setBrush(QColor(170, 174, 180));
        p.drawRoundedRect(QRectF(1.5, 5.5, 13, 6), 1, 1);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 9.5, 7, 5));
        p.setPen(QPen(QColor(120, 120, 120), 0.6));
        p.drawLine(QPointF(5.5, 11.5), QPointF(10.5, 11.5));
        p.drawLine(QPointF(5.5, 13), QPointF(10.5, 13));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 200, 60));
        p.drawEllipse(QRectF(12, 7, 1.6, 1.6));
    });
}

QPixmap File_Image() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(Outline, 1));
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({{3.5, 0.5}, {9.5, 0.5}, {12.5, 3.5}, {12.5, 15.5}, {3.5, 15.5}}));
        p.setBrush(QColor(215, 215, 215));
        p.drawPolygon(QPolygonF({{9.5, 0.5}, {9.5, 3.5}, {12.5, 3.5}}));
        p.setPen(QPen(QColor(120, 140, 180), 0.8));
        for (const qreal y : {6.0, 8.5, 11.0, 13.5})
            p.drawLine(QPointF(5, y), QPointF(11, y));
    });
}

}  // namespace

ImageList::ImageList() : generic_(Generic_Image()) {}

void ImageList::Add(const QString& key, const QPixmap& picture) {
    images_.push_back({key, picture, QIcon(picture)});
}

bool ImageList::Contains(const QString& key) const {
    for (const Image& i : images_)
        if (i.key == key)
            return true;
    return false;
}

QStringList ImageList::Keys() const {
    QStringList keys;
    for (const Image& i : images_)
        keys << i.key;
    return keys;
}

QPixmap ImageList::Picture(const QString& key) const {
    for (const Image& i : images_)
        if (i.key == key)
            return i.picture;
    return {};
}

QIcon ImageList::Icon(const QString& key) const {
    for (const Image& i : images_)
        if (i.key == key)
            return i.icon;
    return generic_;
}

ImageList Network_Images() {
    ImageList list;
    list.Add(QStringLiteral("directory"), Directory_Image());
    list.Add(QStringLiteral("root"), Root_Image());
    list.Add(QStringLiteral("group"), Group_Image());
    list.Add(QStringLiteral("ndscontainer"), Nds_Container_Image());
    list.Add(QStringLiteral("network"), Network_Image());
    list.Add(QStringLiteral("server"), Server_Image());
    list.Add(QStringLiteral("tree"), Tree_Image());
    list.Add(QStringLiteral("domain"), Domain_Image());
    list.Add(QStringLiteral("share"), Share_Image());
    list.Add(QStringLiteral("adminshare"), Admin_Share_Image());
    list.Add(QStringLiteral("printer"), Printer_Image());
    list.Add(QStringLiteral("folder"), Folder_Image());
    list.Add(QStringLiteral("file"), File_Image());
    return list;
}

QPixmap Generic_Image() {
    return Draw([](QPainter& p) {
        p.setPen(QPen(Outline, 1));
        p.setBrush(QColor(200, 200, 200));
        p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 3, 3);
        p.setPen(QPen(QColor(70, 70, 70), 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(5, 3.5, 6, 5), 180 * 16 - 30 * 16, -240 * 16);
        p.drawLine(QPointF(8, 8.5), QPointF(8, 10));
        p.drawPoint(QPointF(8, 12.5));
    });
}

}  // namespace browser
