// What the command line asks of the program, decided before Qt starts so that
// --help and --version need no display, no single-instance guard and no camera.
#ifndef QUILLO_COMMANDLINE_H
#define QUILLO_COMMANDLINE_H

#include <cstdio>
#include <string>
#include <vector>

class CommandLine
{
public:
    enum class Action { Run, ShowHelp, ShowVersion, Fail };

    // Reads argv[1..argc-1]. Qt's own options (-platform, -style, ...) are
    // left for QApplication; the first argument of ours decides. Anything
    // else, such as a file name a launcher passes, is ignored: the program
    // takes none, and must start all the same.
    static CommandLine parse(int argc, const char *const *argv);

    Action action() const { return m_action; }
    // For Fail: one line saying what was wrong, without a newline.
    const std::string &error() const { return m_error; }
    // One line for each ignored argument, without newlines.
    const std::vector<std::string> &ignored() const { return m_ignored; }
    // Names the ignored arguments, one line each.
    void reportIgnored(std::FILE *err) const;

    // Prints the help, the version or the error and returns the exit code
    // (0, or 2 for a Qt option without its value). Only for actions other
    // than Run.
    int answer(std::FILE *out, std::FILE *err) const;

    static std::string helpText();
    static std::string versionText();

private:
    Action m_action = Action::Run;
    std::string m_error;
    std::vector<std::string> m_ignored;
};

#endif
