#ifndef LOGINNAME_H
#define LOGINNAME_H

#include <QString>

// The login name of the user this process runs as, as a command the user
// is told to type must name it: from the password database, else $USER or
// $LOGNAME, else the numeric id.
QString currentLoginName();

#endif
