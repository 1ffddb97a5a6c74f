#ifndef PICITEMDATA_H
#define PICITEMDATA_H

#include <QMetaType>
#include <QString>
#include <Qt>

// What each row of the stored-files list carries, under its own role.
struct PicItemData {
    static constexpr int Role = Qt::UserRole + 1;

    // What the scan stored, carried from its page so that the tile need not
    // guess from the name; a file listed without it is pictured by its suffix.
    enum class PageKind { Unknown, Jpeg, Pdf };

    QString picPath; // full path, exactly as listed
    QString picName; // file name part of picPath
    PageKind pageKind = PageKind::Unknown;
};

Q_DECLARE_METATYPE(PicItemData)

#endif
