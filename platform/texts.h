// Every text the system's back ends give the user, in one place. Plain C++: some back ends
// carry no Qt.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

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

// No ICMP echo can be sent, not even through the echo helper: %1 is the helper's path, %2 why
// it could not send either.
inline constexpr char NoIcmpPermission[] =
    "el sistema no deja a este usuario enviar ecos ICMP, y el ayudante %1 tampoco puede (%2). "
    "Para permitirlo, un administrador puede abrir los ecos ICMP sin privilegios con «sysctl -w "
    "net.ipv4.ping_group_range=\"0 2147483647\"», o dar solo al ayudante la capacidad "
    "cap_net_raw con «setcap cap_net_raw+ep %1».";

// The one network provider this system offers, named as Spanish Windows names it.
inline constexpr char ProviderName[] = "Red de Microsoft Windows";

// Puts the arguments in the places %1 to %9 in one pass: a "%2" inside an argument is left
// as it stands.
inline std::string Fill(std::string_view text, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t n = i + 1 < text.size() ? std::size_t(text[i + 1] - '1') : 9;
        if (text[i] == '%' && n < args.size()) {
            out += *(args.begin() + n);
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace platform::texts
