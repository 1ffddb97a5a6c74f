#ifndef WINDOWMETRICS_H
#define WINDOWMETRICS_H

// Sizes of the main window that more than its layout code relies on: the
// end-to-end scripts read the lines below to know where to look and click.
// Keep each one a single line of the form "constexpr int kName = number;".
namespace windowmetrics {

constexpr int kWindowWidth = 780; // start and minimum size
constexpr int kWindowHeight = 480;
constexpr int kTitleBarMargin = 5; // around the title bar's icon and buttons
constexpr int kTitleButtonSize = 40; // square
constexpr int kListColumnWidth = 220; // the right column with the thumbnails
constexpr int kBottomBandHeight = 140; // tool strip and scan button under the picture
constexpr int kScanButtonWidth = 240;
constexpr int kScanButtonHeight = 36;
constexpr int kMergeButtonWidth = 165; // "合并pdf", in the bottom right corner
constexpr int kMergeButtonHeight = 36;
// Not set by our code: the layout margin that Qt's Fusion style gives the
// bottom band and the merge button's corner, which is the style on a bare X server.
constexpr int kBottomBandMargin = 9;

} // namespace windowmetrics

#endif
