#include "browser/frmnwcheck.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QSignalBlocker>
#include <QStringList>

#include "browser/texts.h"
#include "ui/controls.h"

namespace browser {
namespace {

const QString RootKey = QStringLiteral("_ROOT");
const QString Loaded = QStringLiteral("Y");
const QString NotLoaded = QStringLiteral("N");
const QString ServerImage = QStringLiteral("server");
const QString FolderImage = QStringLiteral("folder");
const QString FileImage = QStringLiteral("file");
const QString ShareImage = QStringLiteral("share");
const QString Backslash = QStringLiteral("\\");

// Layout in twips, as the window was drawn; converted to pixels at the screen's resolution.
constexpr int InnerWidth = 4365;
constexpr int InnerHeight = 6945;
constexpr int TreeLeft = 120;
constexpr int TreeTop = 1080;

QFont Arial(qreal points, bool bold) {
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

void Paint_Background(QWidget* w, QPalette::ColorRole role, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(role, colour);
    w->setPalette(p);
}

// Expanding can wait for a server for seconds; the pointer says so.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

frmNWCheck::frmNWCheck(TargetRows& rows, BrowserServices services, QWidget* parent)
    : QWidget(parent), rows_(rows), services_(services) {
    Build_Controls();
}

// A window that goes without being closed (the program ends) forgets them too.
frmNWCheck::~frmNWCheck() {
    services_.net.ForgetCredentials();
}

int frmNWCheck::Twips(int twips) const {
    return qRound(twips * logicalDpiX() / 1440.0);
}

void frmNWCheck::Build_Controls() {
    setObjectName(QStringLiteral("frmNWCheck"));
    setWindowTitle(texts::WindowTitle);
    setAccessibleName(texts::WindowTitle);

    tvwNetwork = new KeyedTree(this);
    ui::Name_Control(tvwNetwork, QStringLiteral("tvwNetwork"), texts::AccTree);
    tvwNetwork->setFont(Arial(8.25, false));
    tvwNetwork->setGeometry(Twips(TreeLeft), Twips(TreeTop), Twips(4095), Twips(6015));

    Text1 = new QLineEdit(this);
    ui::Name_Control(Text1, QStringLiteral("Text1"), texts::AccPath);
    Text1->setFont(Arial(14.25, true));
    Paint_Background(Text1, QPalette::Base, LightYellow);
    Text1->setGeometry(Twips(120), Twips(480), Twips(4095), Twips(465));

    Text2 = new QLineEdit(texts::FirstRow, this);
    ui::Name_Control(Text2, QStringLiteral("Text2"), texts::AccRow);
    Text2->setFont(Arial(14.25, true));
    Text2->setGeometry(Twips(2760), Twips(0), Twips(495), Twips(450));

    const QString captions[2] = {texts::Up, texts::Down};
    const QString accessible[2] = {texts::AccUp, texts::AccDown};
    for (int i = 0; i < 2; ++i) {
        cmdmas[i] = new QPushButton(captions[i], this);
        ui::Name_Control(cmdmas[i], QStringLiteral("cmdmas(%1)").arg(i), accessible[i]);
        cmdmas[i]->setFont(Arial(8.25, true));
        cmdmas[i]->setGeometry(Twips(3240), Twips(i == 0 ? 0 : 240), Twips(375), Twips(210));
        connect(cmdmas[i], &QPushButton::clicked, this, [this, i] { cmdmas_Click(i); });
    }

    Command1 = new QPushButton(texts::Ok, this);
    ui::Name_Control(Command1, QStringLiteral("Command1"), texts::AccOk);
    Command1->setFont(Arial(8.25, true));
    Paint_Background(Command1, QPalette::Button, LightYellow);
    Command1->setGeometry(Twips(3600), Twips(0), Twips(615), Twips(375));
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    QWidget::setTabOrder(tvwNetwork, Text1);
    QWidget::setTabOrder(Text1, Command1);
    QWidget::setTabOrder(Command1, Text2);
    QWidget::setTabOrder(Text2, cmdmas[0]);
    QWidget::setTabOrder(cmdmas[0], cmdmas[1]);

    connect(tvwNetwork, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* node) { tvwNetwork_Expand(node); });
    connect(tvwNetwork, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* node) { tvwNetwork_NodeClick(node); });
    // Moving through the tree with the keyboard picks nodes as clicking does.
    connect(tvwNetwork, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* node) {
        if (node)
            tvwNetwork_NodeClick(node);
    });

    resize(Twips(InnerWidth), Twips(InnerHeight));
}

void frmNWCheck::Centre_Window() {
    const QSize screen = services_.ui.ScreenSize();
    const QSize outer = frameGeometry().size();
    framing_ = outer - size();
    move((screen.width() - outer.width()) / 2, (screen.height() - outer.height()) / 2);
}

void frmNWCheck::Form_Load() {
    Centre_Window();
    centring_ = true;

    tvwNetwork->SetImageList(&imlNWImages);
    Text1->clear();
    Text2->setText(texts::FirstRow);

    // A later load starts from a fresh tree of resources, as the first did.
    const QSignalBlocker quiet(tvwNetwork);
    tvwNetwork->Clear();
    root_ = std::make_unique<NETRESOURCE>(services_.net);

    Node* rootNode = tvwNetwork->Add(nullptr, RootKey, texts::RootNode, QStringLiteral("root"));
    KeyedTree::SetTag(rootNode, Loaded);
    for (const NETRESOURCE& child : root_->Children()) {
        Node* node = Add_Resource_Node(rootNode, child);
        if (!node)
            continue;
        tvwNetwork->AddPlaceholder(node, ServerImage);
        EnsureVisible(node);
    }
    // The keyboard starts at the root without that counting as a pick.
    tvwNetwork->setCurrentItem(rootNode, 0, QItemSelectionModel::NoUpdate);
}

void frmNWCheck::Form_Resize() {
    // The tree keeps its left and top edges and the same margin to the right and bottom.
    const QRect g = tvwNetwork->geometry();
    const int margin = Twips(TreeLeft);
    tvwNetwork->resize(std::max(0, width() - g.left() - margin),
                       std::max(0, height() - g.top() - margin));
}

void frmNWCheck::Form_Unload() {
    Clear_Highlight();
    // A password typed for this window's shares is not kept once it is closed.
    services_.net.ForgetCredentials();
}

bool frmNWCheck::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    // Centred once more when the frame the window manager adds changes the outer size.
    const QEvent::Type t = event->type();
    if (centring_ &&
        (t == QEvent::Move || t == QEvent::Resize || t == QEvent::Show ||
         t == QEvent::WindowActivate) &&
        frameGeometry().size() - size() != framing_) {
        centring_ = false;
        Centre_Window();
    }
    return handled;
}

void frmNWCheck::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmNWCheck::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmNWCheck::EnsureVisible(Node* node) {
    for (Node* p = node->parent(); p; p = p->parent())
        p->setExpanded(true);
    tvwNetwork->scrollToItem(node);
}

Node* frmNWCheck::Add_Resource_Node(Node* parent, const NETRESOURCE& resource) {
    // A name met twice (one workgroup under two providers) stays where it was first seen.
    Node* node = tvwNetwork->Add(parent, resource.RemoteName(), resource.ShortName(),
                                 resource.ResourceTypeName().toLower());
    if (node)
        KeyedTree::SetTag(node, NotLoaded);
    return node;
}

void frmNWCheck::tvwNetwork_Expand(Node* node) {
    if (node && KeyedTree::Tag(node) == NotLoaded)
        ExpandNode(node);
}

void frmNWCheck::ExpandNode(Node* node) {
    const WaitCursor wait;
    tvwNetwork->RemovePlaceholder(node);
    const QString image = KeyedTree::Image(node);
    const QByteArray path = KeyedTree::Key(node).toLocal8Bit();
    std::unique_ptr<platform::Folder> folder;
    if (image == ShareImage || image == FolderImage)
        folder = services_.folders.GetFolder(path.toStdString());
    if (image == FolderImage || (image == ShareImage && folder))
        Expand_Folder(node, folder.get());
    else
        Expand_Resource(node);
}

void frmNWCheck::Expand_Folder(Node* node, platform::Folder* folder) {
    // A folder that went away, or whose contents may not be read, just shows nothing.
    if (folder) {
        const auto files = folder->Files();
        const auto folders = folder->SubFolders();
        const QString prefix = KeyedTree::Key(node) + Backslash;
        tvwNetwork->BeginAppend(node);
        for (const std::string& f : files.value_or(std::vector<std::string>{})) {
            const QString name = QString::fromLocal8Bit(f.data(), static_cast<qsizetype>(f.size()));
            tvwNetwork->Add(node, prefix + name, name, FileImage);
        }
        for (const std::string& f : folders.value_or(std::vector<std::string>{})) {
            const QString name = QString::fromLocal8Bit(f.data(), static_cast<qsizetype>(f.size()));
            Node* child = tvwNetwork->Add(node, prefix + name, name, FolderImage);
            if (!child)
                continue;
            tvwNetwork->AddPlaceholder(child, FolderImage);
            KeyedTree::SetTag(child, NotLoaded);
        }
        tvwNetwork->EndAppend();
    }
    KeyedTree::SetTag(node, Loaded);
}

void frmNWCheck::Expand_Resource(Node* node) {
    // The node's resource is reached from the root through the keys of its ancestors, taken
    // from the nodes themselves: a key may hold any character.
    QStringList keys;
    for (Node* n = node; n && n->parent(); n = n->parent())
        keys.prepend(KeyedTree::Key(n));
    NETRESOURCE* resource = root_.get();
    for (const QString& key : keys) {
        if (!resource)
            break;
        resource = resource->Children().Item(key);
    }
    if (resource) {
        for (const NETRESOURCE& child : resource->Children()) {
            Node* added = Add_Resource_Node(node, child);
            if (added && child.ResourceType() != PrinterResourceType)
                tvwNetwork->AddPlaceholder(added, ServerImage);
        }
    }
    tvwNetwork->viewport()->update();
    KeyedTree::SetTag(node, Loaded);
}

void frmNWCheck::tvwNetwork_NodeClick(Node* node) {
    if (!node || KeyedTree::IsPlaceholder(node))
        return;
    Node* parent = node->parent();
    if (!parent) {
        Text1->setText(node->text(0));
        return;
    }
    // Servers, shares, printers, folders and files carry their whole network path as their
    // key; joining the parent's name to the node's would drop the server from a folder's path.
    const QString key = KeyedTree::Key(node);
    if (key.startsWith(Backslash + Backslash)) {
        Text1->setText(key);
        return;
    }
    Text1->setText(Backslash + Backslash + parent->text(0) + Backslash + node->text(0));
}

std::optional<int> frmNWCheck::Row_Number() {
    bool ok = false;
    const int n = Text2->text().trimmed().toInt(&ok, 10);
    if (ok && n >= 1 && n <= TargetRowCount)
        return n;
    services_.ui.MsgBox(texts::BadRowNumber, platform::vbExclamation);
    return std::nullopt;
}

void frmNWCheck::Clear_Highlight() {
    const QColor normal = services_.ui.GetSysColor(platform::COLOR_WINDOW);
    for (int i = 0; i < TargetRowCount; ++i)
        rows_.Set_Back_Color(i, normal);
}

void frmNWCheck::cmdmas_Click(int index) {
    if (index != 0 && index != 1)
        return;
    Clear_Highlight();
    const std::optional<int> row = Row_Number();
    if (!row)
        return;
    int n = *row;
    if (index == 0)
        n = n == TargetRowCount ? TargetRowCount : n + 1;
    else
        n = n == 1 ? 1 : n - 1;
    Text2->setText(QString::number(n));
    rows_.Set_Back_Color(n - 1, LightYellow);
}

void frmNWCheck::Command1_Click() {
    const std::optional<int> row = Row_Number();
    if (!row)
        return;
    rows_.Set_Path_Text(*row - 1, Text1->text());
}

}  // namespace browser
