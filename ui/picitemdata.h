#ifndef PICITEMDATA_H
#define PICITEMDATA_H

#include <QMetaType>
#include <QString>

// What each row of the stored-files list carries, under role Qt::UserRole + 1.
struct PicItemData {
    QString picPath; // full path, exactly as listed
    QString picName; // file name part of picPath
};

Q_DECLARE_METATYPE(PicItemData)

#endif
