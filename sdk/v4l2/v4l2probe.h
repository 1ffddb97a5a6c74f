// Finding UVC cameras: sysfs for the nodes and their USB device, QUERYCAP
// for what a node can do, ENUM_FMT / ENUM_FRAMESIZES for what it offers.
#ifndef ORVIX_V4L2PROBE_H
#define ORVIX_V4L2PROBE_H

#include "sdk/backend.h"
#include "sdk/v4l2/v4l2io.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvix {

struct V4l2FormatInfo {
    uint32_t fourcc = 0;
    std::string name; // the FourCC as text, e.g. "MJPG"
    std::vector<Resolution> sizes;
};

struct V4l2DeviceInfo {
    std::string nodePath; // e.g. /dev/video0
    std::string name;     // the driver's card name
    bool accessible = false;
    bool tarvo = false;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    // Who the camera is, whatever node number it gets: the USB interface
    // ("1-1.2:1.0", bus path and interface) and the serial number, if any.
    // Empty for a camera that is not on USB.
    std::string usbInterface;
    std::string serial;
    bool builtIn = false; // wired inside the machine, or not on USB
    std::vector<V4l2FormatInfo> formats; // only formats we can decode
};

// "MJPG", "YUYV": the FourCC without trailing blanks.
std::string fourccName(uint32_t fourcc);
// True for the formats the backend can turn into R,G,B.
bool isDecodableFormat(uint32_t fourcc);

// Fewer pixels first: the order of every size list.
bool byArea(const Resolution &a, const Resolution &b);

// A stepwise or continuous range offered as a list: the common picture
// sizes that fit the range and its steps, then the maximum. Ascending.
std::vector<Resolution> expandFrameSizeRange(int minWidth, int maxWidth, int stepWidth,
                                             int minHeight, int maxHeight, int stepHeight);

// Formats and sizes of an open capture node, decodable formats only,
// compressed ones first (they reach the large sizes at a usable frame rate).
std::vector<V4l2FormatInfo> queryFormats(V4l2Io &io, int fd);

// Every camera under sysfsRoot/class/video4linux with a format we can
// decode (or that this user may not open), one entry per camera (its capture
// and metadata nodes count once). Tarvo cameras first, then other removable
// ones, then built-in ones; within each, by USB port, so the order is the
// same from run to run. Nodes are opened in devRoot.
std::vector<V4l2DeviceInfo> probeV4l2Devices(V4l2Io &io, const std::string &sysfsRoot,
                                             const std::string &devRoot);

// The capture node of `camera` as it is plugged in now, found by its USB
// identity (by serial number on any port, else on the same port); empty
// when it is not there. A camera that is not on USB keeps its node.
std::string findCameraNode(V4l2Io &io, const std::string &sysfsRoot, const std::string &devRoot,
                           const V4l2DeviceInfo &camera);

} // namespace orvix

#endif
