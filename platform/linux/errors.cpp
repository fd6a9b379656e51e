#include "platform/linux/errors.h"

#include <cerrno>
#include <cstring>

#include "platform/texts.h"

namespace platform {

std::string ErrorText(int errnum) {
    switch (errnum) {
        case EACCES:
        case EPERM:
            return texts::AccessDenied;
        case ENOENT:
            return texts::NotFound;
        case ENOTDIR:
            return texts::NotAFolder;
        case EISDIR:
            return texts::IsAFolder;
        case ENOSPC:
        case EDQUOT:
            return texts::DiskFull;
        case EROFS:
            return texts::ReadOnlyDisk;
        case EEXIST:
            return texts::AlreadyExists;
        case EIO:
            return texts::InputOutput;
        case EINVAL:
            return texts::InvalidParameter;
        case ENAMETOOLONG:
            return texts::NameTooLong;
        default:
            return std::strerror(errnum);
    }
}

}  // namespace platform
