// The main window: twelve rows binding a local device to a network path.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <functional>

#include "drives/mappingfile.h"
#include "drives/markbox.h"
#include "platform/filesystem.h"
#include "platform/networking.h"
#include "platform/profile.h"
#include "platform/shell.h"
#include "platform/windowservices.h"

namespace drives {

inline constexpr int DriveRowCount = 9;
inline constexpr int PortRowCount = 3;

// Rows 0 to 8 are drives, every later row a printer port; the device text never decides.
constexpr bool Is_Drive_Row(int index) {
    return index < DriveRowCount;
}

struct MainServices {
    platform::ProfileFile& profile;
    platform::FileSystem& files;
    platform::NetConnections& net;
    platform::Shell& shell;
    platform::WindowServices& ui;
    MappingLocation location;
};

// How the main window opens the two tools; each exists once and is brought forward.
struct ToolWindows {
    std::function<void()> showTester;
    std::function<void()> showBrowser;
};

class frmMain : public QWidget {
    Q_OBJECT
public:
    explicit frmMain(MainServices services, ToolWindows tools = {}, QWidget* parent = nullptr);

    // Shows the window, lets it paint once, then restores and reconnects the stored rows.
    void Form_Load();
    // The restore alone, as the load runs it, also without a window on screen: each stored
    // device is cancelled, then each row stored as connected is connected again. True when
    // every row stored as connected ended connected and no load error was reported.
    bool Restore_Rows();

    void Command9_Click();  // "&Guardar Cambios"
    void Command2_Click();  // "&Testea la red"
    void Command3_Click();  // "Explorar la red"
    void TXTNET_DblClick(int index);
    void Label16_Click();
    // The change action of row `index`: runs on every change of the row's mark.
    void Check1_Click(int index);

    std::array<MappingRow, RowCount> Rows() const;
    MappingFile& Mapping() { return mapping_; }

    std::array<QLineEdit*, RowCount> TXTNET{};
    std::array<QLineEdit*, RowCount> TXTLOCAL{};
    std::array<MarkBox*, RowCount> Check1{};
    std::array<QLabel*, DriveRowCount> Picture2{};
    std::array<QLabel*, DriveRowCount> Picture3{};
    std::array<QLabel*, PortRowCount> Picture4{};
    QPushButton* Command9 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QLabel* Label16 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Build_Controls();
    void Load_Row(int index);
    void Run_Load_Step(const std::function<void()>& step);

    MainServices services_;
    ToolWindows tools_;
    MappingFile mapping_;
    int restoreFaults_ = 0;  // load errors and rows stored as connected left unconnected
};

}  // namespace drives
