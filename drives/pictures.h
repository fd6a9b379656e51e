// The main window's drawn images.
#pragma once

#include <QCursor>
#include <QPixmap>

namespace drives::pictures {

QPixmap NetworkDrive();          // a drive unit on a network cable
QPixmap DisconnectedDrive();     // the same with a red cross over the cable
QPixmap NetworkPrinter();        // a printer on a network cable
QPixmap NetworkEmblem();         // the decorative picture beside the title
QCursor FlyingEnvelopeCursor();  // pointer over the support address

}  // namespace drives::pictures
