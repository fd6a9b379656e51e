#include "platform/linux/errors.h"

#include <cerrno>
#include <cstring>

namespace platform {

std::string ErrorText(int errnum) {
    switch (errnum) {
        case EACCES:
        case EPERM:
            return "permiso denegado";
        case ENOENT:
            return "no existe la carpeta o el fichero";
        case ENOTDIR:
            return "una parte de la ruta no es una carpeta";
        case EISDIR:
            return "es una carpeta";
        case ENOSPC:
        case EDQUOT:
            return "no queda espacio en el disco";
        case EROFS:
            return "el disco es de solo lectura";
        case EEXIST:
            return "ya existe";
        case EIO:
            return "error de entrada/salida";
        case EINVAL:
            return "parámetro no válido";
        case ENAMETOOLONG:
            return "el nombre es demasiado largo";
        default:
            return std::strerror(errnum);
    }
}

}  // namespace platform
