#ifndef QUILLO_CORE_AUTOCAPTURE_H
#define QUILLO_CORE_AUTOCAPTURE_H

#include <QImage>
#include <QPolygonF>
#include <QtGlobal>

#include <vector>

// Decides, from small grey copies of the preview, when a newly laid page has
// come to rest and should be scanned: the picture must have been still for
// a while (no hand moving over it) and must differ from the page scanned
// last by more than a nudge, a shadow or a lamp's flicker can explain.
// It knows nothing of displays or cameras; time comes with each frame, so
// a recorded or generated sequence replays exactly.
class AutoCapture
{
public:
    // Frames closer together than this are skipped: watching a few times a
    // second is enough to see a hand, and keeps the cost per preview frame low.
    static constexpr qint64 kSampleIntervalMs = 140;
    // Width the preview is reduced to before it is handed to feed().
    static constexpr int kWatchWidth = 320;

    // True when a frame taken at `msecs` should be reduced and fed.
    bool wantsFrame(qint64 msecs) const;

    // One reduced preview frame (Format_Grayscale8) taken at `msecs`. With
    // `outline` the camera reports the page it sees (corners in the reduced
    // frame's pixels, empty when it sees none); without, it reports nothing.
    // True when the page now lying there should be scanned.
    bool feed(const QImage &grey, qint64 msecs, const QPolygonF *outline = nullptr);

    // The picture now in view counts as scanned (a scan by hand), so the
    // watcher does not take the same page again.
    void markScanned();
    // Forgets everything: the next page at rest is scanned.
    void reset();

    // How much the last settled picture differed from the last scan (share
    // of the compared area, 0..1), or -1 when none was compared yet.
    double lastDifference() const { return m_lastDifference; }

private:
    bool outlineSettled(const QPolygonF *outline);

    int m_width = 0;
    int m_height = 0;
    std::vector<quint8> m_previous;  // illumination-normalised last frame
    std::vector<quint8> m_reference; // ... of the page scanned last
    bool m_hasReference = false;
    qint64 m_lastFed = -1;
    qint64 m_lastMotion = -1; // time of the last frame in which something moved
    bool m_judged = false;    // this still spell has been judged already
    QPolygonF m_previousOutline;
    double m_lastDifference = -1;
};

#endif
