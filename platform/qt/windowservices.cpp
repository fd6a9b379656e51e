#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPalette>
#include <QScreen>

#include "platform/windowservices.h"

namespace platform {
namespace {

class QtWindowServices final : public WindowServices {
public:
    int MsgBox(const QString& prompt, int style, const QString& title) override {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(title.isEmpty() ? ApplicationTitle() : title);
        box.setText(prompt);
        switch (style & 0x70) {
            case vbCritical:
                box.setIcon(QMessageBox::Critical);
                break;
            case vbExclamation:
                box.setIcon(QMessageBox::Warning);
                break;
            default:
                box.setIcon(QMessageBox::NoIcon);
        }
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return 1;  // vbOK
    }

    void DoEvents() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }

    QSize ScreenSize() override {
        const QScreen* s = QGuiApplication::primaryScreen();
        return s ? s->size() : QSize(1024, 768);
    }

    QColor GetSysColor(int index) override {
        const QPalette pal = QApplication::palette();
        switch (index) {
            case COLOR_WINDOW:
                return pal.color(QPalette::Base);
            case COLOR_HIGHLIGHT:
                return pal.color(QPalette::Highlight);
            case 8:  // COLOR_WINDOWTEXT
                return pal.color(QPalette::Text);
            case 14:  // COLOR_HIGHLIGHTTEXT
                return pal.color(QPalette::HighlightedText);
            case 15:  // COLOR_BTNFACE
                return pal.color(QPalette::Button);
            default:
                return pal.color(QPalette::Window);
        }
    }
};

}  // namespace

WindowServices& SystemWindowServices() {
    static QtWindowServices services;
    return services;
}

}  // namespace platform
