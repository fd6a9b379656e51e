// The tree's keyed pictures, 16 x 16, drawn here.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <vector>

namespace browser {

class ImageList {
public:
    ImageList();

    void Add(const QString& key, const QPixmap& picture);
    bool Contains(const QString& key) const;
    int Count() const { return static_cast<int>(images_.size()); }
    QStringList Keys() const;
    // A null pixmap for a key that holds none.
    QPixmap Picture(const QString& key) const;
    // The icon for a key; a key with no picture gets the generic one, so no resource kind is
    // ever left without an image.
    QIcon Icon(const QString& key) const;

private:
    struct Image {
        QString key;
        QPixmap picture;
        QIcon icon;
    };
    std::vector<Image> images_;
    QIcon generic_;
};

// The thirteen pictures of the browser in their fixed order: "directory", "root", "group",
// "ndscontainer", "network", "server", "tree", "domain", "share", "adminshare", "printer",
// "folder", "file".
ImageList Network_Images();

// For a resource kind that has no picture of its own.
QPixmap Generic_Image();

}  // namespace browser
