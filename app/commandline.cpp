#include "app/commandline.h"

namespace {

// QApplication's options, with one dash or two; those in the first list
// take a value (as the next argument or after '=').
const char *const kQtOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon",
    "qwindowtitle", "session", "style", "stylesheet", "display", "geometry", "title", "name",
    "visual", "ncols", "cmap", "qmljsdebugger",
};
const char *const kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};

template <size_t N>
bool listed(const char *const (&names)[N], const std::string &name)
{
    for (const char *n : names)
        if (name == n)
            return true;
    return false;
}

// An argument as one line of text: control characters (a newline in a
// file name) become '?'.
std::string oneLine(std::string arg)
{
    for (char &c : arg)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return arg;
}

std::string usageError(const std::string &what)
{
    return "quillo: " + what + "; try 'quillo --help'";
}

} // namespace

CommandLine CommandLine::parse(int argc, const char *const *argv)
{
    CommandLine cl;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        if (arg == "-h" || arg == "--help") {
            cl.m_action = Action::ShowHelp;
            return cl;
        }
        if (arg == "-v" || arg == "--version") {
            cl.m_action = Action::ShowVersion;
            return cl;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            cl.m_ignored.push_back("quillo: ignoring argument '" + oneLine(arg) + "': Quillo opens no files");
            continue;
        }
        const size_t dashes = arg.compare(0, 2, "--") == 0 ? 2 : 1;
        const size_t equals = arg.find('=');
        const std::string name = arg.substr(dashes, equals == std::string::npos ? std::string::npos : equals - dashes);
        if (listed(kQtOptionsWithValue, name)) {
            if (equals == std::string::npos && ++i >= argc) {
                cl.m_action = Action::Fail;
                cl.m_error = usageError("option '" + arg + "' needs a value");
                return cl;
            }
            continue;
        }
        if (equals == std::string::npos && listed(kQtFlags, name))
            continue;
        cl.m_ignored.push_back("quillo: ignoring unknown option '" + oneLine(arg) + "'; try 'quillo --help'");
    }
    return cl;
}

void CommandLine::reportIgnored(std::FILE *err) const
{
    for (const std::string &line : m_ignored)
        std::fprintf(err, "%s\n", line.c_str());
}

int CommandLine::answer(std::FILE *out, std::FILE *err) const
{
    switch (m_action) {
    case Action::ShowHelp:
        std::fputs(helpText().c_str(), out);
        return 0;
    case Action::ShowVersion:
        std::fputs(versionText().c_str(), out);
        return 0;
    case Action::Fail:
        std::fprintf(err, "%s\n", m_error.c_str());
        return 2;
    case Action::Run:
        break;
    }
    return 0;
}

std::string CommandLine::versionText()
{
    return std::string("quillo ") + QUILLO_VERSION + "\n";
}

std::string CommandLine::helpText()
{
    return "Usage: quillo [-h | --help] [-v | --version] [Qt options]\n"
           "Capture pages with a USB document camera: watch the live picture, scan pages\n"
           "to JPG or single-page PDF files named by the capture time, and merge them\n"
           "into one PDF.\n"
           "\n"
           "Options:\n"
           "  -h, --help     show this help and exit\n"
           "  -v, --version  show the version and exit\n"
           "Qt's own options (-platform, -style, -display, ...) are passed on to Qt.\n"
           "\n"
           "Environment:\n"
           "  ORVIX_SIMULATED_CAMERAS  simulated cameras: NAME|WxH,...|FLAGS;...\n"
           "  ORVIX_V4L2=0             hide real (V4L2) cameras\n"
           "\n"
           "Settings are kept in ~/NorLastSetting.ini; scans go to the folder chosen in\n"
           "the settings window (the home folder until one is chosen). See quillo(1).\n";
}
