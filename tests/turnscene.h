// Generated overhead views of someone turning through pages under a document
// camera: pages of running text on a light or dark desk, a hand sweeping
// across for each turn, and optional troubles (a lamp's flicker, a shadow
// that comes and stays a while, a page pushed by hand without turning it).
// Every moment is a pure function of time, so a sequence replays exactly.
// Shared by the automatic capture suite and its benchmark.
#ifndef QUILLO_TESTS_TURNSCENE_H
#define QUILLO_TESTS_TURNSCENE_H

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <vector>

namespace turnscene {

struct Options {
    int width = 320;
    int height = 240;
    bool darkDesk = true;
    int pages = 4;
    double holdSec = 3.0; // page at rest between turns
    double turnSec = 1.0; // the hand's sweep
    bool flicker = false; // lamp brightness wavering by +-12 %
    bool shadow = false;  // a soft shadow slides over each resting page and leaves
    bool nudge = false;   // a hand pushes each resting page a little, then leaves
    bool noise = true;    // sensor noise
    unsigned seed = 1;
};

struct Moment {
    QImage frame;       // RGB888
    int page = 0;       // the page lying there (the new one once a turn is past half)
    bool turning = false;
    bool handInView = false;
};

class Sequence
{
public:
    explicit Sequence(const Options &o) : m_o(o)
    {
        for (int i = 0; i < o.pages; ++i)
            m_pages.push_back(makePage(o.seed * 7919u + unsigned(i) * 104729u, i));
    }

    double duration() const { return m_o.holdSec * m_o.pages + m_o.turnSec * (m_o.pages - 1); }
    // When the hand of turn `n` (1 .. pages-1) has left the picture.
    double handGone(int n) const { return n * (m_o.holdSec + m_o.turnSec); }

    Moment at(double t) const
    {
        Moment m;
        const double period = m_o.holdSec + m_o.turnSec;
        int page = std::min(m_o.pages - 1, int(t / period));
        double local = t - page * period; // time into this page's rest
        double turnProgress = -1;
        if (local >= m_o.holdSec && page < m_o.pages - 1)
            turnProgress = (local - m_o.holdSec) / m_o.turnSec;

        QImage img(m_o.width, m_o.height, QImage::Format_RGB32);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        paintDesk(p);

        const QRectF place = pagePlace();
        if (turnProgress < 0) {
            m.page = page;
            QPointF push(0, 0);
            double turn = 0;
            const double restT = local;
            bool nudging = false;
            if (m_o.nudge && page > 0) {
                // At 1.6 s into the rest a hand comes from the left, pushes the
                // page by 3 % and turns it a degree, and is gone at 2.4 s.
                const double k = std::clamp((restT - 1.9) / 0.3, 0.0, 1.0);
                push = QPointF(0.03 * m_o.width * k, 0.015 * m_o.height * k);
                turn = 1.0 * k;
                nudging = restT > 1.6 && restT < 2.4;
            }
            paintPage(p, page, place, push, turn);
            if (nudging) {
                const double a = (restT - 1.6) / 0.8; // in, push, out
                const double reach = a < 0.5 ? a * 2 : (1 - a) * 2;
                paintHand(p, -0.35 * m_o.width + reach * 0.5 * m_o.width, 0.55 * m_o.height, false);
                m.handInView = true;
            } else if (m_o.shadow && restT > 1.4 && restT < 3.4) {
                // Slides in from the right over 0.5 s, stays, slides out.
                const double in = std::clamp((restT - 1.4) / 0.5, 0.0, 1.0);
                const double out = std::clamp((3.4 - restT) / 0.5, 0.0, 1.0);
                paintShadow(p, std::min(in, out));
            }
        } else {
            // The hand comes from the right, carries the page's edge to the
            // left, uncovering the next page behind it, and goes back out.
            m.turning = true;
            m.handInView = true;
            const double outside = m_o.width + 90.0 * m_o.height / 240.0;
            const double handX = turnProgress < 0.6
                                     ? outside + (place.left() - outside) * (turnProgress / 0.6)
                                     : place.left() + (outside - place.left()) * ((turnProgress - 0.6) / 0.4);
            m.page = turnProgress < 0.3 ? page : page + 1;
            paintPage(p, page + 1, place, QPointF(), 0);
            if (turnProgress < 0.6) {
                p.save();
                p.setClipRect(QRectF(0, 0, std::max(0.0, handX), m_o.height));
                paintPage(p, page, place, QPointF(), 0);
                p.restore();
            }
            paintHand(p, handX, 0.5 * m_o.height, true);
        }
        p.end();
        QImage rgb = img.convertToFormat(QImage::Format_RGB888);
        if (m_o.flicker)
            scale(rgb, 1.0 + 0.12 * std::sin(2 * M_PI * 3.3 * t));
        if (m_o.noise)
            addNoise(rgb, unsigned(t * 1000) + m_o.seed);
        m.frame = rgb;
        return m;
    }

private:
    QRectF pagePlace() const
    {
        const double h = 0.82 * m_o.height, w = h / std::sqrt(2.0);
        return QRectF((m_o.width - w) / 2, (m_o.height - h) / 2, w, h);
    }

    void paintDesk(QPainter &p) const
    {
        QLinearGradient g(0, 0, 0, m_o.height);
        g.setColorAt(0, m_o.darkDesk ? QColor(84, 66, 52) : QColor(214, 208, 196));
        g.setColorAt(1, m_o.darkDesk ? QColor(62, 49, 40) : QColor(196, 190, 178));
        p.fillRect(QRectF(0, 0, m_o.width, m_o.height), g);
    }

    // A page of running text: a heading, paragraphs of varying length, and
    // on some pages a picture block. Drawn once at a fixed size.
    static QImage makePage(unsigned seed, int number)
    {
        const int W = 420, H = 594;
        QImage page(W, H, QImage::Format_RGB32);
        page.fill(QColor(248, 247, 242));
        QPainter p(&page);
        auto random = [&seed]() {
            seed = seed * 1103515245u + 12345u;
            return double((seed >> 8) & 0xFFFF) / 65535.0;
        };
        const QColor ink(40, 40, 48);
        double y = 40;
        for (double x = 42; x < 42 + 120 + random() * 150;) { // heading
            const double len = 30 + random() * 50;
            p.fillRect(QRectF(x, y, len, 14), ink);
            x += len + 12;
        }
        y += 40;
        int line = 0;
        const int paragraph = 4 + int(random() * 6);
        const bool picture = number % 3 == 1;
        while (y < H - 50) {
            if (picture && line == 6) {
                p.fillRect(QRectF(60 + random() * 60, y, 200, 120), QColor(120, 130, 150));
                y += 135;
            }
            const bool last = line % paragraph == paragraph - 1;
            const double end = last ? 42 + 60 + random() * 220 : W - 42;
            for (double x = 42; x < end - 10;) {
                const double len = std::min(12 + random() * 50, end - x);
                p.fillRect(QRectF(x, y, len, 7), ink);
                x += len + 8;
            }
            y += last ? 26 : 15;
            ++line;
        }
        return page;
    }

    void paintPage(QPainter &p, int index, const QRectF &place, QPointF push, double degrees) const
    {
        p.save();
        p.translate(place.center() + push);
        p.rotate(degrees);
        const QRectF local(-place.width() / 2, -place.height() / 2, place.width(), place.height());
        p.fillRect(local.translated(2, 3), QColor(0, 0, 0, 60));
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(local, m_pages[size_t(index)]);
        p.restore();
    }

    // A skin-coloured palm with four fingers and the arm leading out of the
    // picture on the side it came from, with a soft shadow under it.
    void paintHand(QPainter &p, double x, double y, bool fromRight) const
    {
        const double s = m_o.height / 240.0;
        QPainterPath hand;
        hand.addEllipse(QPointF(x, y), 34 * s, 40 * s);
        for (int f = 0; f < 4; ++f)
            hand.addRoundedRect(QRectF(fromRight ? x - 80 * s : x + 20 * s, y - 36 * s + f * 19 * s, 60 * s, 14 * s),
                                7 * s, 7 * s);
        hand.addRect(fromRight ? QRectF(x, y - 30 * s, m_o.width * 2.0, 60 * s)
                               : QRectF(x - m_o.width * 2.0, y - 30 * s, m_o.width * 2.0, 60 * s));
        hand.setFillRule(Qt::WindingFill);
        p.fillPath(hand.translated(6 * s, 9 * s), QColor(0, 0, 0, 70));
        p.fillPath(hand, QColor(214, 168, 140));
    }

    // A soft-edged shadow, as of a person leaning over the desk, darkening
    // the right part of the picture by up to 35 %.
    void paintShadow(QPainter &p, double amount) const
    {
        const double edge = m_o.width * (1.0 - 0.45 * amount);
        QLinearGradient g(edge - 0.12 * m_o.width, 0, edge + 0.12 * m_o.width, 0);
        g.setColorAt(0, QColor(0, 0, 0, 0));
        g.setColorAt(1, QColor(0, 0, 0, int(90 * amount)));
        p.fillRect(QRectF(edge - 0.12 * m_o.width, 0, m_o.width, m_o.height), g);
    }

    static void scale(QImage &img, double gain)
    {
        for (int y = 0; y < img.height(); ++y) {
            uchar *row = img.scanLine(y);
            for (int i = 0; i < img.width() * 3; ++i)
                row[i] = uchar(std::min(255.0, row[i] * gain));
        }
    }

    static void addNoise(QImage &img, unsigned seed)
    {
        unsigned state = seed * 2654435761u + 1;
        for (int y = 0; y < img.height(); ++y) {
            uchar *row = img.scanLine(y);
            for (int i = 0; i < img.width() * 3; ++i) {
                state = state * 1664525u + 1013904223u;
                const int v = row[i] + int((state >> 24) % 7) - 3;
                row[i] = uchar(std::clamp(v, 0, 255));
            }
        }
    }

    Options m_o;
    std::vector<QImage> m_pages;
};

} // namespace turnscene

#endif
