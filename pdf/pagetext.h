// The text recognised on one page picture: lines in reading order, each a
// run of words left to right, every word with its box in the picture's own
// pixels (origin top left). What the recogniser hands the PDF writers; it
// knows nothing of either, so it stays plain.
#ifndef PAGETEXT_H
#define PAGETEXT_H

#include <string>
#include <vector>

struct TextWord
{
    std::string text; // UTF-8, never empty
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct TextLine
{
    std::vector<TextWord> words;
};

struct PageText
{
    // The picture the boxes refer to; a writer scales them onto its page.
    int width = 0;
    int height = 0;
    std::vector<TextLine> lines;

    bool isEmpty() const
    {
        for (const TextLine &line : lines)
            if (!line.words.empty())
                return false;
        return true;
    }
};

#endif
