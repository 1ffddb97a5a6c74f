#include "core/titleroll.h"

TitleRollStep titleRollStep(const QString &title, int pos)
{
    // A position past the end (or a stale negative one) starts the cycle over.
    if (pos > title.length() || pos < 0)
        pos = 0;
    return {title.mid(pos), pos + 1};
}
