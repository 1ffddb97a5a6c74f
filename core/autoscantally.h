#ifndef AUTOSCANTALLY_H
#define AUTOSCANTALLY_H

#include <QElapsedTimer>

// What the picture shows of the automatic capture's work: how many pages it
// scanned since it was switched on (scans by key or click do not count),
// and, for a moment after each, that one was just taken.
class AutoScanTally
{
public:
    // Long enough to catch the eye, short enough to end before the next page.
    static constexpr int kFlashMs = 600;

    void restart();
    void addScan();
    int scans() const { return m_scans; }
    bool flashing() const { return m_sinceLast.isValid() && m_sinceLast.elapsed() < kFlashMs; }

private:
    int m_scans = 0;
    QElapsedTimer m_sinceLast;
};

#endif
