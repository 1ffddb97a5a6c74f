// Generated overhead views of someone turning through pages under a document
// camera: pages on a light or dark desk, a hand sweeping across for each
// turn, and optional troubles (a lamp's flicker, a shadow that comes and
// stays a while, a page pushed by hand without turning it, a hand that comes
// to rest on the page). Pages are drawn with letter-sized strokes, so at a
// preview size such as 1280 x 960 their print is as fine as a camera shows it.
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

enum class Content {
    Mixed,         // running text, each page with its own layout
    Book,          // one layout, different words on every page
    Forms,         // one printed form, different values filled in
    TextAndTables, // a text page, then a table, and so on
    CardOnForm,    // a form, then the same form with an identity card on it
};

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
    bool restingHand = false; // a hand comes to lie still on each page, then leaves
    Content content = Content::Mixed;
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
            m_pages.push_back(makePage(o, i));
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
            bool resting = false;
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
            } else if (m_o.shadow && restT > 1.4 && restT < 3.4) {
                // Slides in from the right over 0.5 s, stays, slides out.
                const double in = std::clamp((restT - 1.4) / 0.5, 0.0, 1.0);
                const double out = std::clamp((3.4 - restT) / 0.5, 0.0, 1.0);
                paintShadow(p, std::min(in, out));
            }
            if (m_o.restingHand && restT > 1.6 && restT < m_o.holdSec - 0.6) {
                // Slides in from the right over 0.3 s, lies still, slides out.
                const double in = std::clamp((restT - 1.6) / 0.3, 0.0, 1.0);
                const double out = std::clamp((m_o.holdSec - 0.6 - restT) / 0.3, 0.0, 1.0);
                const double outside = m_o.width + 90.0 * m_o.height / 240.0;
                paintHand(p, outside + (place.center().x() - outside) * std::min(in, out), 0.6 * m_o.height, true);
                resting = true;
            }
            m.handInView = nudging || resting;
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

    // Pages are drawn once at 4 pixels a millimetre (an A4 sheet); letters are
    // strokes 2 pixels wide, a line of print 22 pixels apart.
    static constexpr int kPageW = 840, kPageH = 1188;

    class Random
    {
    public:
        explicit Random(unsigned seed) : m_state(seed) {}
        double operator()()
        {
            m_state = m_state * 1103515245u + 12345u;
            return double((m_state >> 8) & 0xFFFF) / 65535.0;
        }

    private:
        unsigned m_state;
    };

    // One letter at `x` on the baseline `y`: stems, bowls, ascenders and
    // descenders in random mix. Returns its width.
    static double paintLetter(QPainter &p, double x, double y, Random &random, const QColor &ink)
    {
        const double w = 5 + std::floor(random() * 4), r = random(), s = 2;
        const double top = r < 0.3 ? y - 15 : y - 10;
        const double bottom = r > 0.85 ? y + 5 : y;
        p.fillRect(QRectF(x, top, s, bottom - top), ink); // stem
        if (r < 0.5) {                                    // bowl: o, b, d, p
            p.fillRect(QRectF(x, y - 10, w, s), ink);
            p.fillRect(QRectF(x, y - s, w, s), ink);
            p.fillRect(QRectF(x + w - s, y - 10, s, 10), ink);
        } else if (r < 0.75) { // arch: n, h, m
            p.fillRect(QRectF(x, y - 10, w, s), ink);
            p.fillRect(QRectF(x + w - s, y - 10, s, 10), ink);
        } else { // bar: e, t, f
            p.fillRect(QRectF(x, y - 6, w, s), ink);
        }
        return w;
    }

    // Words of letters from `x` to about `end` on the baseline `y`.
    static void paintWords(QPainter &p, double x, double end, double y, Random &random,
                           const QColor &ink = QColor(40, 40, 48))
    {
        while (x < end - 12) {
            const int letters = 1 + int(random() * 9);
            for (int i = 0; i < letters && x < end - 6; ++i)
                x += paintLetter(p, x, y, random, ink) + 2;
            x += 9;
        }
    }

    // Running text: a heading, paragraphs, on some pages a picture block.
    // The layout comes from `layout`, the words from `words`.
    static void paintText(QPainter &p, Random &layout, Random &words, bool picture)
    {
        double y = 90;
        const double headingEnd = 84 + 240 + layout() * 300;
        for (double x = 84; x < headingEnd;) { // heading: taller letters
            p.save();
            p.translate(x, y);
            p.scale(2, 2);
            double wordEnd = 0;
            const int letters = 3 + int(words() * 6);
            for (int i = 0; i < letters; ++i)
                wordEnd += paintLetter(p, wordEnd, 0, words, QColor(40, 40, 48)) + 2;
            p.restore();
            x += 2 * wordEnd + 24;
        }
        y += 70;
        int line = 0;
        const int paragraph = 4 + int(layout() * 6);
        while (y < kPageH - 90) {
            if (picture && line == 6) {
                p.fillRect(QRectF(120 + layout() * 120, y, 400, 240), QColor(120, 130, 150));
                y += 270;
            }
            const bool last = line % paragraph == paragraph - 1;
            paintWords(p, 84, last ? 84 + 120 + layout() * 440 : kPageW - 84, y, words);
            y += last ? 44 : 22;
            ++line;
        }
    }

    // A printed form: a title, labelled boxes and a grid of ticks, with
    // values from `values` written into the boxes.
    static void paintForm(QPainter &p, Random &values)
    {
        Random printed(77);
        const QColor rule(90, 90, 110);
        paintWords(p, 84, 84 + 360, 90, printed);
        for (int row = 0; row < 12; ++row) {
            const double y = 170 + row * 62;
            paintWords(p, 84, 84 + 120 + printed() * 60, y + 24, printed);
            p.setPen(QPen(rule, 2));
            p.drawRect(QRectF(290, y, kPageW - 374, 36));
            const double filled = 120 + values() * (kPageW - 520);
            paintWords(p, 300, 300 + filled, y + 26, values, QColor(20, 40, 120));
        }
        for (int i = 0; i < 16; ++i) {
            const QRectF box(84 + (i % 8) * 84, 940 + (i / 8) * 60, 26, 26);
            p.drawRect(box);
            if (values() < 0.5)
                p.fillRect(box.adjusted(6, 6, -6, -6), QColor(20, 40, 120));
        }
    }

    // A table: ruled rows and columns with short entries.
    static void paintTable(QPainter &p, Random &values)
    {
        Random printed(91);
        paintWords(p, 84, 84 + 300, 90, printed);
        p.setPen(QPen(QColor(60, 60, 70), 2));
        const double columns[] = {84, 260, 400, 540, 680, kPageW - 84};
        for (int row = 0; row <= 24; ++row)
            p.drawLine(QPointF(84, 140 + row * 38), QPointF(kPageW - 84, 140 + row * 38));
        for (double x : columns)
            p.drawLine(QPointF(x, 140), QPointF(x, 140 + 24 * 38));
        for (int row = 0; row < 24; ++row)
            for (int c = 0; c < 5; ++c)
                paintWords(p, columns[c] + 8, columns[c] + 30 + values() * (columns[c + 1] - columns[c] - 40),
                           140 + row * 38 + 27, values);
    }

    // An identity card lying on the page: a rounded light card with a
    // photo and a few lines.
    static void paintCard(QPainter &p, Random &values)
    {
        const QRectF card(260 + values() * 120, 300 + values() * 300, 342, 216);
        QPainterPath outline;
        outline.addRoundedRect(card, 14, 14);
        p.fillPath(outline.translated(4, 5), QColor(0, 0, 0, 70));
        p.fillPath(outline, QColor(226, 234, 246));
        p.fillRect(QRectF(card.left() + 18, card.top() + 40, 90, 120), QColor(150, 130, 120));
        for (int line = 0; line < 5; ++line)
            paintWords(p, card.left() + 126, card.right() - 20 - values() * 80, card.top() + 56 + line * 30, values);
    }

    static QImage makePage(const Options &o, int number)
    {
        QImage page(kPageW, kPageH, QImage::Format_RGB32);
        page.fill(QColor(248, 247, 242));
        QPainter p(&page);
        const unsigned own = o.seed * 7919u + unsigned(number) * 104729u;
        Random layout(own), words(own ^ 0x5bd1e995u), shared(o.seed * 7919u);
        switch (o.content) {
        case Content::Mixed:
            paintText(p, layout, words, number % 3 == 1);
            break;
        case Content::Book:
            paintText(p, shared, words, false);
            break;
        case Content::Forms:
            paintForm(p, words);
            break;
        case Content::TextAndTables:
            if (number % 2)
                paintTable(p, words);
            else
                paintText(p, layout, words, false);
            break;
        case Content::CardOnForm: {
            Random values(o.seed * 7919u + unsigned(number / 2) * 104729u);
            paintForm(p, values);
            if (number % 2)
                paintCard(p, words);
            break;
        }
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
