// The simulated cameras described by ORVIX_SIMULATED_CAMERAS:
// "NAME|WxH,WxH|flag,flag;NAME|...". Flags: tarvo, noaccess, busy, failcapture,
// scene=PATH (a JPEG or PNG shown instead of the synthetic desk, or a folder
// of them turned through as pages), hold=SECONDS (how long each page of a
// folder lies still).
#ifndef ORVIX_SIMULATEDSPEC_H
#define ORVIX_SIMULATEDSPEC_H

#include "sdk/backend.h"

#include <string>
#include <vector>

namespace orvix {

struct SimulatedCameraSpec {
    std::string name;
    std::vector<Resolution> resolutions; // in listing order, no repeats
    bool tarvo = false;
    bool noAccess = false;
    bool busy = false; // listed, but another program streams from it
    bool failCapture = false;
    std::string scenePath; // empty: the synthetic desk
    double holdSeconds = 3.0;
};

// Bounds of hold=SECONDS.
constexpr double kMinHoldSeconds = 0.1;
constexpr double kMaxHoldSeconds = 3600;

// Sizes outside these bounds are refused as absurd.
constexpr int kMinSimulatedSide = 16;
constexpr int kMaxSimulatedSide = 16384;
constexpr long long kMaxSimulatedPixels = 40LL * 1000 * 1000;

// Parses the whole list. Malformed entries are left out; each gets one line
// in `problems` naming the entry and what is wrong with it.
std::vector<SimulatedCameraSpec> parseSimulatedCameras(const std::string &text,
                                                       std::vector<std::string> &problems);

} // namespace orvix

#endif
