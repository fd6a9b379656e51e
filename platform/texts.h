// What the back ends tell the user, in one place. Each message is one template whose
// parameters are filled in one call.
#pragma once

#include <QString>

namespace platform::texts {

// No ICMP echo can be sent: %1 is the echo helper's path, %2 why it could not send either.
inline const QString NoIcmpEcho = QStringLiteral(
    "el sistema no deja a este usuario enviar ecos ICMP, y el ayudante %1 tampoco puede (%2). "
    "Para permitirlo, un administrador puede abrir los ecos ICMP sin privilegios con «sysctl -w "
    "net.ipv4.ping_group_range=\"0 2147483647\"», o dar solo al ayudante la capacidad "
    "cap_net_raw con «setcap cap_net_raw+ep %1».");

}  // namespace platform::texts
