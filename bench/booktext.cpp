#include "bench/booktext.h"

#include "bench/sampletext.h"
#include "bench/textpage.h"

#include <opencv2/calib3d.hpp>
#include <opencv2/features2d.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <vector>

namespace booktext {

namespace {

using sampletext::kChinese;
using sampletext::kEnglish;

cv::Mat strokes(const cv::Mat &rgb)
{
    cv::Mat gray;
    cv::cvtColor(rgb, gray, cv::COLOR_RGB2GRAY);
    cv::Mat inverted = 255 - gray;
    cv::Mat out;
    inverted.convertTo(out, CV_32F);
    cv::GaussianBlur(out, out, cv::Size(0, 0), 1.5);
    return out;
}

cv::Mat atWidth(const cv::Mat &m, int width)
{
    cv::Mat out;
    cv::resize(m, out, cv::Size(width, std::max(1, int(double(m.rows) * width / m.cols + 0.5))), 0, 0,
               cv::INTER_AREA);
    return out;
}

} // namespace

Page makePage(Script script, int width, int height, double margin, int number)
{
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(QColor(247, 245, 238));
    QPainter painter(&image);
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(std::max(12, width / 40));
    painter.setFont(font);
    painter.setPen(QColor(25, 25, 28));
    const QFontMetrics metrics(font);
    const int left = int(margin * width), right = width - left;
    int y = int(margin * height) + metrics.ascent();
    Page page;
    const int count = script == Script::English ? int(std::size(kEnglish)) : int(std::size(kChinese));
    int sentence = number * 3;
    QString line;
    QStringList lines;
    // Words (English) or characters (Chinese) fill each line to the right margin.
    while (y + metrics.descent() < height - int(margin * height)) {
        const QString text = QString::fromUtf8(script == Script::English ? kEnglish[sentence % count]
                                                                         : kChinese[sentence % count]);
        ++sentence;
        const QStringList pieces = script == Script::English ? text.split(' ') : text.split(QString());
        for (const QString &piece : pieces) {
            if (piece.isEmpty())
                continue;
            const QString joined = line.isEmpty() || script == Script::Chinese ? line + piece : line + ' ' + piece;
            if (metrics.horizontalAdvance(joined) > right - left) {
                painter.drawText(left, y, line);
                lines << line;
                y += int(metrics.lineSpacing() * 1.5);
                line = piece;
                if (y + metrics.descent() >= height - int(margin * height))
                    break;
            } else {
                line = joined;
            }
        }
    }
    painter.end();
    page.text = lines.join('\n');
    page.rgb = cv::Mat(height, width, CV_8UC3, image.bits(), size_t(image.bytesPerLine())).clone();
    return page;
}

double flatness(const cv::Mat &result, const cv::Mat &truth)
{
    if (result.empty() || truth.empty())
        return 0.0;
    const cv::Mat t = atWidth(truth, 1000), r = atWidth(result, 1000);
    cv::Mat tg, rg;
    cv::cvtColor(t, tg, cv::COLOR_RGB2GRAY);
    cv::cvtColor(r, rg, cv::COLOR_RGB2GRAY);
    cv::Ptr<cv::ORB> orb = cv::ORB::create(4000);
    std::vector<cv::KeyPoint> kt, kr;
    cv::Mat dt, dr;
    orb->detectAndCompute(tg, cv::noArray(), kt, dt);
    orb->detectAndCompute(rg, cv::noArray(), kr, dr);
    if (dt.empty() || dr.empty())
        return 0.0;
    cv::BFMatcher matcher(cv::NORM_HAMMING, true);
    std::vector<cv::DMatch> matches;
    matcher.match(dr, dt, matches);
    if (matches.size() < 8)
        return 0.0;
    std::vector<cv::Point2f> from, to;
    for (const cv::DMatch &m : matches) {
        from.push_back(kr[size_t(m.queryIdx)].pt);
        to.push_back(kt[size_t(m.trainIdx)].pt);
    }
    const cv::Mat h = cv::findHomography(from, to, cv::RANSAC, 3.0);
    if (h.empty())
        return 0.0;
    cv::Mat aligned;
    cv::warpPerspective(r, aligned, h, t.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(255, 255, 255));
    const cv::Mat a = strokes(aligned), b = strokes(t);
    cv::Scalar ma, sa, mb, sb;
    cv::meanStdDev(a, ma, sa);
    cv::meanStdDev(b, mb, sb);
    if (sa[0] <= 0 || sb[0] <= 0)
        return 0.0;
    const double covariance = cv::mean((a - ma[0]).mul(b - mb[0]))[0];
    return covariance / (sa[0] * sb[0]);
}

bool haveTesseract()
{
    return !QStandardPaths::findExecutable(QStringLiteral("tesseract")).isEmpty();
}

double recognitionAccuracy(const cv::Mat &page, Script script, const QString &truth)
{
    if (!haveTesseract())
        return -1.0;
    QTemporaryDir dir;
    const QString file = dir.path() + QStringLiteral("/page.png");
    cv::Mat bgr;
    cv::cvtColor(page, bgr, cv::COLOR_RGB2BGR);
    cv::imwrite(file.toStdString(), bgr);
    QProcess tesseract;
    tesseract.start(QStringLiteral("tesseract"),
                    {file, QStringLiteral("stdout"), QStringLiteral("-l"),
                     script == Script::English ? QStringLiteral("eng") : QStringLiteral("chi_sim")});
    if (!tesseract.waitForFinished(120000))
        return 0.0;
    const QString read = textpage::withoutSpace(QString::fromUtf8(tesseract.readAllStandardOutput()));
    const QString expected = textpage::withoutSpace(truth);
    if (expected.isEmpty())
        return 0.0;
    if (qEnvironmentVariableIsSet("QUILLO_BOOK_DEBUG"))
        qInfo("read %d of %d: %s | %s", int(read.size()), int(expected.size()), qUtf8Printable(read.left(30)),
              qUtf8Printable(expected.left(30)));
    return textpage::accuracy(read, expected);
}

} // namespace booktext
