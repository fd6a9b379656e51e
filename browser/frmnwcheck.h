// The network browser: the neighbourhood as a tree that grows one level per expansion, and
// the hand-back of a chosen path to a row of the main window.
#pragma once

#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>

#include "browser/images.h"
#include "browser/keyedtree.h"
#include "browser/netresource.h"
#include "browser/targetrows.h"
#include "platform/folders.h"
#include "platform/netenum.h"
#include "platform/windowservices.h"

namespace browser {

struct BrowserServices {
    platform::NetEnumeration& net;
    platform::FileSystemObject& folders;
    platform::WindowServices& ui;
};

// The target row's tint in the main window.
inline const QColor LightYellow(255, 255, 192);

class frmNWCheck : public QWidget {
    Q_OBJECT
public:
    frmNWCheck(TargetRows& rows, BrowserServices services, QWidget* parent = nullptr);
    ~frmNWCheck() override;

    // Centres the window by its outer size and builds a new tree: the whole network opened to
    // its first level.
    void Form_Load();
    // Fits the tree inside the window.
    void Form_Resize();
    // Gives every row of the main window its normal background back and has the passwords
    // the servers took for this window forgotten.
    void Form_Unload();
    // Loads the node's children on its first expansion.
    void tvwNetwork_Expand(Node* node);
    // Puts the node's path into Text1.
    void tvwNetwork_NodeClick(Node* node);
    // 0: the next row, 1: the previous one; the new target row is tinted.
    void cmdmas_Click(int index);
    // Copies Text1 into the target row's network path.
    void Command1_Click();

    // Stands for the whole network; null before the first load.
    NETRESOURCE* Root_Resource() const { return root_.get(); }

    KeyedTree* tvwNetwork = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    std::array<QPushButton*, 2> cmdmas{};
    QPushButton* Command1 = nullptr;
    ImageList imlNWImages = Network_Images();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Build_Controls();
    void Centre_Window();
    void ExpandNode(Node* node);
    void Expand_Folder(Node* node, platform::Folder* folder);
    void Expand_Resource(Node* node);
    Node* Add_Resource_Node(Node* parent, const NETRESOURCE& resource);
    void EnsureVisible(Node* node);
    // The row number in Text2 when it names a row of the main window; otherwise the user is
    // told and nothing is returned.
    std::optional<int> Row_Number();
    void Clear_Highlight();
    int Twips(int twips) const;

    TargetRows& rows_;
    BrowserServices services_;
    std::unique_ptr<NETRESOURCE> root_;
    // The frame's share of the outer size when the window was last centred: a window manager
    // adds its frame only once the window is shown.
    QSize framing_;
    bool centring_ = false;
};

}  // namespace browser
