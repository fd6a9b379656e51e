// Every text the main window shows, in one place.
#pragma once

#include <QString>

namespace drives::texts {

inline const QString WindowTitle = QStringLiteral("Mapeo de unidades de red");
inline const QString Heading = QStringLiteral("Unidades y puertos de red");
inline const QString Subheading =
    QStringLiteral("Marque una fila para conectarla; desmárquela para desconectarla.");
inline const QString ColumnPath = QStringLiteral("Recurso de red (\\\\servidor\\recurso)");
inline const QString ColumnDevice = QStringLiteral("Dispositivo");
inline const QString ColumnConnect = QStringLiteral("Conectar");

inline const QString PathPlaceholder = QStringLiteral("\\\\servidor\\unidad a conectar");
inline const QString PathToolTip =
    QStringLiteral("Haga doble cllic sobre el cuadro para ver los recursos disponibles en la red");

inline const QString SaveCaption = QStringLiteral("&Guardar Cambios");
inline const QString TesterCaption = QStringLiteral("&Testea la red");
inline const QString BrowserCaption = QStringLiteral("Explorar la red");

inline const QString SupportAddress = QStringLiteral("soporte@mapeo.example");
inline const QString ContactLabel = QStringLiteral("Soporte técnico:");

// Connect action; %1 is the network path, %2 the device, or the code of a failed call.
inline const QString M1 = QStringLiteral(
    "No puede intentar asignar unidades hasta que rellene los dos campos a mi izquierda.");
inline const QString M2 = QStringLiteral(" Conexión realizada con éxito en %1 <-> %2");
inline const QString M3 = QStringLiteral(" ERROR al intentar realizar la conexión en %1 <-> %2");
inline const QString M4 = QStringLiteral("ERROR: %1 - No se pudo efectuar la conexión de red. - ");
inline const QString M4Title = QStringLiteral("Dispositivo compartido no conectado.");
// Disconnect; %1 is the device, or the code of the failed call.
inline const QString M5 = QStringLiteral(" Desconectado de la unidad %1 satisfactoriamente");
inline const QString M6 = QStringLiteral(" ERROR al desconectar la unidad %1");
inline const QString M7 = QStringLiteral("ERROR: %1 - Net Disconnection Failed!");
inline const QString M7Title = QStringLiteral("Share not Disconnected");

// Start-up errors: the error's number, then its description.
inline const QString LoadError = QStringLiteral("%1\n\n%2");
inline const QString LoadErrorTitle = QStringLiteral("Inicializando copia!");
inline const QString InvalidPropertyValue = QStringLiteral("El valor de la propiedad no es válido");
inline const QString Overflow = QStringLiteral("Desbordamiento");
// A mapping file that is there but cannot be read as one: the file, then why.
inline const QString MappingUnreadable =
    QStringLiteral("No se puede leer la tabla de conexiones %1: %2.");
inline const QString NoMappingKeys =
    QStringLiteral("no tiene ninguna clave en la sección [UNIDADES]");

// A save that kept the old file: the error's number, the file, the reason.
inline const QString SaveFailed = QStringLiteral(
    "%1\nNo se pudo guardar el fichero %2: %3.\n"
    "El fichero anterior se conserva sin cambios.");

// Accessible names of the row controls.
inline const QString AccPath = QStringLiteral("Recurso de red, fila %1");
inline const QString AccDevice = QStringLiteral("Dispositivo local, fila %1");
inline const QString AccMark = QStringLiteral("Conectar fila %1");
inline const QString AccConnected = QStringLiteral("Unidad conectada, fila %1");
inline const QString AccNotConnected = QStringLiteral("Unidad no conectada, fila %1");
inline const QString AccPrinter = QStringLiteral("Impresora conectada, fila %1");
inline const QString AccSave = QStringLiteral("Guardar cambios");
inline const QString AccTester = QStringLiteral("Probar la red");
inline const QString AccBrowser = QStringLiteral("Explorar la red");
inline const QString AccMail = QStringLiteral("Escribir al soporte técnico");

}  // namespace drives::texts
