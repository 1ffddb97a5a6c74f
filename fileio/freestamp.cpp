#include "fileio/freestamp.h"

#include <sys/stat.h>

namespace fileio {
namespace {

// Enough for a burst of scans or restored files; a folder holding more names
// in a row than this is refused rather than searched without end.
constexpr int kMaxSteps = 100000;

struct Fields
{
    int year, month, day, hour, minute, second, milli;
};

int digits(const std::string &s, size_t from, size_t count)
{
    int value = 0;
    for (size_t i = from; i < from + count; ++i)
        value = value * 10 + (s[i] - '0');
    return value;
}

int daysIn(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

bool parse(const std::string &s, Fields &f)
{
    if (s.size() != kStampDigits)
        return false;
    for (const char c : s) {
        if (c < '0' || c > '9')
            return false;
    }
    f = Fields{digits(s, 0, 4), digits(s, 4, 2), digits(s, 6, 2), digits(s, 8, 2),
               digits(s, 10, 2), digits(s, 12, 2), digits(s, 14, 3)};
    return f.month >= 1 && f.month <= 12 && f.day >= 1 && f.day <= daysIn(f.year, f.month) && f.hour < 24 &&
           f.minute < 60 && f.second < 60;
}

void appendDigits(std::string &out, int value, int width)
{
    std::string digits(static_cast<size_t>(width), '0');
    for (int i = width - 1; i >= 0; --i, value /= 10)
        digits[static_cast<size_t>(i)] = char('0' + value % 10);
    out += digits;
}

bool exists(const std::string &path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

} // namespace

bool isStamp(const std::string &text)
{
    Fields f;
    return parse(text, f);
}

std::string nextStamp(const std::string &stamp)
{
    Fields f;
    if (!parse(stamp, f))
        return std::string();
    if (++f.milli == 1000) {
        f.milli = 0;
        if (++f.second == 60) {
            f.second = 0;
            if (++f.minute == 60) {
                f.minute = 0;
                if (++f.hour == 24) {
                    f.hour = 0;
                    if (++f.day > daysIn(f.year, f.month)) {
                        f.day = 1;
                        if (++f.month > 12) {
                            f.month = 1;
                            if (++f.year > 9999)
                                return std::string();
                        }
                    }
                }
            }
        }
    }
    std::string out;
    const int fields[][2] = {{f.year, 4}, {f.month, 2}, {f.day, 2}, {f.hour, 2},
                             {f.minute, 2}, {f.second, 2}, {f.milli, 3}};
    for (const auto &field : fields)
        appendDigits(out, field[0], field[1]);
    return out;
}

std::string freeStamp(const std::string &stamp, const std::vector<StampedName> &names,
                      const std::function<bool(const std::string &)> &inUse)
{
    std::string candidate = stamp;
    for (int step = 0; step < kMaxSteps && isStamp(candidate); ++step) {
        bool taken = inUse && inUse(candidate);
        for (size_t i = 0; !taken && i < names.size(); ++i)
            taken = exists(names[i].folder + "/" + candidate + names[i].suffix);
        if (!taken)
            return candidate;
        candidate = nextStamp(candidate);
    }
    return std::string();
}

std::string nextFreeStampedPath(const std::string &path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() <= kStampDigits || name[kStampDigits] != '.')
        return std::string();
    const std::string stamp = nextStamp(name.substr(0, kStampDigits));
    const std::string suffix = name.substr(kStampDigits);
    const std::string found = stamp.empty() ? stamp : freeStamp(stamp, {StampedName{folder, suffix}});
    if (found.empty())
        return found;
    return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + found + suffix;
}

} // namespace fileio
