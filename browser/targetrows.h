// What the browser may do to the main window: put a path into a row and tint a row. The
// program wires it to the main window's network-path fields; the tests to a fake.
#pragma once

#include <QColor>
#include <QString>

namespace browser {

// The rows the browser can write to, numbered 1 to TargetRowCount by the user.
inline constexpr int TargetRowCount = 12;

class TargetRows {
public:
    virtual ~TargetRows() = default;

    // `index` counts from 0, as the main window's controls do.
    virtual void Set_Path_Text(int index, const QString& path) = 0;
    virtual void Set_Back_Color(int index, const QColor& colour) = 0;
};

}  // namespace browser
