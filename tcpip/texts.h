// Every text the TCP/IP tester shows, in one place.
#pragma once

#include <QString>

namespace tcpip::texts {

inline const QString WindowTitle = QStringLiteral("Sónar TCP/IP .....Ping.....Ping.....");
inline const QString ProbeFrame = QStringLiteral("Probando tcp/ip");
inline const QString LocalFrame = QStringLiteral("Información IP local");

// Design-time values.
inline const QString Octet0 = QStringLiteral("192");
inline const QString Octet1 = QStringLiteral("168");
inline const QString Octet2 = QStringLiteral("0");
inline const QString Octet3 = QStringLiteral("0");
inline const QString Dot = QStringLiteral(".");
inline const QString LookupName = QStringLiteral("nombre");
inline const QString LookupAddress = QStringLiteral("10.0.0.99");

inline const QString PingCaption = QStringLiteral("PING");
inline const QString RangeCaption = QStringLiteral("De 0 a 255");
inline const QString StopCaption = QStringLiteral("Parar YA!!!!");
inline const QString ExportCaption = QStringLiteral("Exporta");
inline const QString DnsToIpCaption = QStringLiteral("DNS a IP");
inline const QString IpToDnsCaption = QStringLiteral("IP a DNS");

inline const QString UserLabel = QStringLiteral("Usuario");
inline const QString IpLabel = QStringLiteral("IP");
inline const QString HostLabel = QStringLiteral("Host");
inline const QString PortLabel = QStringLiteral("Port");
inline const QString NameLabel = QStringLiteral("Nombre");
inline const QString StateLabel = QStringLiteral("Estado");

// Lookups: what the target field holds while the resolver works.
inline const QString ThirteenBlanks = QStringLiteral("             ");
inline const QString NotFound = QStringLiteral("no encontrado");

// Probe report lines.
inline const QString AddressLine = QStringLiteral("%1--->%2");  // the address's value, the host
inline const QString TimeLine = QStringLiteral("%1 ms");
inline const QString SizeLine = QStringLiteral("%1 bytes");
inline const QString ProbeNumberLine = QStringLiteral("=Prueba número=====>%1");
// A found host: its address, then its name.
inline const QString FoundLine = QStringLiteral("%1 <-> %2");

// The echo request's payload, sent as single-byte text without a terminator.
inline constexpr char EchoPayload[] = "Enviando sondeo";

// Status texts, by IP status code; 200 is the program's own row.
struct StatusRow {
    int code;
    const char16_t* text;
};
inline constexpr StatusRow StatusTable[] = {
    {0, u"ip ENCONTRADA"},
    {200, u"ping FUERA DE TIEMPO"},
    {11001, u"ip BUFFER MUY PEQUEÑO"},
    {11002, u"ip NET NO ENCONTRADA"},
    {11003, u"ip HOST NO ENCONTRADO"},
    {11004, u"ip PROT NO ENCONTRADO"},
    {11005, u"ip PORT NO ENCONTRADO"},
    {11006, u"ip SIN RECURSOS"},
    {11007, u"ip OPCION ERRONEA"},
    {11008, u"ip HARDWARE ERROR"},
    {11009, u"ip PAQUETE MUY GRANDE"},
    {11010, u"ip TIEMPO EXCEDIDO"},
    {11011, u"ip PETICION ERROREA"},
    {11012, u"ip MAL ENRUTAMIENTO"},
    {11013, u"ip TIEMPO TTL EXCEDIDO"},
    {11014, u"ip TIEMPO TTL SIN ENCONTRAR HOST"},
    {11015, u"ip PROBLEMAS EN PARAMETROS"},
    {11016, u"ip FUENTE CON PROBLEMAS"},
    {11017, u"ip MUY GRANDE"},
    {11018, u"ip ERROR EN DESTINO"},
    {11019, u"ip DIRECCION BORRADA"},
    {11020, u"ip spec mtu change"},
    {11021, u"ip mtu_change"},
    {11022, u"ip unload"},
    {11023, u"ip addr added"},
    {11050, u"ip FALLO GENERAL"},
    {11255, u"ip PENDIENTE"},
};
// A status in the probe log: its code, then its text.
inline const QString StatusLine = QStringLiteral("%1 [ %2 ]");
inline const QString StatusUnknown = QStringLiteral("ERROR: NO TENGO NI FLOWERS");

// Sockets start-up and clean-up.
inline const QString SocketsNotResponding =
    QStringLiteral("El entorno de  Sockets  32 bit Windows no responde.");
// %1.%2 is the version the library offers.
inline const QString VersionNotSupported = QStringLiteral(
    "Windows Sockets Version %1.%2 is not supported by Windows Sockets for 32 bit Windows "
    "environments.");
inline const QString MinimumSockets =
    QStringLiteral("This application requires a minimum of %1 supported sockets.");
inline const QString CleanupFailed =
    QStringLiteral("Windows Sockets error %1 occurred in Cleanup.");

// No echo can leave this machine; %1 is the system's reason and remedy.
inline const QString NoEcho = QStringLiteral(
    "No se puede enviar ningún sondeo ICMP: %1\n\n"
    "Los sondeos se anotan como fallo general hasta que se corrija.");

// A box that cannot be read as an address part; %1 is its number from 1 to 4, %2 its text.
inline const QString BadOctet = QStringLiteral(
    "El cuadro %1 de la dirección contiene «%2», que no es un número entero entre -32768 y "
    "32767.\nCorríjalo y vuelva a intentarlo.");

// Export.
inline const QString ExportDone = QStringLiteral("Se ha creado el fichero %1");
inline const QString ExportFailed =
    QStringLiteral("No se ha podido crear el fichero %1: %2.\nLa lista no se ha exportado.");

// Accessible names.
inline const QString AccOctet = QStringLiteral("Octeto %1 de la dirección");
inline const QString AccDot = QStringLiteral("Punto");
inline const QString AccPing = QStringLiteral("Enviar un ping a la dirección");
inline const QString AccScanLast = QStringLiteral("Explorar el último octeto de 0 a 255");
inline const QString AccScanTwo = QStringLiteral("Explorar los dos últimos octetos de 0 a 255");
inline const QString AccStop = QStringLiteral("Parar la exploración");
inline const QString AccLog = QStringLiteral("Registro de sondeos; doble clic para vaciarlo");
inline const QString AccFound = QStringLiteral("Equipos encontrados");
inline const QString AccShape = QStringLiteral("Indicador de actividad %1");
inline const QString AccExport = QStringLiteral("Exportar los equipos encontrados a un fichero");
inline const QString AccUser = QStringLiteral("Usuario");
inline const QString AccIp = QStringLiteral("Dirección IP local");
inline const QString AccHost = QStringLiteral("Nombre del equipo");
inline const QString AccPort = QStringLiteral("Puerto local");
inline const QString AccName = QStringLiteral("Nombre del componente de red");
inline const QString AccState = QStringLiteral("Estado del componente de red");
inline const QString AccDnsName = QStringLiteral("Nombre de equipo a consultar");
inline const QString AccDnsAddress = QStringLiteral("Dirección IP a consultar");
inline const QString AccDnsToIp = QStringLiteral("Buscar la dirección IP del nombre");
inline const QString AccIpToDns = QStringLiteral("Buscar el nombre de la dirección IP");

}  // namespace tcpip::texts
