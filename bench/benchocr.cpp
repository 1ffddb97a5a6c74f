// Text recognition on generated camera pages of known text: our recogniser
// and, side by side on the same JPEG, the `tesseract` command. Prints
// character accuracy (Chinese and Latin pages apart, white space ignored),
// seconds and CPU seconds per page and peak memory.
//   benchocr                      both, at the built-in line height
//   benchocr --line-heights 30,40  ours only, at each target line height
#include "bench/sampletext.h"
#include "bench/textpage.h"
#include "core/textlinescale.h"
#include "core/textrecognizer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <vector>

namespace {

struct Sample {
    QString name;
    bool chinese = false;
    bool clean = false;
    QSize size;
    QString jpeg;
    QString truth;
};

struct Run {
    bool ran = false;
    double accuracy = 0;
    double seconds = 0;
    double cpuSeconds = 0;
    double peakMb = 0;
    double scale = 1;
};

QStringList sentences(bool chinese)
{
    QStringList out;
    if (chinese)
        for (const char *s : sampletext::kChinese)
            out << QString::fromUtf8(s);
    else
        for (const char *s : sampletext::kEnglish)
            out << QString::fromUtf8(s);
    return out;
}

long statusKb(const char *field)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(strlen(field))).trimmed().split(' ').first().toLong();
    return 0;
}

double cpuSeconds(const rusage &usage)
{
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A page as a camera gives it: paper on a desk filling most of the frame,
// print about as large against the frame as a book page's.
Sample makeSample(const QString &folder, bool chinese, bool clean, const QSize &size, const QString &family)
{
    Sample sample;
    sample.chinese = chinese;
    sample.clean = clean;
    sample.size = size;
    // The camera's pages lie farther away: smaller print.
    const int pixelSize = size.width() / (clean ? 60 : 90);
    sample.name = QStringLiteral("%1 %2 %3px %4x%5 %6")
                      .arg(chinese ? "Chinese" : "Latin", family)
                      .arg(pixelSize)
                      .arg(size.width())
                      .arg(size.height())
                      .arg(clean ? "clean" : "camera");
    const QFont font = textpage::fontOf(family, pixelSize);
    // The sentences over and over, as many lines as the paper takes.
    const QStringList lines = textpage::wrapped(sentences(chinese) + sentences(chinese) + sentences(chinese), font,
                                                size.width() * 3 / 4, chinese);
    textpage::Look look;
    look.onDesk = true;
    if (!clean) {
        look.shading = 70;
        look.blurPasses = 1;
        look.noise = 10;
    }
    const textpage::Page page = textpage::draw(size, lines, font, look);
    QStringList drawn;
    for (const textpage::Line &line : page.lines)
        drawn << line.text;
    sample.truth = drawn.join('\n');
    sample.jpeg = QStringLiteral("%1/%2.jpg").arg(folder, QString(sample.name).replace(' ', '_'));
    page.rgb.save(sample.jpeg, "JPG", 92);
    return sample;
}

Run runOurs(TextRecognizer &recognizer, const Sample &sample)
{
    QFile clear("/proc/self/clear_refs"); // 5: the peak starts again from now
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    clear.close();
    rusage before = {}, after = {};
    getrusage(RUSAGE_SELF, &before);
    QElapsedTimer timer;
    timer.start();
    PageText text;
    const TextRecognizer::Result result = recognizer.recognizeFile(sample.jpeg, text);
    Run run;
    run.seconds = double(timer.nsecsElapsed()) / 1e9;
    getrusage(RUSAGE_SELF, &after);
    run.cpuSeconds = cpuSeconds(after) - cpuSeconds(before);
    run.peakMb = double(statusKb("VmHWM:")) / 1024.0;
    run.ran = result == TextRecognizer::Result::Recognized;
    run.scale = recognizer.lastScale();
    QString read;
    for (const TextLine &line : text.lines) {
        for (const TextWord &word : line.words)
            read += QString::fromStdString(word.text);
        read += '\n';
    }
    run.accuracy = textpage::accuracy(read, sample.truth);
    return run;
}

// The command with its own peak resident set and CPU time from wait4.
Run runCommand(const Sample &sample)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const QByteArray jpeg = sample.jpeg.toLocal8Bit();
    QElapsedTimer timer;
    timer.start();
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        execlp("tesseract", "tesseract", jpeg.constData(), "-", "-l", "chi_sim+eng", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    QByteArray out;
    char buffer[4096];
    for (ssize_t got; (got = read(fds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, int(got));
    close(fds[0]);
    int status = 0;
    rusage usage = {};
    Run run;
    if (child < 0 || wait4(child, &status, 0, &usage) != child)
        return run;
    run.seconds = double(timer.nsecsElapsed()) / 1e9;
    run.ran = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.cpuSeconds = cpuSeconds(usage);
    run.peakMb = double(usage.ru_maxrss) / 1024.0;
    run.accuracy = textpage::accuracy(QString::fromUtf8(out), sample.truth);
    return run;
}

struct Tally {
    double accuracy = 0, seconds = 0, count = 0;
    void add(const Run &run)
    {
        accuracy += run.accuracy;
        seconds += run.seconds;
        ++count;
    }
    double meanAccuracy() const { return count ? 100.0 * accuracy / count : 0; }
    double meanSeconds() const { return count ? seconds / count : 0; }
};

QString groupOf(const Sample &sample)
{
    return QStringLiteral("%1 %2 %3").arg(sample.chinese ? "Chinese" : "Latin", sample.clean ? "clean" : "camera")
        .arg(sample.size.width());
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::vector<int> targets;
    const QStringList args = app.arguments();
    const int sweep = int(args.indexOf(QStringLiteral("--line-heights")));
    if (sweep > 0 && sweep + 1 < args.size())
        for (const QString &value : args[sweep + 1].split(','))
            targets.push_back(value.toInt());
    const bool withCommand = targets.empty();
    if (targets.empty())
        targets.push_back(TextLineScale::kBestLineHeight);

    QTemporaryDir folder;
    std::vector<Sample> samples;
    for (const QSize size : {QSize(1920, 1080), QSize(3264, 2448)})
        for (const bool clean : {true, false}) {
            samples.push_back(makeSample(folder.path(), true, clean, size, QStringLiteral("WenQuanYi Micro Hei")));
            samples.push_back(makeSample(folder.path(), false, clean, size,
                                         clean ? QStringLiteral("DejaVu Serif") : QStringLiteral("DejaVu Sans")));
        }

    TextRecognizer recognizer;
    if (!recognizer.load()) {
        std::printf("recogniser cannot start: %s\n", recognizer.error().c_str());
        return 1;
    }
    for (const int target : targets) {
        recognizer.setTargetLineHeight(target);
        std::printf("\ntarget line height %d px%s\n", target, withCommand ? ", against the tesseract command" : "");
        std::printf("%-50s %6s %5s %7s %7s %7s", "page", "scale", "acc%", "s", "cpu s", "peakMB");
        if (withCommand)
            std::printf(" | %5s %7s %7s %7s %6s", "cmd%", "s", "cpu s", "peakMB", "gap");
        std::printf("\n");
        std::map<QString, std::pair<Tally, Tally>> groups;
        for (const Sample &sample : samples) {
            const Run ours = runOurs(recognizer, sample);
            std::printf("%-50s %6.2f %5.1f %7.2f %7.2f %7.0f", qPrintable(sample.name), ours.scale,
                        100 * ours.accuracy, ours.seconds, ours.cpuSeconds, ours.peakMb);
            groups[groupOf(sample)].first.add(ours);
            if (withCommand) {
                const Run command = runCommand(sample);
                groups[groupOf(sample)].second.add(command);
                if (command.ran)
                    std::printf(" | %5.1f %7.2f %7.2f %7.0f %+6.1f", 100 * command.accuracy, command.seconds,
                                command.cpuSeconds, command.peakMb, 100 * (ours.accuracy - command.accuracy));
                else
                    std::printf(" | the tesseract command did not run");
            }
            std::printf("\n");
            std::fflush(stdout);
        }
        std::printf("%-28s %8s %8s", "group", "acc%", "s/page");
        if (withCommand)
            std::printf(" %8s %8s %8s", "cmd%", "s/page", "gap pp");
        std::printf("\n");
        for (const auto &[group, tallies] : groups) {
            std::printf("%-28s %8.1f %8.2f", qPrintable(group), tallies.first.meanAccuracy(),
                        tallies.first.meanSeconds());
            if (withCommand)
                std::printf(" %8.1f %8.2f %+8.1f", tallies.second.meanAccuracy(), tallies.second.meanSeconds(),
                            tallies.first.meanAccuracy() - tallies.second.meanAccuracy());
            std::printf("\n");
        }
    }
    std::printf("\ntargets: >= 97 %% characters on clean pages, <= 4 s per 1920x1080 page on 2 cores, "
                "at most 2 points below the command\n");
    return 0;
}
