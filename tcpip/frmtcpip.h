// The TCP/IP tester: ping, range scans with their found-hosts list and its export, the local
// host panel and name lookups.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/echo.h"
#include "platform/filesystem.h"
#include "platform/hostinfo.h"
#include "platform/resolver.h"
#include "platform/security.h"
#include "platform/sockets.h"
#include "platform/windowservices.h"
#include "tcpip/loglist.h"
#include "tcpip/logview.h"
#include "tcpip/tcpicp.h"

namespace tcpip {

struct TesterServices {
    platform::IcmpEcho& echo;
    platform::WinSock& sockets;
    platform::Security& security;
    platform::NameResolver& resolver;
    platform::WinsockControl& hostInfo;
    platform::FileSystem& files;
    platform::WindowServices& ui;
    std::string exportFile;  // where "Exporta" writes the found hosts
};

inline constexpr int ShapeCount = 10;
inline constexpr int UserNameBufferSize = 25;

class FRMTCPIP : public QWidget {
    Q_OBJECT
public:
    // A top-level window; whoever opens it decides whether it deletes itself when closed.
    explicit FRMTCPIP(TesterServices services, QWidget* parent = nullptr);
    ~FRMTCPIP() override;

    // Fills the host panel and starts the probe numbers again.
    void Form_Load();

    void Command1_Click();  // PING
    void Command2_Click();  // fourth-octet scan
    void Command3_Click();  // export the found hosts
    void Command4_Click();  // two-octet scan
    void Command5_Click();  // stop
    void Command6_Click();  // "DNS a IP"
    void Command7_Click();  // "IP a DNS"
    void List1_DblClick();
    void Get_User_Name();

    // Window-level state, 16-bit as the scans and the counter wrap.
    std::int16_t ScanLastOctet = 0;
    std::int16_t ScanThirdOctet = 0;
    std::int16_t ProbeCounter = 0;
    QString UserName;

    std::array<QLineEdit*, 4> Text1{};
    std::array<QLabel*, 3> Label8{};
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command5 = nullptr;
    QPushButton* Command6 = nullptr;
    QPushButton* Command7 = nullptr;
    LogView* List1 = nullptr;
    LogView* List2 = nullptr;
    std::array<QWidget*, ShapeCount> Shape1{};
    QLineEdit* User = nullptr;
    QLineEdit* IP = nullptr;
    QLineEdit* Host = nullptr;
    QLineEdit* Port = nullptr;
    QLineEdit* Namet = nullptr;
    QLineEdit* Estado = nullptr;
    QLineEdit* txtdns = nullptr;
    QLineEdit* txtip = nullptr;

    LogModel& List1_Lines() { return *log_; }
    LogModel& List2_Lines() { return *found_; }

    // The window's name-resolution control and socket component.
    platform::NameResolver& DNS1;
    platform::WinsockControl& Winsock;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Build_Controls();
    // One pass of the event loop; false when the window was closed or destroyed meanwhile,
    // and then nothing of it may be touched.
    bool Yield();
    // False when the window went away during the step. `fourthStart` is set in the two-octet
    // scan: where the fourth octet starts again for the next third-octet value.
    bool Scan_Step(int& k, ECHO_REPLY& reply, std::optional<std::int16_t> fourthStart);
    // The hosts the running scan will probe after this step if nothing changes meanwhile.
    QStringList Next_Hosts(std::optional<std::int16_t> fourthStart);
    void Probe_Report(const QString& host, const ECHO_REPLY& reply, bool scan);
    // The dotted text of the four boxes, or nothing after telling the user (when `tell`) which
    // box is wrong.
    std::optional<QString> Host_Text(bool tell = true);
    bool Read_Box(int index, std::int16_t& value);
    void Add_Log_Line(const QString& line);

    TesterServices services_;
    // Shared so that a probe in flight keeps its engine even if the window goes meanwhile.
    std::shared_ptr<TCPICP> tcpicp_;
    LogModel* log_ = nullptr;
    LogModel* found_ = nullptr;
    bool unloading_ = false;
    int scans_ = 0;  // scans running, nested ones included
    // The last guess of Next_Hosts and what it was made from.
    struct Guess {
        QString two, three;
        int last = 0, third = 0;
        std::optional<std::int16_t> fourthStart;
        QStringList hosts;
    } guess_;
    bool deleteWhenIdle_ = false;
    bool toldBadBox_ = false;  // during the scans now running
    friend class ScanGuard;
};

}  // namespace tcpip
