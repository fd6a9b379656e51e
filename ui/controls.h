// What every window does to its controls: name them the way tests and screen readers find
// them, and read a box's text without the blanks around it.
#pragma once

#include <QString>
#include <QWidget>

namespace ui {

// "Text1(3)": a member of a control array, by index.
inline QString Control_Name(const char* name, int index) {
    return QStringLiteral("%1(%2)").arg(QLatin1StringView(name), QString::number(index));
}

// The same name serves tests (objectName) and assistive tools (accessible description);
// the accessible name is what a screen reader says.
inline void Name_Control(QWidget* w, const QString& name, const QString& accessibleName) {
    w->setObjectName(name);
    w->setAccessibleDescription(name);
    w->setAccessibleName(accessibleName);
}

// Only the blank counts as padding: a tab is content.
inline QString Trim_Blanks(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && s[b] == u' ')
        ++b;
    while (e > b && s[e - 1] == u' ')
        --e;
    return s.mid(b, e - b);
}

}  // namespace ui
