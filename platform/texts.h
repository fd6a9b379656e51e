// Every text the system's back ends give the user, in one place. A template is filled with
// QString::arg, all its arguments in one call.
#pragma once

namespace platform::texts {

// Reasons of system errors.
inline constexpr char AccessDenied[] = "permiso denegado";
inline constexpr char NotFound[] = "no existe la carpeta o el fichero";
inline constexpr char NotAFolder[] = "una parte de la ruta no es una carpeta";
inline constexpr char IsAFolder[] = "es una carpeta";
inline constexpr char DiskFull[] = "no queda espacio en el disco";
inline constexpr char ReadOnlyDisk[] = "el disco es de solo lectura";
inline constexpr char AlreadyExists[] = "ya existe";
inline constexpr char InputOutput[] = "error de entrada/salida";
inline constexpr char InvalidParameter[] = "parámetro no válido";
inline constexpr char NameTooLong[] = "el nombre es demasiado largo";
// A pipe, a device or a socket where a file was expected.
inline constexpr char NotARegularFile[] = "no es un fichero normal";

// No ICMP echo can be sent, not even through the echo helper: %1 is the helper's path, %2 why
// it could not send either.
inline constexpr char NoIcmpPermission[] =
    "el sistema no deja a este usuario enviar ecos ICMP, y el ayudante %1 tampoco puede (%2). "
    "Para permitirlo, un administrador puede abrir los ecos ICMP sin privilegios con «sysctl -w "
    "net.ipv4.ping_group_range=\"0 2147483647\"», o dar solo al ayudante la capacidad "
    "cap_net_raw con «setcap cap_net_raw+ep %1».";

// The one network provider this system offers, named as Spanish Windows names it.
inline constexpr char ProviderName[] = "Red de Microsoft Windows";

}  // namespace platform::texts
