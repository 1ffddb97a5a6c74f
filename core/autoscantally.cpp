#include "core/autoscantally.h"

void AutoScanTally::restart()
{
    m_scans = 0;
    m_sinceLast.invalidate();
}

void AutoScanTally::addScan()
{
    ++m_scans;
    m_sinceLast.start();
}
