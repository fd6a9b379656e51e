// The browser's hand-back, written into the main window's network-path fields.
#pragma once

#include <QPalette>

#include "browser/targetrows.h"
#include "drives/frmmain.h"

namespace app {

static_assert(browser::TargetRowCount == drives::RowCount);

class MainWindowRows final : public browser::TargetRows {
public:
    explicit MainWindowRows(drives::frmMain& main) : main_(main) {}

    void Set_Path_Text(int index, const QString& path) override {
        if (index >= 0 && index < drives::RowCount)
            main_.TXTNET[index]->setText(path);
    }
    void Set_Back_Color(int index, const QColor& colour) override {
        if (index < 0 || index >= drives::RowCount)
            return;
        QPalette p = main_.TXTNET[index]->palette();
        p.setColor(QPalette::Base, colour);
        main_.TXTNET[index]->setPalette(p);
    }

private:
    drives::frmMain& main_;
};

}  // namespace app
