#include "drives/frmmain.h"

#include <QEvent>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "drives/apperror.h"
#include "drives/pictures.h"
#include "drives/texts.h"
#include "ui/controls.h"

namespace drives {
namespace {

const QStringList DesignDevices = {
    QStringLiteral("J:"),    QStringLiteral("K:"),    QStringLiteral("L:"),
    QStringLiteral("M:"),    QStringLiteral("N:"),    QStringLiteral("O:"),
    QStringLiteral("P:"),    QStringLiteral("Q:"),    QStringLiteral("R:"),
    QStringLiteral("LPT1:"), QStringLiteral("LPT2:"), QStringLiteral("LPT3:")};

QString Code(platform::DWORD r) {
    return QString::number(static_cast<std::int32_t>(r));
}

QLabel* Make_Picture(QWidget* parent, const QPixmap& pm) {
    auto* l = new QLabel(parent);
    l->setPixmap(pm);
    l->setFixedSize(pm.size());
    return l;
}

}  // namespace

frmMain::frmMain(MainServices services, ToolWindows tools, QWidget* parent)
    : QWidget(parent),
      services_(services),
      tools_(std::move(tools)),
      mapping_(services.profile, services.files, services.location) {
    Build_Controls();
}

void frmMain::Build_Controls() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(texts::WindowTitle);

    // The window shares the system highlight colour with its boxes and pictures; the
    // text fields keep the normal window background.
    QPalette pal = palette();
    const QColor back = services_.ui.GetSysColor(platform::COLOR_HIGHLIGHT);
    pal.setColor(QPalette::Window, back);
    pal.setColor(QPalette::WindowText, pal.color(QPalette::HighlightedText));
    setPalette(pal);
    setAutoFillBackground(true);

    auto* outer = new QVBoxLayout(this);
    auto* header = new QHBoxLayout;
    auto* emblem = Make_Picture(this, pictures::Network_Emblem());
    emblem->setObjectName(QStringLiteral("Image1"));
    header->addWidget(emblem);
    auto* titles = new QVBoxLayout;
    auto* heading = new QLabel(texts::Heading, this);
    QFont hf = heading->font();
    hf.setPointSize(hf.pointSize() + 5);
    hf.setBold(true);
    heading->setFont(hf);
    titles->addWidget(heading);
    titles->addWidget(new QLabel(texts::Subheading, this));
    titles->addStretch(1);
    header->addLayout(titles, 1);
    header->setAlignment(emblem, Qt::AlignTop);
    outer->addLayout(header);
    outer->addSpacing(6);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    grid->addWidget(new QLabel(texts::ColumnPath, this), 0, 0);
    grid->addWidget(new QLabel(texts::ColumnDevice, this), 0, 1);
    grid->addWidget(new QLabel(texts::ColumnConnect, this), 0, 2);

    QFont fieldFont(QStringLiteral("Sans Serif"), 12);
    fieldFont.setStyleHint(QFont::SansSerif);
    fieldFont.setBold(true);
    const int driveDeviceWidth =
        QFontMetrics(fieldFont).horizontalAdvance(QStringLiteral("MMMM")) + 12;
    const int portDeviceWidth =
        QFontMetrics(fieldFont).horizontalAdvance(QStringLiteral("MMMMMMM")) + 12;

    for (int i = 0; i < RowCount; ++i) {
        const int n = i + 1;
        const int gridRow = i < DriveRowCount ? i + 1 : i + 2;  // a gap holds "Explorar la red"

        auto* net = new QLineEdit(i == 0 ? texts::PathPlaceholder : QStringLiteral(" "), this);
        net->setFont(fieldFont);
        net->setToolTip(texts::PathToolTip);
        net->setMinimumWidth(QFontMetrics(fieldFont).horizontalAdvance(texts::PathPlaceholder) +
                             40);
        net->setAutoFillBackground(true);
        ui::Name_Control(net, ui::Control_Name("TXTNET", i), texts::AccPath.arg(n));
        net->installEventFilter(this);
        TXTNET[i] = net;

        auto* local = new QLineEdit(DesignDevices[i], this);
        local->setFont(fieldFont);
        local->setFixedWidth(Is_Drive_Row(i) ? driveDeviceWidth : portDeviceWidth);
        ui::Name_Control(local, ui::Control_Name("TXTLOCAL", i), texts::AccDevice.arg(n));
        TXTLOCAL[i] = local;

        auto* mark = new MarkBox(this);
        ui::Name_Control(mark, ui::Control_Name("Check1", i), texts::AccMark.arg(n));
        // Direct connection: the change action runs inside the assignment of a new mark.
        connect(
            mark, &QCheckBox::stateChanged, this, [this, i] { Check1_Click(i); },
            Qt::DirectConnection);
        Check1[i] = mark;

        auto* pics = new QHBoxLayout;
        pics->setContentsMargins(0, 0, 0, 0);
        pics->setSpacing(2);
        if (Is_Drive_Row(i)) {
            Picture2[i] = Make_Picture(this, pictures::Network_Drive());
            ui::Name_Control(Picture2[i], ui::Control_Name("Picture2", i),
                             texts::AccConnected.arg(n));
            Picture3[i] = Make_Picture(this, pictures::Disconnected_Drive());
            ui::Name_Control(Picture3[i], ui::Control_Name("Picture3", i),
                             texts::AccNotConnected.arg(n));
            pics->addWidget(Picture2[i]);
            pics->addWidget(Picture3[i]);
        } else {
            const int p = i - DriveRowCount;
            Picture4[p] = Make_Picture(this, pictures::Network_Printer());
            ui::Name_Control(Picture4[p], ui::Control_Name("Picture4", p),
                             texts::AccPrinter.arg(n));
            Picture4[p]->hide();
            pics->addWidget(Picture4[p]);
        }
        pics->addStretch(1);
        // Keeps the column as wide as two pictures even while they are hidden.
        auto* holder = new QWidget(this);
        holder->setMinimumWidth(2 * 36 + 4);
        holder->setLayout(pics);

        // A fixed pitch whether or not a row shows its pictures.
        grid->setRowMinimumHeight(gridRow, std::max(net->sizeHint().height(), 30));
        grid->addWidget(net, gridRow, 0);
        grid->addWidget(local, gridRow, 1, Qt::AlignLeft);
        grid->addWidget(mark, gridRow, 2, Qt::AlignCenter);
        grid->addWidget(holder, gridRow, 3);
    }

    Command3 = new QPushButton(texts::BrowserCaption, this);
    ui::Name_Control(Command3, QStringLiteral("Command3"), texts::AccBrowser);
    grid->addWidget(Command3, DriveRowCount + 1, 1, 1, 3, Qt::AlignLeft);
    grid->setColumnStretch(0, 1);
    outer->addLayout(grid);
    outer->addStretch(1);

    auto* bottom = new QHBoxLayout;
    auto* contact = new QLabel(texts::ContactLabel, this);
    contact->setObjectName(QStringLiteral("Label15"));
    bottom->addWidget(contact);
    Label16 = new QLabel(texts::SupportAddress.toUpper(), this);
    ui::Name_Control(Label16, QStringLiteral("Label16"), texts::AccMail);
    QFont lf = Label16->font();
    lf.setUnderline(true);
    Label16->setFont(lf);
    Label16->setCursor(pictures::Flying_Envelope_Cursor());
    Label16->installEventFilter(this);
    bottom->addWidget(Label16);
    bottom->addStretch(1);
    Command9 = new QPushButton(texts::SaveCaption, this);
    ui::Name_Control(Command9, QStringLiteral("Command9"), texts::AccSave);
    Command2 = new QPushButton(texts::TesterCaption, this);
    ui::Name_Control(Command2, QStringLiteral("Command2"), texts::AccTester);
    bottom->addWidget(Command9);
    bottom->addWidget(Command2);
    outer->addLayout(bottom);

    connect(Command9, &QPushButton::clicked, this, [this] { Command9_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        for (int i = 0; i < RowCount; ++i) {
            if (watched == TXTNET[i]) {
                TXTNET_DblClick(i);
                return true;
            }
        }
    }
    if (watched == Label16 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Label16_Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::Run_Load_Step(const std::function<void()>& step) {
    try {
        step();
    } catch (const AppError& e) {
        ++restoreFaults_;
        services_.ui.MsgBox(texts::LoadError.arg(QString::number(e.number), e.description),
                            platform::vbCritical, texts::LoadErrorTitle);
    }
}

void frmMain::Load_Row(int i) {
    const RowKeys keys = Row_Keys(i);
    Run_Load_Step([&] { TXTNET[i]->setText(mapping_.ReadMappingValue(keys.path)); });
    Run_Load_Step([&] { TXTLOCAL[i]->setText(mapping_.ReadMappingValue(keys.device)); });
    Run_Load_Step([&] {
        // Whatever this device was connected to before is dropped; the result does not matter.
        const QByteArray device = TXTLOCAL[i]->text().toLocal8Bit();
        services_.net.WNetCancelConnection2A(device.constData(), platform::CONNECT_UPDATE_PROFILE,
                                             0);
    });
    Run_Load_Step([&] {
        const int mark = Read_Mark_Number(mapping_.ReadMappingValue(keys.mark));
        Check1[i]->SetValue(mark);
        // The connect action clears the box of a row it could not connect.
        if (mark == 1 && Check1[i]->Value() != 1)
            ++restoreFaults_;
    });
}

void frmMain::Form_Load() {
    show();
    services_.ui.DoEvents();
    for (int i = 0; i < DriveRowCount; ++i) {
        Picture2[i]->hide();
        Picture3[i]->hide();
    }
    Restore_Rows();
}

bool frmMain::Restore_Rows() {
    restoreFaults_ = 0;
    bool exists = false;
    Run_Load_Step([&] { exists = mapping_.MappingFileExists(); });
    if (exists) {
        for (int i = 0; i < RowCount; ++i)
            Load_Row(i);
    }
    return restoreFaults_ == 0;
}

std::array<MappingRow, RowCount> frmMain::Rows() const {
    std::array<MappingRow, RowCount> rows;
    for (int i = 0; i < RowCount; ++i)
        rows[i] = {TXTNET[i]->text(), TXTLOCAL[i]->text(), Check1[i]->Value()};
    return rows;
}

void frmMain::Command9_Click() {
    const platform::Status saved = mapping_.SaveMappings(Rows());
    if (!saved)
        services_.ui.MsgBox(
            texts::SaveFailed.arg(QString::number(ErrPathFileAccess),
                                  QString::fromLocal8Bit(mapping_.Location().file.c_str()),
                                  QString::fromStdString(saved.reason)),
            platform::vbCritical);
}

void frmMain::Command2_Click() {
    if (tools_.showTester)
        tools_.showTester();
}

void frmMain::Command3_Click() {
    if (tools_.showBrowser)
        tools_.showBrowser();
}

void frmMain::TXTNET_DblClick(int) {
    Command3_Click();
}

void frmMain::Label16_Click() {
    const QByteArray link = (QStringLiteral("mailto:") + texts::SupportAddress).toLocal8Bit();
    services_.shell.ShellExecuteA(reinterpret_cast<platform::HWND>(winId()), "open",
                                  link.constData(), nullptr, nullptr, platform::SW_SHOW);
}

void frmMain::Check1_Click(int i) {
    const QString device = TXTLOCAL[i]->text();
    const QString path = TXTNET[i]->text();
    QByteArray local = device.toLocal8Bit();
    QByteArray remote = path.toLocal8Bit();
    platform::NETRESOURCEA request;
    request.dwScope = platform::RESOURCE_GLOBALNET;
    request.dwType = Is_Drive_Row(i) ? platform::RESOURCETYPE_DISK : platform::RESOURCETYPE_PRINT;
    request.dwDisplayType = platform::RESOURCEDISPLAYTYPE_SHARE;
    request.dwUsage = platform::RESOURCEUSAGE_CONNECTABLE;
    request.lpLocalName = local.data();
    request.lpRemoteName = remote.data();

    platform::WindowServices& ui = services_.ui;
    if (ui::Trim_Blanks(device).isEmpty() || ui::Trim_Blanks(path).isEmpty()) {
        ui.MsgBox(texts::M1);
        Check1[i]->SetValue(0);
        return;
    }

    if (Check1[i]->Value() == 1) {
        const platform::DWORD r = services_.net.WNetAddConnection2A(
            &request, nullptr, nullptr, platform::CONNECT_UPDATE_PROFILE);
        if (r == platform::NO_ERROR) {
            ui.MsgBox(texts::M2.arg(path, device));
            if (Is_Drive_Row(i)) {
                Picture2[i]->show();
                Picture3[i]->hide();
            } else {
                Picture4[i - DriveRowCount]->show();
            }
            return;
        }
        Check1[i]->SetValue(0);  // runs the disconnect path, nested
        if (Is_Drive_Row(i)) {
            ui.MsgBox(texts::M3.arg(path, device));
            ui.MsgBox(texts::M4.arg(Code(r)), platform::vbExclamation, texts::M4Title);
            Picture2[i]->hide();
            Picture3[i]->show();
        } else {
            Picture4[i - DriveRowCount]->hide();
            ui.MsgBox(texts::M3.arg(path, device));
            ui.MsgBox(texts::M4.arg(Code(r)), platform::vbExclamation, texts::M4Title);
        }
        return;
    }

    if (Is_Drive_Row(i)) {
        Picture2[i]->hide();
        Picture3[i]->show();
    } else {
        Picture4[i - DriveRowCount]->hide();
    }
    const QString d = TXTLOCAL[i]->text();
    const QByteArray name = d.toLocal8Bit();
    const platform::DWORD r =
        services_.net.WNetCancelConnection2A(name.constData(), platform::CONNECT_UPDATE_PROFILE, 0);
    if (r == platform::NO_ERROR) {
        ui.MsgBox(texts::M5.arg(d));
    } else {
        ui.MsgBox(texts::M6.arg(d));
        ui.MsgBox(texts::M7.arg(Code(r)), platform::vbExclamation, texts::M7Title);
    }
}

}  // namespace drives
