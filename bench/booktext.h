// Flat book pages of known text, drawn with the system's fonts, and the
// measures a result page is judged by.
#ifndef QUILLO_BENCH_BOOKTEXT_H
#define QUILLO_BENCH_BOOKTEXT_H

#include <opencv2/core.hpp>

#include <QString>

namespace booktext {

enum class Script { English, Chinese };

struct Page {
    cv::Mat rgb;  // the flat page
    QString text; // what is printed on it, lines joined by '\n'
};

// A page of `width` x `height` pixels with a margin of `margin` (fraction of
// the width) around its text; `number` picks which text.
Page makePage(Script script, int width, int height, double margin, int number);

// Aligns `result` to `truth` with one projective transform fitted with
// RANSAC to matched ORB features, then correlates their stroke maps
// (inverted grey, Gaussian blur 1.5 px at 1000 px page width). 0 when no
// transform is found.
double flatness(const cv::Mat &result, const cv::Mat &truth);

// Characters of `truth` read correctly (1 - edit distance / length), white
// space ignored; -1 when the `tesseract` command is not there.
double recognitionAccuracy(const cv::Mat &page, Script script, const QString &truth);
bool haveTesseract();

} // namespace booktext

#endif
