#ifndef QUILLO_CORE_AUTOCAPTURE_H
#define QUILLO_CORE_AUTOCAPTURE_H

#include "core/pagedetail.h"

#include <QImage>
#include <QPolygonF>
#include <QtGlobal>

#include <functional>
#include <vector>

// Decides, from small grey copies of the preview, when a newly laid page has
// come to rest and should be scanned. The event is the turn: a large passing
// change (a hand, a page in motion), then a picture that has been still for a
// while with nothing reaching into it across its edge. Only then is the page
// at rest compared with the page scanned last, once, on a large grey copy at
// the scale of its print, so pages of one layout with different words count
// as two, while a nudge, a shadow or a lamp's flicker do not make a new page.
// It knows nothing of displays or cameras; time comes with each frame, so a
// recorded or generated sequence replays exactly.
class AutoCapture
{
public:
    // Frames closer together than this are skipped: watching a few times a
    // second is enough to see a hand, and keeps the cost per preview frame low.
    static constexpr qint64 kSampleIntervalMs = 140;
    // Width the preview is reduced to before it is handed to feed().
    static constexpr int kWatchWidth = 320;
    // Width of the grey copy a page at rest is compared on: a 1280-pixel
    // preview as it is, where lines of print and the gaps between words show.
    static constexpr int kDetailWidth = 1280;

    // Makes the large grey copy (Format_Grayscale8, kDetailWidth wide or the
    // frame's width if smaller) of the frame now in view; null when there is
    // none. Called at most once per rest.
    using DetailSource = std::function<QImage()>;

    // True when a frame taken at `msecs` should be reduced and fed.
    bool wantsFrame(qint64 msecs) const;

    // One reduced preview frame (Format_Grayscale8) taken at `msecs`. With
    // `outline` the camera reports the page it sees (corners in the reduced
    // frame's pixels, empty when it sees none); without, it reports nothing.
    // Without `detail` the reduced frame itself is compared.
    // True when the page now lying there should be scanned.
    bool feed(const QImage &grey, qint64 msecs, const QPolygonF *outline = nullptr,
              const DetailSource &detail = DetailSource());

    // The picture now in view counts as scanned (a scan by hand), so the
    // watcher does not take the same page again. `detail` as a DetailSource
    // makes it; without, the last reduced frame stands in.
    void markScanned(const QImage &detail = QImage());
    // Forgets everything: the next page at rest is scanned.
    void reset();

    // How many tiles of print the last page judged after a turn changed
    // against the last scan, or -1 when none was compared yet.
    double lastDifference() const { return m_lastDifference; }

private:
    bool outlineSettled(const QPolygonF *outline);
    bool somethingReachesIn() const;
    // At rest: judges this still spell, once.
    bool judgeRest(const DetailSource &detail);
    void takeAsScanned(const PageDetail &detail);

    int m_width = 0;
    int m_height = 0;
    std::vector<quint8> m_previous; // illumination-normalised last frame
    std::vector<quint8> m_scannedEdge; // ... of the last page judged, for its edge
    QImage m_lastGrey;
    PageDetail m_scanned; // the print of the page scanned last
    bool m_hasReference = false;
    qint64 m_lastFed = -1;
    qint64 m_lastMotion = -1; // time of the last frame in which something moved
    bool m_turned = false;    // a large change passed since the last judgement
    bool m_judged = false;    // this still spell has been judged already
    bool m_reachReported = false;
    QPolygonF m_previousOutline;
    double m_lastDifference = -1;
};

#endif
