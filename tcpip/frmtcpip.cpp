#include "tcpip/frmtcpip.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>
#include <cstring>

#include "tcpip/texts.h"
#include "ui/controls.h"

namespace tcpip {
namespace {

constexpr int ShapeSize = 10;
constexpr int ShapeStep = 14;
constexpr int ShownTextLimit = 40;

// One dot of the activity indicator.
class Shape final : public QWidget {
public:
    explicit Shape(QWidget* parent) : QWidget(parent) { setFixedSize(ShapeSize, ShapeSize); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor(200, 0, 0));
        p.drawEllipse(QRectF(0.5, 0.5, ShapeSize - 1, ShapeSize - 1));
    }
};

// A signed decimal whole number that fits in 16 bits, and nothing else.
bool Read_Whole_Number(const QString& text, std::int16_t& value) {
    const QString t = ui::Trim_Blanks(text);
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+'))
        negative = t[i++] == u'-';
    if (i == t.size())
        return false;
    int v = 0;
    for (; i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c - u'0');
        if (v > 32768)
            return false;
    }
    if (negative)
        v = -v;
    if (v > 32767)
        return false;
    value = std::int16_t(v);
    return true;
}

QString Shown(const QString& text) {
    return text.size() > ShownTextLimit ? text.left(ShownTextLimit) + QStringLiteral("…") : text;
}

void Toggle(QWidget* w) {
    w->setHidden(!w->isHidden());
}

LogView* Make_List(LogModel* model, QWidget* parent) {
    auto* view = new LogView(parent);
    view->setModel(model);
    return view;
}

}  // namespace

// Counts a running scan; the last one to end deletes a window closed meanwhile.
class ScanGuard {
public:
    explicit ScanGuard(FRMTCPIP* w) : window_(w) { ++w->scans_; }
    ~ScanGuard() {
        if (!window_ || --window_->scans_ > 0)
            return;
        window_->tcpicp_->End_Look_Ahead();
        window_->toldBadBox_ = false;
        if (window_->deleteWhenIdle_)
            window_->deleteLater();
    }
    ScanGuard(const ScanGuard&) = delete;
    ScanGuard& operator=(const ScanGuard&) = delete;

private:
    QPointer<FRMTCPIP> window_;
};

FRMTCPIP::FRMTCPIP(TesterServices services, QWidget* parent)
    : QWidget(parent),
      DNS1(services.resolver),
      Winsock(services.hostInfo),
      services_(services),
      tcpicp_(std::make_shared<TCPICP>(services.echo, services.sockets, services.ui)) {
    Build_Controls();
    // A host that answered ahead of its step has its name looked up meanwhile.
    tcpicp_->Answered = [&resolver = services.resolver](const QString& host) {
        resolver.AddressToHostAhead(host);
    };
}

FRMTCPIP::~FRMTCPIP() = default;

void FRMTCPIP::Build_Controls() {
    setObjectName(QStringLiteral("FRMTCPIP"));
    setWindowTitle(texts::WindowTitle);
    log_ = new LogModel(this);
    found_ = new LogModel(this);

    auto* outer = new QHBoxLayout(this);
    auto* probe = new QGroupBox(texts::ProbeFrame, this);
    probe->setObjectName(QStringLiteral("ProbeFrame"));
    auto* grid = new QGridLayout(probe);
    grid->setHorizontalSpacing(4);

    const QString initial[4] = {texts::Octet0, texts::Octet1, texts::Octet2, texts::Octet3};
    for (int i = 0; i < 4; ++i) {
        Text1[i] = new QLineEdit(initial[i], probe);
        ui::Name_Control(Text1[i], ui::Control_Name("Text1", i), texts::AccOctet.arg(i + 1));
        Text1[i]->setAlignment(Qt::AlignCenter);
        grid->addWidget(Text1[i], 0, 2 * i);
        if (i < 3) {
            Label8[i] = new QLabel(texts::Dot, probe);
            ui::Name_Control(Label8[i], ui::Control_Name("Label8", i), texts::AccDot);
            grid->addWidget(Label8[i], 0, 2 * i + 1, Qt::AlignBottom);
        }
    }
    Command1 = new QPushButton(texts::PingCaption, probe);
    ui::Name_Control(Command1, QStringLiteral("Command1"), texts::AccPing);
    Command4 = new QPushButton(texts::RangeCaption, probe);
    ui::Name_Control(Command4, QStringLiteral("Command4"), texts::AccScanTwo);
    Command2 = new QPushButton(texts::RangeCaption, probe);
    ui::Name_Control(Command2, QStringLiteral("Command2"), texts::AccScanLast);
    grid->addWidget(Command1, 1, 0);
    grid->addWidget(Command4, 1, 4);
    grid->addWidget(Command2, 1, 6);
    const int boxWidth = Command2->sizeHint().width();
    for (QLineEdit* box : Text1)
        box->setFixedWidth(boxWidth);

    List1 = Make_List(log_, probe);
    ui::Name_Control(List1, QStringLiteral("List1"), texts::AccLog);
    List1->viewport()->installEventFilter(this);
    const QFontMetrics metrics = fontMetrics();
    // Room for a found host with a full name, and a dozen log lines.
    List1->setMinimumSize(metrics.averageCharWidth() * 56,
                          List1->Row_Height() * 12 + 2 * List1->frameWidth());
    grid->addWidget(List1, 2, 0, 1, 8);
    grid->setRowStretch(2, 3);

    Command5 = new QPushButton(texts::StopCaption, probe);
    ui::Name_Control(Command5, QStringLiteral("Command5"), texts::AccStop);
    grid->addWidget(Command5, 3, 0, 1, 8);

    List2 = Make_List(found_, probe);
    ui::Name_Control(List2, QStringLiteral("List2"), texts::AccFound);
    List2->setMinimumHeight(List2->Row_Height() * 7 + 2 * List2->frameWidth());
    grid->addWidget(List2, 4, 0, 1, 8);
    grid->setRowStretch(4, 2);

    // The indicator: an L of dots, six down and four along the bottom.
    auto* indicator = new QWidget(probe);
    indicator->setObjectName(QStringLiteral("Indicator"));
    indicator->setFixedSize(4 * ShapeStep + ShapeSize, 5 * ShapeStep + ShapeSize);
    for (int i = 0; i < ShapeCount; ++i) {
        auto* s = new Shape(indicator);
        ui::Name_Control(s, ui::Control_Name("Shape1", i), texts::AccShape.arg(i + 1));
        s->move(i < 6 ? 0 : (i - 5) * ShapeStep, i < 6 ? i * ShapeStep : 5 * ShapeStep);
        s->hide();
        Shape1[i] = s;
    }
    grid->addWidget(indicator, 4, 8, Qt::AlignLeft | Qt::AlignBottom);

    Command3 = new QPushButton(texts::ExportCaption, probe);
    ui::Name_Control(Command3, QStringLiteral("Command3"), texts::AccExport);
    grid->addWidget(Command3, 4, 9, Qt::AlignRight | Qt::AlignBottom);

    auto* lookup = new QVBoxLayout;
    txtdns = new QLineEdit(texts::LookupName, probe);
    ui::Name_Control(txtdns, QStringLiteral("txtdns"), texts::AccDnsName);
    txtip = new QLineEdit(texts::LookupAddress, probe);
    ui::Name_Control(txtip, QStringLiteral("txtip"), texts::AccDnsAddress);
    Command6 = new QPushButton(texts::DnsToIpCaption, probe);
    ui::Name_Control(Command6, QStringLiteral("Command6"), texts::AccDnsToIp);
    Command7 = new QPushButton(texts::IpToDnsCaption, probe);
    ui::Name_Control(Command7, QStringLiteral("Command7"), texts::AccIpToDns);
    txtdns->setMinimumWidth(metrics.averageCharWidth() * 28);
    lookup->addWidget(txtdns);
    lookup->addWidget(txtip);
    lookup->addWidget(Command6);
    lookup->addWidget(Command7);
    lookup->addStretch(1);
    grid->addLayout(lookup, 0, 9, 4, 1);
    // Column 7 takes the spare width, so the lists grow and the octet row keeps its size.
    grid->setColumnStretch(7, 1);
    grid->setColumnMinimumWidth(8, indicator->width());
    outer->addWidget(probe, 3);

    auto* local = new QGroupBox(texts::LocalFrame, this);
    local->setObjectName(QStringLiteral("LocalFrame"));
    auto* form = new QFormLayout(local);
    const auto field = [&](QLineEdit*& f, const char* name, const QString& label,
                           const QString& accessible) {
        f = new QLineEdit(local);
        ui::Name_Control(f, QLatin1StringView(name).toString(), accessible);
        form->addRow(label, f);
    };
    field(User, "User", texts::UserLabel, texts::AccUser);
    field(IP, "IP", texts::IpLabel, texts::AccIp);
    field(Host, "Host", texts::HostLabel, texts::AccHost);
    field(Port, "Port", texts::PortLabel, texts::AccPort);
    field(Namet, "Namet", texts::NameLabel, texts::AccName);
    field(Estado, "Estado", texts::StateLabel, texts::AccState);
    auto* right = new QVBoxLayout;
    right->addWidget(local);
    right->addStretch(1);
    outer->addLayout(right, 1);

    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
    connect(Command5, &QPushButton::clicked, this, [this] { Command5_Click(); });
    connect(Command6, &QPushButton::clicked, this, [this] { Command6_Click(); });
    connect(Command7, &QPushButton::clicked, this, [this] { Command7_Click(); });
}

bool FRMTCPIP::eventFilter(QObject* watched, QEvent* event) {
    if (watched == List1->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        List1_DblClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void FRMTCPIP::closeEvent(QCloseEvent* event) {
    // A scan waiting in a yield sees this and ends. Deleting the window at once could pull it
    // from under that scan's frames, so it goes when the last scan has unwound.
    unloading_ = true;
    if (scans_ > 0 && testAttribute(Qt::WA_DeleteOnClose)) {
        setAttribute(Qt::WA_DeleteOnClose, false);
        deleteWhenIdle_ = true;
    }
    QWidget::closeEvent(event);
}

void FRMTCPIP::Form_Load() {
    Get_User_Name();
    IP->setText(Winsock.LocalIP());
    Host->setText(Winsock.LocalHostName());
    Port->setText(QString::number(std::int32_t(Winsock.LocalPort())));
    Namet->setText(Winsock.Name());
    User->setText(UserName);
    Estado->setText(QString::number(std::int16_t(Winsock.State())));
    ProbeCounter = 0;
}

void FRMTCPIP::Get_User_Name() {
    char buffer[UserNameBufferSize] = {};
    platform::DWORD size = UserNameBufferSize;
    services_.security.GetUserNameA(buffer, &size);
    UserName = QString::fromLocal8Bit(buffer, qsizetype(strnlen(buffer, sizeof buffer)));
}

bool FRMTCPIP::Read_Box(int index, std::int16_t& value) {
    return Read_Whole_Number(Text1[index]->text(), value);
}

std::optional<QString> FRMTCPIP::Host_Text(bool tell) {
    QString host;
    for (int i = 0; i < 4; ++i) {
        std::int16_t value;
        if (!Read_Box(i, value)) {
            if (!tell)
                return std::nullopt;
            services_.ui.MsgBox(
                texts::BadOctet.arg(QString::number(i + 1), Shown(Text1[i]->text())),
                platform::vbExclamation);
            return std::nullopt;
        }
        if (i)
            host += u'.';
        host += ui::Trim_Blanks(Text1[i]->text());
    }
    return host;
}

bool FRMTCPIP::Yield() {
    const QPointer<FRMTCPIP> alive(this);
    platform::WindowServices& ui = services_.ui;
    ui.DoEvents();
    return alive && !alive->unloading_;
}

void FRMTCPIP::Add_Log_Line(const QString& line) {
    log_->Add(line);
}

void FRMTCPIP::Probe_Report(const QString& host, const ECHO_REPLY& reply, bool scan) {
    Add_Log_Line(TCPICP::Echo_Status_Text(reply.Status));
    Add_Log_Line(texts::AddressLine.arg(QString::number(Address_Value(reply)), host));
    Add_Log_Line(texts::TimeLine.arg(QString::number(reply.RoundTripTime)));
    const QString size = QString::number(reply.DataSize);
    Add_Log_Line(texts::SizeLine.arg(size));
    if (scan && !size.startsWith(u'0'))
        found_->Add(texts::FoundLine.arg(host, DNS1.AddressToHost(host)));
    if (reply.Data[0] != 0)
        Add_Log_Line(QString::fromLatin1(reply.Data, qsizetype(strnlen(reply.Data, EchoDataSize))));
    Add_Log_Line(QString::number(reply.DataPointer));
    ProbeCounter = std::int16_t(ProbeCounter + 1);
    Add_Log_Line(texts::ProbeNumberLine.arg(QString::number(ProbeCounter)));
    const QModelIndex last = log_->index(log_->Count() - 1);
    List1->setCurrentIndex(last);
    List1->scrollTo(last);
}

void FRMTCPIP::Command1_Click() {
    const std::optional<QString> host = Host_Text();
    if (!host)
        return;
    ECHO_REPLY reply{};
    const QPointer<FRMTCPIP> alive(this);
    const std::shared_ptr<TCPICP> engine = tcpicp_;
    engine->Send_Echo(*host, reply);
    if (!alive)
        return;
    Probe_Report(*host, reply, false);
}

QStringList FRMTCPIP::Next_Hosts(std::optional<std::int16_t> fourthStart) {
    const QString two =
        ui::Trim_Blanks(Text1[0]->text()) + u'.' + ui::Trim_Blanks(Text1[1]->text()) + u'.';
    const QString three = two + ui::Trim_Blanks(Text1[2]->text()) + u'.';
    const int last = ScanLastOctet, third = ScanThirdOctet;
    const int rest = std::max(0, 255 - last);
    const int perThird = fourthStart ? std::max(0, 256 - *fourthStart) : 0;
    // The i-th host after this step's: the rest of this fourth-octet run, then the next ones.
    const auto at = [&](qsizetype i) -> QString {
        if (i < rest)
            return three + QString::number(last + 1 + i);
        if (perThird == 0)
            return {};
        const qsizetype j = i - rest;
        const qsizetype t = third + 1 + j / perThird;
        if (t > 255)
            return {};
        return two + QString::number(t) + u'.' + QString::number(*fourthStart + j % perThird);
    };
    // From one step to the next the guess only moves on by one host.
    Guess& g = guess_;
    if (g.two == two && g.three == three && g.fourthStart == fourthStart && g.third == third &&
        g.last + 1 == last && !g.hosts.isEmpty())
        g.hosts.removeFirst();
    else
        g.hosts.clear();
    g = {two, three, last, third, fourthStart, std::move(g.hosts)};
    for (qsizetype i = g.hosts.size(); i < LookAheadWindow - 1; ++i) {
        QString host = at(i);
        if (host.isNull())
            break;
        g.hosts << host;
    }
    return g.hosts;
}

bool FRMTCPIP::Scan_Step(int& k, ECHO_REPLY& reply, std::optional<std::int16_t> fourthStart) {
    if (k != 9) {
        Toggle(Shape1[k]);
        ++k;
        Toggle(Shape1[k]);
    } else {
        Toggle(Shape1[9]);
        k = 0;
        Toggle(Shape1[0]);
    }
    if (!Yield())
        return false;
    Text1[3]->setText(QString::number(ScanLastOctet));

    const QPointer<FRMTCPIP> alive(this);
    const std::optional<QString> host = Host_Text(!toldBadBox_);
    if (!alive)
        return false;
    if (!host) {
        // A box edited into something that is no number ends the scan, as a stop would; the
        // user hears it once, however many scans were running.
        toldBadBox_ = true;
        Command5_Click();
        ScanLastOctet = std::int16_t(ScanLastOctet + 1);
        return true;
    }
    const std::shared_ptr<TCPICP> engine = tcpicp_;
    engine->Look_Ahead(Next_Hosts(fourthStart));
    engine->Send_Echo(*host, reply);
    if (!alive)
        return false;
    Probe_Report(*host, reply, true);
    if (!Yield())
        return false;
    ScanLastOctet = std::int16_t(ScanLastOctet + 1);
    return true;
}

void FRMTCPIP::Command2_Click() {
    if (!Host_Text())
        return;
    const ScanGuard running(this);
    Read_Box(3, ScanLastOctet);
    int k = 0;
    ECHO_REPLY reply{};
    while (ScanLastOctet <= 255)
        if (!Scan_Step(k, reply, std::nullopt))
            return;
}

void FRMTCPIP::Command4_Click() {
    if (!Host_Text())
        return;
    const ScanGuard running(this);
    std::int16_t fourthStart = 0;
    Read_Box(2, ScanThirdOctet);
    Read_Box(3, fourthStart);
    int k = 0;
    ECHO_REPLY reply{};
    while (ScanThirdOctet <= 255) {
        Text1[2]->setText(QString::number(ScanThirdOctet));
        ScanLastOctet = fourthStart;
        while (ScanLastOctet <= 255)
            if (!Scan_Step(k, reply, fourthStart))
                return;
        if (!Yield())
            return;
        ScanThirdOctet = std::int16_t(ScanThirdOctet + 1);
    }
}

void FRMTCPIP::Command5_Click() {
    for (QWidget* s : Shape1)
        s->hide();
    ScanThirdOctet = 255;
    ScanLastOctet = 255;
}

void FRMTCPIP::List1_DblClick() {
    log_->Clear();
}

void FRMTCPIP::Command3_Click() {
    QByteArray bytes;
    for (int i = 0; i < found_->Count(); ++i) {
        List2->setCurrentIndex(found_->index(i));
        bytes += '"';
        bytes += List2->currentIndex().data().toString().toLocal8Bit();
        bytes += "\"\r\n";
    }
    const std::string path = services_.exportFile;
    const QString shownPath = QString::fromLocal8Bit(path);
    const platform::Status written = services_.files.WriteWholeFile(path, bytes.toStdString());
    if (!written) {
        services_.ui.MsgBox(
            texts::ExportFailed.arg(shownPath, QString::fromStdString(written.reason)),
            platform::vbCritical);
        return;
    }
    services_.ui.MsgBox(texts::ExportDone.arg(shownPath));
}

void FRMTCPIP::Command6_Click() {
    txtip->setText(texts::ThirteenBlanks);
    txtip->setText(DNS1.HostToAddress(txtdns->text()));
}

void FRMTCPIP::Command7_Click() {
    txtdns->setText(texts::NotFound);
    txtdns->setText(DNS1.AddressToHost(txtip->text()));
}

}  // namespace tcpip
