#ifndef TITLEROLL_H
#define TITLEROLL_H

#include <QString>

// One tick of a scrolling title. A title of n characters runs through n + 1
// states (the whole text, then one character fewer each tick, down to empty)
// and starts again.
struct TitleRollStep {
    QString shown; // the text to show on this tick
    int nextPos;   // the position to pass to the next tick
};

TitleRollStep titleRollStep(const QString &title, int pos);

#endif
