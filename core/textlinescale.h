// How far a page picture may be shrunk before text recognition: the typical
// height of its text lines, measured on a grey copy, against the line height
// the recogniser reads best.
#ifndef TEXTLINESCALE_H
#define TEXTLINESCALE_H

class TextLineScale
{
public:
    // The line height (pixels, ascenders to descenders) the recogniser reads
    // best, measured with bench/benchocr: accuracy is flat from 14 to 48 px
    // on its pages, 24-26 px did best; a little above that keeps thin strokes
    // of finer print than the bench's fonts.
    static constexpr int kBestLineHeight = 28;

    // Median height of the text lines on an 8-bit grey picture whose rows are
    // `stride` bytes apart; 0 when no line is found.
    static int medianLineHeight(const unsigned char *grey, int width, int height, int stride);

    // The factor (<= 1, never enlarging) that brings `lineHeight` near
    // `target`; 1 when nothing was measured.
    static double scaleFor(int lineHeight, int target = kBestLineHeight);
};

#endif
