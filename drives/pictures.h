// The main window's drawn images.
#pragma once

#include <QCursor>
#include <QPixmap>

namespace drives::pictures {

QPixmap Network_Drive();           // a drive unit on a network cable
QPixmap Disconnected_Drive();      // the same with a red cross over the cable
QPixmap Network_Printer();         // a printer on a network cable
QPixmap Network_Emblem();          // the decorative picture beside the title
QCursor Flying_Envelope_Cursor();  // pointer over the support address

}  // namespace drives::pictures
