#ifndef PICITEMDATA_H
#define PICITEMDATA_H

#include <QMetaType>
#include <QString>
#include <Qt>

// What each row of the stored-files list carries, under its own role.
struct PicItemData {
    static constexpr int Role = Qt::UserRole + 1;

    QString picPath; // full path, exactly as listed
    QString picName; // file name part of picPath
};

Q_DECLARE_METATYPE(PicItemData)

#endif
