// Every text the network browser shows, in one place.
#pragma once

#include <QString>

namespace browser::texts {

inline const QString WindowTitle = QStringLiteral("Explorador de la red");
inline const QString RootNode = QStringLiteral("Toda la red");
inline const QString Up = QStringLiteral("+");
inline const QString Down = QStringLiteral("-");
inline const QString Ok = QStringLiteral("&OK");
inline const QString FirstRow = QStringLiteral("1");

// A row number the main window does not have.
inline const QString BadRowNumber =
    QStringLiteral("Escriba en el cuadro de la fila un número del 1 al 12.");

// Accessible names.
inline const QString AccTree = QStringLiteral("Recursos de la red");
inline const QString AccPath = QStringLiteral("Ruta elegida");
inline const QString AccRow = QStringLiteral("Fila de destino (1 a 12)");
inline const QString AccUp = QStringLiteral("Fila siguiente");
inline const QString AccDown = QStringLiteral("Fila anterior");
inline const QString AccOk = QStringLiteral("Copiar la ruta en la fila");

}  // namespace browser::texts
