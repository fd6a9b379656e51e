#include "browser/keyedtree.h"

#include <QHeaderView>

namespace browser {
namespace {

enum Role { KeyRole = Qt::UserRole, TagRole, ImageRole, PlaceholderRole };

const QString PlaceholderSuffix = QStringLiteral("_FAKE");
const QString PlaceholderText = QStringLiteral("FAKE");

}  // namespace

KeyedTree::KeyedTree(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    // Long names scroll sideways instead of being cut short.
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
}

Node* KeyedTree::Make(const QString& key, const QString& text, const QString& image,
                      bool placeholder) {
    auto* node = new QTreeWidgetItem;
    node->setText(0, text);
    node->setData(0, KeyRole, key);
    node->setData(0, ImageRole, image);
    if (placeholder)
        node->setData(0, PlaceholderRole, true);
    if (images_)
        node->setIcon(0, images_->Icon(image));
    return node;
}

void KeyedTree::Attach(Node* parent, Node* node) {
    if (appending_ && parent == appendParent_)
        pending_.append(node);
    else if (parent)
        parent->addChild(node);
    else
        addTopLevelItem(node);
}

Node* KeyedTree::Add(Node* relative, const QString& key, const QString& text,
                     const QString& image) {
    if (index_.contains(key))
        return nullptr;
    Node* node = Make(key, text, image, false);
    index_.insert(key, node);
    Attach(relative, node);
    return node;
}

Node* KeyedTree::AddPlaceholder(Node* parent, const QString& image) {
    Node* node = Make(Key(parent) + PlaceholderSuffix, PlaceholderText, image, true);
    parent->addChild(node);
    return node;
}

void KeyedTree::Forget(Node* node) {
    for (int i = 0; i < node->childCount(); ++i)
        Forget(node->child(i));
    if (!IsPlaceholder(node))
        index_.remove(Key(node));
}

bool KeyedTree::Remove(const QString& key) {
    Node* node = index_.value(key);
    if (!node)
        return false;
    Forget(node);
    pending_.removeAll(node);
    delete node;  // also takes it out of its parent
    return true;
}

void KeyedTree::RemovePlaceholder(Node* parent) {
    for (int i = parent->childCount() - 1; i >= 0; --i) {
        if (IsPlaceholder(parent->child(i)))
            delete parent->takeChild(i);
    }
}

void KeyedTree::Clear() {
    index_.clear();
    pending_.clear();
    appending_ = false;
    clear();
}

void KeyedTree::BeginAppend(Node* parent) {
    EndAppend();
    appending_ = true;
    appendParent_ = parent;
}

void KeyedTree::EndAppend() {
    if (!appending_)
        return;
    appending_ = false;
    if (pending_.isEmpty())
        return;
    if (appendParent_)
        appendParent_->addChildren(pending_);
    else
        addTopLevelItems(pending_);
    pending_.clear();
}

QString KeyedTree::Key(const Node* node) {
    return node->data(0, KeyRole).toString();
}

QString KeyedTree::Tag(const Node* node) {
    return node->data(0, TagRole).toString();
}

void KeyedTree::SetTag(Node* node, const QString& tag) {
    node->setData(0, TagRole, tag);
}

QString KeyedTree::Image(const Node* node) {
    return node->data(0, ImageRole).toString();
}

bool KeyedTree::IsPlaceholder(const Node* node) {
    return node->data(0, PlaceholderRole).toBool();
}

}  // namespace browser
