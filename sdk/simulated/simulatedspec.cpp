#include "sdk/simulated/simulatedspec.h"

#include <algorithm>
#include <cctype>

namespace orvix {
namespace {

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            return parts;
        start = at + 1;
    }
}

std::string trimmed(const std::string &s)
{
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Digits only; false on anything else or on overflow past the absurd bound.
bool parseSide(const std::string &text, long long &value)
{
    if (text.empty() || text.size() > 9)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// A plain decimal such as 2 or 2.5, within the hold bounds.
bool parseSeconds(const std::string &text, double &value)
{
    if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789.") != std::string::npos ||
        std::count(text.begin(), text.end(), '.') > 1 || text == ".")
        return false;
    // By hand: std::stod would follow the program's locale (a comma in many).
    double whole = 0, fraction = 0, scale = 1;
    bool afterPoint = false;
    for (char c : text) {
        if (c == '.') {
            afterPoint = true;
        } else if (afterPoint) {
            scale /= 10;
            fraction += (c - '0') * scale;
        } else {
            whole = whole * 10 + (c - '0');
        }
    }
    value = whole + fraction;
    return value >= kMinHoldSeconds && value <= kMaxHoldSeconds;
}

bool parseResolution(const std::string &token, Resolution &out, std::string &why)
{
    const std::string t = lower(trimmed(token));
    const size_t x = t.find('x');
    long long w = 0, h = 0;
    if (x == std::string::npos || !parseSide(trimmed(t.substr(0, x)), w) ||
        !parseSide(trimmed(t.substr(x + 1)), h)) {
        why = "resolution \"" + trimmed(token) + "\" is not WIDTHxHEIGHT";
        return false;
    }
    if (w < kMinSimulatedSide || h < kMinSimulatedSide || w > kMaxSimulatedSide ||
        h > kMaxSimulatedSide || w * h > kMaxSimulatedPixels) {
        why = "resolution \"" + trimmed(token) + "\" is out of range";
        return false;
    }
    out.width = static_cast<int>(w);
    out.height = static_cast<int>(h);
    return true;
}

bool parseEntry(const std::string &entry, SimulatedCameraSpec &spec, std::string &why)
{
    const std::vector<std::string> parts = split(entry, '|');
    if (parts.size() != 3) {
        why = "expected NAME|RESOLUTIONS|FLAGS";
        return false;
    }
    spec.name = trimmed(parts[0]);
    if (spec.name.empty()) {
        why = "empty name";
        return false;
    }
    for (const std::string &token : split(parts[1], ',')) {
        Resolution r;
        if (!parseResolution(token, r, why))
            return false;
        if (std::find(spec.resolutions.begin(), spec.resolutions.end(), r) == spec.resolutions.end())
            spec.resolutions.push_back(r);
    }
    for (const std::string &raw : split(parts[2], ',')) {
        const std::string flag = trimmed(raw);
        const std::string key = lower(flag);
        if (flag.empty())
            continue;
        if (key == "tarvo") {
            spec.tarvo = true;
        } else if (key == "noaccess") {
            spec.noAccess = true;
        } else if (key == "busy") {
            spec.busy = true;
        } else if (key == "failcapture") {
            spec.failCapture = true;
        } else if (key.compare(0, 6, "scene=") == 0 && flag.size() > 6) {
            spec.scenePath = flag.substr(6);
        } else if (key.compare(0, 5, "hold=") == 0) {
            if (!parseSeconds(trimmed(flag.substr(5)), spec.holdSeconds)) {
                why = "hold \"" + flag.substr(5) + "\" is not a number of seconds from 0.1 to 3600";
                return false;
            }
        } else {
            why = "unknown flag \"" + flag + "\"";
            return false;
        }
    }
    return true;
}

} // namespace

std::vector<SimulatedCameraSpec> parseSimulatedCameras(const std::string &text,
                                                       std::vector<std::string> &problems)
{
    std::vector<SimulatedCameraSpec> cameras;
    for (const std::string &entry : split(text, ';')) {
        if (trimmed(entry).empty())
            continue; // a trailing or doubled separator
        SimulatedCameraSpec spec;
        std::string why;
        if (parseEntry(entry, spec, why))
            cameras.push_back(std::move(spec));
        else
            problems.push_back("skipped simulated camera \"" + entry + "\": " + why);
    }
    return cameras;
}

} // namespace orvix
