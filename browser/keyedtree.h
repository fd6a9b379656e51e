// A tree view whose nodes carry a key unique in the tree, a tag and an image key, added
// below a parent and removed by key.
#pragma once

#include <QHash>
#include <QList>
#include <QTreeWidget>

#include "browser/images.h"

namespace browser {

using Node = QTreeWidgetItem;

class KeyedTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit KeyedTree(QWidget* parent = nullptr);

    void SetImageList(const ImageList* images) { images_ = images; }

    // Appends a child of `relative` (a top-level node when null). Null, adding nothing, when
    // the key is already in the tree: the node added first keeps it.
    Node* Add(Node* relative, const QString& key, const QString& text, const QString& image);
    // A stand-in child that makes `parent` expandable; its key is the parent's followed by
    // "_FAKE". It never takes a key from a real node, whatever the real nodes are called.
    Node* AddPlaceholder(Node* parent, const QString& image);
    // Removes the node with this key and everything below it.
    bool Remove(const QString& key);
    // Removes the stand-in child of `parent`, if it has one.
    void RemovePlaceholder(Node* parent);
    Node* Find(const QString& key) const { return index_.value(key); }
    void Clear();

    // Children added between BeginAppend and EndAppend go into the tree in one step: a
    // folder of thousands of files is then one change for the view instead of thousands.
    void BeginAppend(Node* parent);
    void EndAppend();

    static QString Key(const Node* node);
    static QString Tag(const Node* node);
    static void SetTag(Node* node, const QString& tag);
    static QString Image(const Node* node);
    static bool IsPlaceholder(const Node* node);

private:
    Node* Make(const QString& key, const QString& text, const QString& image, bool placeholder);
    void Attach(Node* parent, Node* node);
    void Forget(Node* node);

    const ImageList* images_ = nullptr;
    QHash<QString, Node*> index_;
    Node* appendParent_ = nullptr;
    bool appending_ = false;
    QList<Node*> pending_;
};

}  // namespace browser
