// A run-time error with its number and description, as the load step reports them.
#pragma once

#include <QString>

namespace drives {

struct AppError {
    int number = 0;
    QString description;
};

inline constexpr int ErrOverflow = 6;
inline constexpr int ErrInvalidPropertyValue = 380;
inline constexpr int ErrPathFileAccess = 75;

}  // namespace drives
