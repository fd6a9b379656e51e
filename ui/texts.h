// Every text of the network credentials dialog, in one place.
#pragma once

#include <QString>

namespace ui::texts {

inline const QString CredTitle = QStringLiteral("Credenciales de red");
// %1: the resource, \\server\share.
inline const QString CredResource = QStringLiteral("Escriba sus credenciales para conectarse a %1");
inline const QString CredRefused = QStringLiteral("Usuario o contraseña incorrectos.");
inline const QString CredUser = QStringLiteral("Usuario");
inline const QString CredDomain = QStringLiteral("Dominio");
inline const QString CredPassword = QStringLiteral("Contraseña");
inline const QString CredRemember = QStringLiteral("Recordar mis credenciales");
inline const QString CredAccept = QStringLiteral("Aceptar");
inline const QString CredCancel = QStringLiteral("Cancelar");

// What a screen reader says for each control.
inline const QString AccResource = QStringLiteral("Recurso de red");
inline const QString AccRefused = QStringLiteral("Aviso de credenciales rechazadas");
inline const QString AccUser = QStringLiteral("Usuario (también DOMINIO\\usuario)");
inline const QString AccDomain = QStringLiteral("Dominio o grupo de trabajo");
inline const QString AccPassword = QStringLiteral("Contraseña");
inline const QString AccRemember = QStringLiteral("Recordar mis credenciales en el llavero");
inline const QString AccAccept = QStringLiteral("Aceptar y conectar");
inline const QString AccCancel = QStringLiteral("Cancelar la conexión");

}  // namespace ui::texts
