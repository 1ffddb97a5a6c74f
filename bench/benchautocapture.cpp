// Automatic capture over generated page-turning sequences, played at the
// preview's 15 frames a second with explicit times: what was turned, what
// was scanned, duplicates, scans taken while a hand was over the page, the
// delay from the hand leaving to the scan, how far the page comparison
// kept same and new pages apart, and the cost of watching per preview frame.
// Times are the processor time of the watching thread.
// BENCH_TRACE=1 also prints every judgement of a page at rest;
// BENCH_ONLY=TEXT plays only the sequences whose name holds TEXT.
#include "tests/shared/turnscene.h"
#include "core/autocapture.h"
#include "core/pagedetail.h"
#include "core/watchframe.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <set>
#include <vector>

namespace {

constexpr double kPreviewFps = 15.0;
// A camera's preview as the window receives it: print as fine as it shows.
constexpr int kFrameWidth = 1280;
constexpr int kFrameHeight = 960;

struct Scenario {
    const char *name;
    turnscene::Options options;
};

struct Totals {
    int turned = 0, scanned = 0, duplicates = 0, midTurn = 0, missed = 0;
    double worstDelay = 0;
    double worstSameDifference = 0, leastNewDifference = 1e9;
    double watchNs = 0;
    long sampled = 0, frames = 0, copies = 0;
    std::vector<double> feedTimes;
};

// Time this thread has run: the machine is shared, and what watching costs
// is the processor time it takes, not what other programs take meanwhile.
double threadNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e9 + double(now.tv_nsec);
}

double medianNs(int runs, const std::function<void()> &work)
{
    work();
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = threadNs();
        work();
        times.push_back(threadNs() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void run(const Scenario &s, Totals &all)
{
    const turnscene::Sequence seq(s.options);
    AutoCapture watcher;
    std::set<int> scannedPages;
    std::vector<double> delays;
    int duplicates = 0, midTurn = 0;
    long frames = 0, sampled = 0;
    double watchNs = 0;
    int lastScanned = -1;
    double sameWorst = 0, newLeast = 1e9;
    const int total = int(seq.duration() * kPreviewFps);
    for (int i = 0; i < total; ++i) {
        const double t = i / kPreviewFps;
        const qint64 ms = qint64(t * 1000);
        ++frames;
        if (!watcher.wantsFrame(ms))
            continue;
        ++sampled;
        const turnscene::Moment m = seq.at(t);
        const double before = watcher.lastDifference();
        // What the window pays: the reduction of the full frame, the feed, and
        // at rest the large copy and the comparison.
        const double start = threadNs();
        const bool scan = watcher.feed(reduceForWatching(m.frame, AutoCapture::kWatchWidth), ms, nullptr,
                                       [&m, &all] {
                                           ++all.copies;
                                           return reduceForWatching(m.frame, AutoCapture::kDetailWidth);
                                       });
        const double ns = threadNs() - start;
        watchNs += ns;
        all.feedTimes.push_back(ns);
        const double difference = watcher.lastDifference();
        if (qEnvironmentVariableIsSet("BENCH_TRACE") && difference >= 0 && (difference != before || scan))
            std::printf("  t=%.2f page %d changed tiles %.0f scan %d\n", t, m.page, difference, int(scan));
        if (difference >= 0 && (difference != before || scan)) {
            if (m.page == lastScanned)
                sameWorst = std::max(sameWorst, difference);
            else
                newLeast = std::min(newLeast, difference);
        }
        if (!scan)
            continue;
        if (m.turning || m.handInView)
            ++midTurn;
        if (!scannedPages.insert(m.page).second)
            ++duplicates;
        else if (m.page > 0)
            delays.push_back(t - seq.handGone(m.page));
        lastScanned = m.page;
    }
    const int turned = s.options.pages;
    const int scannedCount = int(scannedPages.size());
    double meanDelay = 0, worstDelay = 0;
    for (double d : delays) {
        meanDelay += d / double(delays.size());
        worstDelay = std::max(worstDelay, d);
    }
    std::printf("%-27s %6d %7d %6d %5d %8d %7.2f %7.2f %8.0f %8.0f %9.3f\n", s.name, turned, scannedCount,
                turned - scannedCount, duplicates, midTurn, meanDelay, worstDelay, sameWorst, newLeast,
                watchNs / double(frames) / 1e6);
    all.turned += turned;
    all.scanned += scannedCount;
    all.missed += turned - scannedCount;
    all.duplicates += duplicates;
    all.midTurn += midTurn;
    all.worstDelay = std::max(all.worstDelay, worstDelay);
    all.worstSameDifference = std::max(all.worstSameDifference, sameWorst);
    all.leastNewDifference = std::min(all.leastNewDifference, newLeast);
    all.watchNs += watchNs;
    all.sampled += sampled;
    all.frames += frames;
}

turnscene::Options options(bool darkDesk, double turnSec, unsigned seed)
{
    turnscene::Options o;
    o.width = kFrameWidth;
    o.height = kFrameHeight;
    o.pages = 6;
    o.darkDesk = darkDesk;
    o.turnSec = turnSec;
    o.seed = seed;
    return o;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // painting into pictures only
    QGuiApplication app(argc, argv);

    std::vector<Scenario> scenarios;
    scenarios.push_back({"text, dark desk", options(true, 1.0, 1)});
    scenarios.push_back({"text, light desk", options(false, 1.0, 2)});
    scenarios.push_back({"slow hand (2 s)", options(true, 2.0, 3)});
    scenarios.push_back({"fast hand (0.4 s)", options(false, 0.4, 4)});
    scenarios.push_back({"short rest (1.6 s)", [] { auto o = options(true, 0.8, 5); o.holdSec = 1.6; return o; }()});
    scenarios.push_back({"nudged pages", [] { auto o = options(true, 1.0, 6); o.nudge = true; o.holdSec = 4.5; return o; }()});
    scenarios.push_back({"nudged, light desk", [] { auto o = options(false, 1.0, 7); o.nudge = true; o.holdSec = 4.5; return o; }()});
    scenarios.push_back({"lamp flicker", [] { auto o = options(false, 1.0, 8); o.flicker = true; return o; }()});
    scenarios.push_back({"shadow over page", [] { auto o = options(true, 1.0, 9); o.shadow = true; o.holdSec = 4.5; return o; }()});
    scenarios.push_back({"shadow, light desk", [] { auto o = options(false, 1.0, 10); o.shadow = true; o.holdSec = 4.5; return o; }()});
    scenarios.push_back({"flicker+shadow+nudge", [] { auto o = options(false, 1.5, 11); o.flicker = o.shadow = o.nudge = true; o.holdSec = 5; return o; }()});
    scenarios.push_back({"hand resting, light desk", [] { auto o = options(false, 1.0, 12); o.restingHand = true; o.holdSec = 5; return o; }()});
    using turnscene::Content;
    scenarios.push_back({"book, one layout", [] { auto o = options(false, 1.0, 13); o.content = Content::Book; o.pages = 8; return o; }()});
    scenarios.push_back({"book, nudged, flicker", [] { auto o = options(true, 1.0, 14); o.content = Content::Book; o.nudge = o.flicker = true; o.holdSec = 4.5; return o; }()});
    scenarios.push_back({"forms, one layout", [] { auto o = options(false, 1.0, 15); o.content = Content::Forms; return o; }()});
    scenarios.push_back({"forms, nudged, shadow", [] { auto o = options(true, 1.0, 16); o.content = Content::Forms; o.nudge = o.shadow = true; o.holdSec = 4.5; return o; }()});
    scenarios.push_back({"table after text", [] { auto o = options(true, 1.0, 17); o.content = Content::TextAndTables; return o; }()});
    scenarios.push_back({"ID card on a form", [] { auto o = options(false, 1.0, 18); o.content = Content::CardOnForm; return o; }()});
    scenarios.push_back({"card on form, resting hand", [] { auto o = options(true, 0.6, 19); o.content = Content::CardOnForm; o.restingHand = true; o.holdSec = 5; return o; }()});

    std::printf("Automatic capture over generated sequences (%dx%d frames at %.0f fps, watched every %lld ms)\n",
                kFrameWidth, kFrameHeight, kPreviewFps, (long long)AutoCapture::kSampleIntervalMs);
    std::printf("%-27s %6s %7s %6s %5s %8s %7s %7s %8s %8s %9s\n", "sequence", "turned", "scanned", "missed",
                "dupl.", "mid-turn", "delay s", "worst s", "same max", "new min", "ms/frame");
    Totals all;
    const QByteArray only = qgetenv("BENCH_ONLY");
    for (const Scenario &s : scenarios)
        if (only.isEmpty() || QByteArray(s.name).contains(only))
            run(s, all);
    std::printf("%-27s %6d %7d %6d %5d %8d %7s %7.2f %8.0f %8.0f %9.3f\n", "all", all.turned, all.scanned,
                all.missed, all.duplicates, all.midTurn, "", all.worstDelay, all.worstSameDifference,
                all.leastNewDifference, all.watchNs / double(all.frames) / 1e6);

    // One page judged at rest, in its three steps.
    turnscene::Options book = options(true, 1.0, 20);
    book.content = turnscene::Content::Book;
    book.pages = 2;
    const turnscene::Sequence pages(book);
    const QImage first = pages.at(1).frame, second = pages.at(pages.handGone(1) + 1).frame;
    const double copyNs = medianNs(9, [&] { reduceForWatching(second, AutoCapture::kDetailWidth); });
    const QImage firstGrey = reduceForWatching(first, AutoCapture::kDetailWidth);
    const QImage secondGrey = reduceForWatching(second, AutoCapture::kDetailWidth);
    const double printNs = medianNs(9, [&] { PageDetail{secondGrey}; });
    const PageDetail firstPrint(firstGrey), secondPrint(secondGrey);
    const double compareNs = medianNs(9, [&] { secondPrint.compareWith(firstPrint); });
    std::printf("a page judged at rest (%dx%d): large grey copy %.2f ms, its print %.2f ms, comparison %.2f ms\n",
                kFrameWidth, kFrameHeight, copyNs / 1e6, printNs / 1e6, compareNs / 1e6);

    // What watching costs per preview frame at the camera's real sizes: the
    // reduction reads the full frame, the feed sees only the reduced one.
    if (all.feedTimes.empty())
        return 0;
    const double feedNs = all.watchNs / double(all.sampled);
    const double sampledShare = double(all.sampled) / double(all.frames);
    std::sort(all.feedTimes.begin(), all.feedTimes.end());
    std::printf("\nframes watched: %.1f %% of preview frames, large copies for %ld of %ld preview frames; "
                "per watched frame at %dx%d: mean %.3f ms, median %.3f ms, slowest (a page judged) %.3f ms\n",
                100 * sampledShare, all.copies, all.frames, kFrameWidth, kFrameHeight, feedNs / 1e6,
                all.feedTimes[all.feedTimes.size() / 2] / 1e6, all.feedTimes.back() / 1e6);
    // Other preview sizes: the reductions differ, the rest stays.
    const double copyShare = double(all.copies) / double(all.frames);
    const QImage played = second;
    const double playedReduceNs = medianNs(50, [&] { reduceForWatching(played, AutoCapture::kWatchWidth); });
    const QSize sizes[] = {{1280, 720}, {1920, 1080}, {3264, 2448}};
    for (const QSize &size : sizes) {
        const QImage frame = played.scaled(size);
        const double reduceNs = medianNs(50, [&] { reduceForWatching(frame, AutoCapture::kWatchWidth); });
        const double largeNs = medianNs(9, [&] { reduceForWatching(frame, AutoCapture::kDetailWidth); });
        const double perFrame = (feedNs - playedReduceNs + reduceNs) * sampledShare + (largeNs - copyNs) * copyShare;
        std::printf("%4dx%-4d reduce %.3f ms, large copy %.2f ms, per preview frame %.3f ms (target <= 1 ms)\n",
                    size.width(), size.height(), reduceNs / 1e6, largeNs / 1e6, perFrame / 1e6);
    }
    return 0;
}
