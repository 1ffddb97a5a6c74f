// Figures for the two kinds of PDF page: ten 3264 x 2448 scans merged with
// raw pages and with JPEG pages (also with a page of recognised text over
// each), and img2pdf on the same JPEG files. Each run
// is a process of its own, so that its peak memory is its own. Prints, never
// asserts; the targets are printed beside the figures.
#include "bench/scannedpage.h"
#include "core/pagemerge.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kPages = 10;
constexpr int kRounds = 3;

struct Figures
{
    bool ran = false;
    double ms = 0;
    qint64 bytes = 0;
    double peakMb = 0; // growth of the resident set during the run (img2pdf: all of it)
};

// A value from /proc/self/status, in kB.
long statusKb(const char *field)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(strlen(field))).trimmed().split(' ').first().toLong();
    }
    return 0;
}

// A full page of text: 40 lines of 10 words, Chinese and English by turns.
PageText fullPageText()
{
    PageText text{3264, 2448, {}};
    for (int line = 0; line < 40; ++line) {
        text.lines.emplace_back();
        for (int word = 0; word < 10; ++word)
            text.lines.back().words.push_back(
                TextWord{word % 2 ? "recognition" : "文字识别", 150 + 300 * word, 100 + 56 * line, 260, 40});
    }
    return text;
}

// Runs one merge in a child process; the child reports time and peak growth.
// `text`, when given, lies over every page.
Figures mergeInChild(const QList<StoredPages::Page> &pages, const QString &pdf, bool jpegPages,
                     const PageText *text = nullptr)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO); // the merge's trace lines
        // 5: the peak resident set starts again from the current one.
        QFile clear("/proc/self/clear_refs");
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
        clear.close();
        const long before = statusKb("VmRSS:");
        QElapsedTimer timer;
        timer.start();
        QString written;
        const auto textOf = [text](const StoredPages::Page &) { return text; };
        const MergeResult result =
            text ? mergePagesWithText(pages, pdf, textOf, jpegPages, fileio::FileOps::system(), &written)
            : jpegPages ? mergeJpegPagesAsIs(pages, pdf, fileio::FileOps::system(), &written)
                        : mergeJpegPages(pages, pdf, fileio::FileOps::system(), &written);
        const double grownMb = double(statusKb("VmHWM:") - before) * 1024.0 / 1e6;
        const double report[3] = {double(timer.nsecsElapsed()) / 1e6, grownMb, double(result.pagesWritten)};
        const ssize_t sent = write(pipeFds[1], report, sizeof report);
        _exit(sent == ssize_t(sizeof report) ? 0 : 1);
    }
    close(pipeFds[1]);
    double report[3] = {0, 0, 0};
    const ssize_t got = child > 0 ? read(pipeFds[0], report, sizeof report) : 0;
    close(pipeFds[0]);
    int status = 0;
    if (child > 0)
        waitpid(child, &status, 0);
    Figures figures;
    figures.ran = got == ssize_t(sizeof report) && int(report[2]) == pages.size();
    figures.ms = report[0];
    figures.peakMb = report[1];
    figures.bytes = QFileInfo(pdf).size();
    return figures;
}

// img2pdf as a process: its whole peak resident set, from the kernel.
Figures img2pdf(const QString &program, const QStringList &jpegs, const QString &pdf)
{
    std::vector<QByteArray> args{program.toLocal8Bit(), "-o", pdf.toLocal8Bit()};
    for (const QString &jpeg : jpegs)
        args.push_back(jpeg.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    QElapsedTimer timer;
    timer.start();
    const pid_t child = fork();
    if (child == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage = {};
    if (child < 0 || wait4(child, &status, 0, &usage) != child)
        return {};
    Figures figures;
    figures.ran = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    figures.ms = double(timer.nsecsElapsed()) / 1e6;
    figures.peakMb = double(usage.ru_maxrss) * 1024.0 / 1e6;
    figures.bytes = QFileInfo(pdf).size();
    return figures;
}

// The run with the median time of `rounds`.
template <typename Run> Figures median(int rounds, Run run)
{
    std::vector<Figures> all;
    for (int i = 0; i < rounds; ++i)
        all.push_back(run());
    std::sort(all.begin(), all.end(), [](const Figures &a, const Figures &b) { return a.ms < b.ms; });
    return all[all.size() / 2];
}

void printRow(const char *name, const Figures &f)
{
    if (!f.ran) {
        printf("%-22s did not complete\n", name);
        return;
    }
    printf("%-22s %9.0f ms %10.2f MB %10.1f MB\n", name, f.ms, double(f.bytes) / 1e6, f.peakMb);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QList<StoredPages::Page> pages;
    QStringList jpegs;
    qint64 jpegBytes = 0;
    for (int i = 0; i < kPages; ++i) {
        const QString path = dir.filePath(QString("2024010112000%1.jpg").arg(i, 4, 10, QChar('0')));
        writeScannedPage(path, 3264, 2448, quint32(i + 1));
        pages << StoredPages::Page{path, path};
        jpegs << path;
        jpegBytes += QFileInfo(path).size();
    }
    printf("%d pages of 3264x2448, JPEGs together %.2f MB\n\n", kPages, double(jpegBytes) / 1e6);
    printf("%-22s %12s %13s %13s\n", "", "merge time", "file size", "peak memory");

    const QString rawPdf = dir.filePath("20240101130000000.pdf");
    const Figures raw = mergeInChild(pages, rawPdf, false);
    printRow("raw pages", raw);
    QFile::remove(rawPdf);

    const QString jpegPdf = dir.filePath("20240101140000000.pdf");
    const Figures jpeg = median(kRounds, [&] {
        QFile::remove(jpegPdf);
        return mergeInChild(pages, jpegPdf, true);
    });
    printRow("JPEG pages", jpeg);

    const PageText text = fullPageText();
    const Figures withText = median(kRounds, [&] {
        QFile::remove(jpegPdf);
        return mergeInChild(pages, jpegPdf, true, &text);
    });
    printRow("JPEG pages + text", withText);
    QFile::remove(jpegPdf);

    const QString program = QStandardPaths::findExecutable("img2pdf");
    Figures reference;
    if (program.isEmpty()) {
        printf("%-22s skipped: img2pdf is not installed\n", "img2pdf");
    } else {
        const QString refPdf = dir.filePath("img2pdf.pdf");
        reference = median(kRounds, [&] {
            QFile::remove(refPdf);
            return img2pdf(program, jpegs, refPdf);
        });
        printRow("img2pdf", reference);
    }

    printf("\nJPEG pages against the targets:\n");
    if (reference.ran && jpeg.ran)
        printf("  time   %.2f x img2pdf's (target <= 1.5)\n", jpeg.ms / reference.ms);
    printf("  size   %lld bytes over the JPEGs, %.0f a page (target <= 2048 a page)\n",
           (long long)(jpeg.bytes - jpegBytes), double(jpeg.bytes - jpegBytes) / kPages);
    printf("  memory %.1f MB at peak, %.2f x the JPEGs (target <= 2)\n", jpeg.peakMb,
           jpeg.peakMb * 1e6 / double(jpegBytes));
    if (withText.ran && jpeg.ran)
        printf("  a text layer of 400 words: %.0f bytes and %.1f ms a page\n",
               double(withText.bytes - jpeg.bytes) / kPages, (withText.ms - jpeg.ms) / kPages);
    if (raw.ran && jpeg.ran)
        printf("  raw pages are %.0f x larger and take %.1f x as long\n", double(raw.bytes) / double(jpeg.bytes),
               raw.ms / jpeg.ms);
    return 0;
}
