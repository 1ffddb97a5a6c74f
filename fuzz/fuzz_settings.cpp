// A settings file of arbitrary bytes, read the way the program reads it: the
// store for every key and as one value with the readers' conversions, and the
// settings window presetting its controls from it.
#include "settings/ccfgcontrol.h"
#include "core/settings.h"
#include "settings/setwindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

QApplication *app()
{
    static int argc = 1;
    static char arg0[] = "fuzz_settings";
    static char *argv[] = {arg0, nullptr};
    static QApplication *instance = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static QTemporaryDir home;
        qputenv("HOME", home.path().toUtf8());
        return new QApplication(argc, argv);
    }();
    return instance;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    app();
    QFile file(CCfgControl::settingsFilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    file.close();

    CCfgControl cfg;
    for (const Settings::Row &row : Settings::kTable) {
        QString value = "unchanged";
        if (cfg.readValue(row.name, value) != 0)
            std::abort(); // the file exists, so every read must succeed
        volatile int n = value.toInt();
        (void)n;
    }
    const Settings::Stored whole = cfg.read();
    if (!whole.fileExists)
        std::abort();

    SetWindow window;
    window.InitUI();
    window.InitUIData(1, {"Cam A", "Cam B"}, {"1920x1080", "1280x720"}, {"MJPG", "YUYV"});
    return 0;
}
