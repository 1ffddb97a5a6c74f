#include "core/rotationcounter.h"

namespace {
int nextTurn(int index)
{
    ++index;
    return index == 5 ? 1 : index;
}
} // namespace

void rotateLeft(RotationCounter &counter)
{
    counter.leftIndex = nextTurn(counter.leftIndex);
    if (counter.rightIndex != 0)
        counter.rotate = counter.rightIndex * 90.0 - counter.leftIndex * 90.0;
    else
        counter.rotate = 360.0 - counter.leftIndex * 90.0;
}

void rotateRight(RotationCounter &counter)
{
    counter.rightIndex = nextTurn(counter.rightIndex);
    if (counter.leftIndex != 0)
        counter.rotate = 360.0 - counter.leftIndex * 90.0 + counter.rightIndex * 90.0;
    else
        counter.rotate = counter.rightIndex * 90.0;
}
