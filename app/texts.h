// Every text the command line prints, in one place.
#pragma once

#include <QString>

namespace app::texts {

// %1: the version.
inline const QString Version = QStringLiteral("mapeo %1\n");

// %1: the table in use (the mapping file, or SystemTable), %2: the autostart entry.
inline const QString Help = QStringLiteral(
    "Uso: mapeo [OPCIÓN]\n"
    "Conecta las unidades J: a R: y los puertos LPT1: a LPT3: a recursos compartidos de la\n"
    "red según la tabla guardada. Sin opciones abre la ventana principal.\n"
    "\n"
    "      --reconectar     hace lo mismo que la ventana al abrirse, sin mostrarla: desconecta\n"
    "                       cada dispositivo guardado y vuelve a conectar las filas guardadas\n"
    "                       como conectadas, con los mismos mensajes. Sin pantalla, los\n"
    "                       mensajes se escriben en la salida de errores.\n"
    "      --al-iniciar     hace que cada inicio de sesión ejecute «mapeo --reconectar»\n"
    "      --no-al-iniciar  deja de hacerlo, aunque la entrada la haya puesto el\n"
    "                       administrador para todos los usuarios\n"
    "  -h, --help           muestra esta ayuda y termina\n"
    "      --version        muestra la versión y termina\n"
    "\n"
    "Para reconectar las unidades cada vez que inicie la sesión, ejecute una vez:\n"
    "  mapeo --reconectar --al-iniciar\n"
    "\n"
    "Estado de salida: 0 si todo fue bien; 1 si alguna fila guardada como conectada no\n"
    "quedó conectada o la entrada de inicio no pudo escribirse ni borrarse; 2 si las\n"
    "opciones no son válidas.\n"
    "\n"
    "Tabla de conexiones: %1\n"
    "Entrada de inicio de sesión: %2\n");

// The administrator's table read while the user has none. %1: that file, %2: the user's.
inline const QString SystemTable = QStringLiteral(
    "%1\n"
    "  (la del administrador, para todos los usuarios; «Guardar Cambios» escribe la suya en\n"
    "  %2, que desde entonces es la que vale)");

// %1: the option or argument as given.
inline const QString UnknownOption = QStringLiteral("mapeo: opción desconocida: %1\n");
inline const QString UnexpectedArgument = QStringLiteral("mapeo: argumento no esperado: %1\n");
inline const QString ContradictoryOptions =
    QStringLiteral("mapeo: --al-iniciar y --no-al-iniciar no pueden usarse a la vez\n");
inline const QString TryHelp = QStringLiteral("Pruebe «mapeo --help» para más información.\n");

// %1: the autostart entry's path; %2: why it failed.
inline const QString AutostartAdded =
    QStringLiteral("Cada inicio de sesión reconectará las filas guardadas como conectadas (%1).\n");
inline const QString AutostartRemoved =
    QStringLiteral("Los inicios de sesión ya no reconectarán las filas (%1 borrado).\n");
// %1: the user's entry, %2: the administrator's entry it hides.
inline const QString AutostartHidden = QStringLiteral(
    "Los inicios de sesión ya no reconectarán las filas (%1 oculta la entrada del "
    "administrador %2).\n");
inline const QString AutostartAbsent =
    QStringLiteral("Los inicios de sesión no reconectaban las filas (%1 no existe).\n");
inline const QString AutostartWriteFailed = QStringLiteral("mapeo: no se pudo escribir %1: %2\n");
inline const QString AutostartDeleteFailed = QStringLiteral("mapeo: no se pudo borrar %1: %2\n");

// Where the system itself reconnects the connections Mapeo makes at each sign-in (Windows
// remembers them), and so there is no entry to add or remove.
inline const QString AutostartNotNeeded = QStringLiteral(
    "Este sistema ya vuelve a conectar en cada inicio de sesión las conexiones que hace Mapeo; "
    "no hace falta ninguna entrada.\n");
inline const QString NoAutostartEntry =
    QStringLiteral("ninguna (el sistema reconecta por sí mismo)");

// The autostart entry as the desktop lists it among the programs started at sign-in.
inline const QString AutostartName = QStringLiteral("Mapeo: reconectar unidades de red");
inline const QString AutostartComment =
    QStringLiteral("Vuelve a conectar las unidades y puertos guardados como conectados");

inline const QString NotRestored = QStringLiteral(
    "mapeo --reconectar: la tabla no se restauró entera; vea los mensajes anteriores.\n");

}  // namespace app::texts
