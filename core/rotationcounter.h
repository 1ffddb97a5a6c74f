// The rotate and crop click counters of the edit tool bar. The rotation is
// (right turns - left turns) x 90 modulo 360, but which representative is
// used depends on the button pressed last, and scans pass it on unchanged,
// so the two formulas are kept exactly as they are.
#ifndef ROTATIONCOUNTER_H
#define ROTATIONCOUNTER_H

#include <QtGlobal>

struct RotationCounter {
    int leftIndex = 0;  // left turns, 1..4 then 1 again; 0 before the first
    int rightIndex = 0; // right turns, counted the same way
    qreal rotate = 0.0; // degrees; ranges from -270 to 630
};

// One click of rotate left / rotate right.
void rotateLeft(RotationCounter &counter);
void rotateRight(RotationCounter &counter);

// Crop toggle: odd counter values mean automatic cropping is on.
inline bool cropIsOn(int cropIndex) { return cropIndex % 2 != 0; }

#endif
