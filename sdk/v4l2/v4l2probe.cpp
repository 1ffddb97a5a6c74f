#include "sdk/v4l2/v4l2probe.h"

#include "sdk/v4l2/tarvodevices.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace orvix {
namespace {

// Sizes document cameras and webcams commonly offer, ascending by area.
const Resolution kCommonSizes[] = {
    {320, 240},   {640, 480},   {800, 600},   {1024, 768},  {1280, 720},  {1280, 960},
    {1600, 1200}, {1920, 1080}, {2048, 1536}, {2592, 1944}, {3264, 2448}, {3840, 2160},
    {4160, 3120}, {4208, 3120}, {4656, 3496}, {5120, 3840},
};

bool fitsStep(int value, int minimum, int maximum, int step)
{
    if (value < minimum || value > maximum)
        return false;
    return step <= 1 || (value - minimum) % step == 0;
}

int nodeNumber(const std::string &entry)
{
    return std::atoi(entry.c_str() + 5);
}

bool isVideoNodeName(const std::string &entry)
{
    if (entry.size() <= 5 || entry.compare(0, 5, "video") != 0)
        return false;
    return std::all_of(entry.begin() + 5, entry.end(), [](char c) { return c >= '0' && c <= '9'; });
}

uint16_t readHexId(V4l2Io &io, const std::string &path)
{
    std::string text;
    if (!io.readFile(path, text))
        return 0;
    return static_cast<uint16_t>(std::strtoul(text.c_str(), nullptr, 16));
}

std::string cardName(const v4l2_capability &cap)
{
    const char *card = reinterpret_cast<const char *>(cap.card);
    return std::string(card, strnlen(card, sizeof cap.card));
}

// Drivers without frame-size enumeration still answer TRY_FMT with the
// nearest size they have: the common sizes and a huge one (for the largest)
// are asked, and the answers are the sizes.
std::vector<Resolution> triedFrameSizes(V4l2Io &io, int fd, uint32_t fourcc)
{
    std::vector<Resolution> sizes;
    std::vector<Resolution> asks(std::begin(kCommonSizes), std::end(kCommonSizes));
    asks.push_back({16384, 16384});
    for (const Resolution &ask : asks) {
        v4l2_format format;
        std::memset(&format, 0, sizeof format);
        format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        format.fmt.pix.width = static_cast<uint32_t>(ask.width);
        format.fmt.pix.height = static_cast<uint32_t>(ask.height);
        format.fmt.pix.pixelformat = fourcc;
        format.fmt.pix.field = V4L2_FIELD_ANY;
        if (io.ioctl(fd, VIDIOC_TRY_FMT, &format) != 0 || format.fmt.pix.pixelformat != fourcc)
            continue;
        const Resolution r{static_cast<int>(format.fmt.pix.width), static_cast<int>(format.fmt.pix.height)};
        if (r.width > 0 && r.height > 0 && std::find(sizes.begin(), sizes.end(), r) == sizes.end())
            sizes.push_back(r);
    }
    std::stable_sort(sizes.begin(), sizes.end(), byArea);
    return sizes;
}

std::vector<Resolution> frameSizes(V4l2Io &io, int fd, uint32_t fourcc)
{
    std::vector<Resolution> sizes;
    for (uint32_t index = 0; index < 256; ++index) {
        v4l2_frmsizeenum fs;
        std::memset(&fs, 0, sizeof fs);
        fs.index = index;
        fs.pixel_format = fourcc;
        if (io.ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &fs) != 0) {
            if (index == 0) {
                std::fprintf(stderr, "orvix v4l2: the driver lists no frame sizes of %s; asking for them instead\n",
                             fourccName(fourcc).c_str());
                return triedFrameSizes(io, fd, fourcc);
            }
            break;
        }
        if (fs.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
            Resolution r{static_cast<int>(fs.discrete.width), static_cast<int>(fs.discrete.height)};
            if (r.width > 0 && r.height > 0 && std::find(sizes.begin(), sizes.end(), r) == sizes.end())
                sizes.push_back(r);
            continue;
        }
        const v4l2_frmsize_stepwise &s = fs.stepwise;
        const bool continuous = fs.type == V4L2_FRMSIZE_TYPE_CONTINUOUS;
        return expandFrameSizeRange(s.min_width, s.max_width, continuous ? 1 : s.step_width,
                                    s.min_height, s.max_height, continuous ? 1 : s.step_height);
    }
    return sizes;
}

std::string baseName(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "1.0" of "1-1.2:1.0": which function of the USB device it is.
std::string interfacePart(const std::string &usbInterface)
{
    const size_t colon = usbInterface.find(':');
    return colon == std::string::npos ? std::string() : usbInterface.substr(colon + 1);
}

// The node's device link points at the camera's USB control interface,
// shared by its capture and metadata nodes (two camera functions of one
// composite device have an interface each); the USB device with its ids
// is the interface's parent. Either is empty when the link is missing.
struct SysfsPlace {
    std::string interfaceDir;
    std::string usbDir;
};

SysfsPlace sysfsPlace(V4l2Io &io, const std::string &nodeDir)
{
    return {io.canonicalPath(nodeDir + "/device"), io.canonicalPath(nodeDir + "/device/..")};
}

// Fills the USB ids, interface and serial of the node's camera; false when
// it is not a USB device. A built-in USB camera sits behind a port the
// firmware calls fixed or hard-wired; one not on USB is built in too.
bool readUsbIdentity(V4l2Io &io, const SysfsPlace &place, V4l2DeviceInfo &info)
{
    if (place.usbDir.empty() || io.canonicalPath(place.usbDir + "/idVendor").empty()) {
        info.builtIn = true;
        return false;
    }
    info.vendorId = readHexId(io, place.usbDir + "/idVendor");
    info.productId = readHexId(io, place.usbDir + "/idProduct");
    info.usbInterface = baseName(place.interfaceDir);
    io.readFile(place.usbDir + "/serial", info.serial);
    std::string removable, connectType;
    io.readFile(place.usbDir + "/removable", removable);
    io.readFile(place.usbDir + "/port/connect_type", connectType);
    info.builtIn = removable == "fixed" || connectType == "hardwired";
    return true;
}

bool canCapture(const v4l2_capability &cap)
{
    const uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    return (caps & V4L2_CAP_VIDEO_CAPTURE) && (caps & V4L2_CAP_STREAMING);
}

std::vector<std::string> videoNodes(V4l2Io &io, const std::string &classDir)
{
    std::vector<std::string> entries = io.listDirectory(classDir);
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [](const std::string &e) { return !isVideoNodeName(e); }),
                  entries.end());
    std::sort(entries.begin(), entries.end(),
              [](const std::string &a, const std::string &b) { return nodeNumber(a) < nodeNumber(b); });
    return entries;
}

struct NodeProbe {
    std::string entry;
    std::string cameraKey;
    V4l2DeviceInfo info;
    bool capture = false;
};

NodeProbe probeNode(V4l2Io &io, const std::string &classDir, const std::string &entry,
                    const std::string &devRoot)
{
    NodeProbe node;
    node.entry = entry;
    const std::string nodeDir = classDir + "/" + entry;
    const SysfsPlace place = sysfsPlace(io, nodeDir);
    node.cameraKey = place.interfaceDir.empty() ? nodeDir : place.interfaceDir;
    std::string usbProduct;
    if (readUsbIdentity(io, place, node.info))
        io.readFile(place.usbDir + "/product", usbProduct);
    node.info.nodePath = devRoot + "/" + entry;

    std::string sysfsName;
    io.readFile(nodeDir + "/name", sysfsName);
    node.info.name = sysfsName;

    const int fd = io.open(node.info.nodePath);
    if (fd == -EACCES || fd == -EPERM) {
        std::fprintf(stderr, "orvix v4l2: %s cannot be opened with this user's rights (%s); listed as inaccessible\n",
                     node.info.nodePath.c_str(), std::strerror(-fd));
        node.info.accessible = false;
        // Without the node we cannot tell capture from metadata; the USB
        // grouping keeps it to one entry per camera.
        node.capture = true;
    } else if (fd < 0) {
        std::fprintf(stderr, "orvix v4l2: %s cannot be opened (%s); skipped\n", node.info.nodePath.c_str(),
                     std::strerror(-fd));
        return node;
    } else {
        v4l2_capability cap;
        std::memset(&cap, 0, sizeof cap);
        if (io.ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0) {
            node.capture = canCapture(cap);
            const std::string card = cardName(cap);
            if (!card.empty())
                node.info.name = card;
            if (node.capture) {
                node.info.accessible = true;
                node.info.formats = queryFormats(io, fd);
            }
        } else {
            std::fprintf(stderr, "orvix v4l2: %s is not a V4L2 device; skipped\n", node.info.nodePath.c_str());
        }
        io.close(fd);
    }
    if (node.info.name.empty())
        node.info.name = entry;
    node.info.tarvo = isTarvoDevice(node.info.vendorId, node.info.productId, node.info.name, usbProduct);
    return node;
}

} // namespace

bool byArea(const Resolution &a, const Resolution &b)
{
    return static_cast<long long>(a.width) * a.height < static_cast<long long>(b.width) * b.height;
}

std::string fourccName(uint32_t fourcc)
{
    std::string name;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((fourcc >> (8 * i)) & 0xff);
        name.push_back(c >= 32 && c < 127 ? c : '?');
    }
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name;
}

bool isDecodableFormat(uint32_t fourcc)
{
    return fourcc == V4L2_PIX_FMT_MJPEG || fourcc == V4L2_PIX_FMT_JPEG || fourcc == V4L2_PIX_FMT_YUYV;
}

std::vector<Resolution> expandFrameSizeRange(int minWidth, int maxWidth, int stepWidth,
                                             int minHeight, int maxHeight, int stepHeight)
{
    std::vector<Resolution> sizes;
    if (maxWidth <= 0 || maxHeight <= 0 || minWidth > maxWidth || minHeight > maxHeight)
        return sizes;
    for (const Resolution &r : kCommonSizes) {
        if (fitsStep(r.width, minWidth, maxWidth, stepWidth) && fitsStep(r.height, minHeight, maxHeight, stepHeight))
            sizes.push_back(r);
    }
    const Resolution largest{maxWidth, maxHeight};
    if (std::find(sizes.begin(), sizes.end(), largest) == sizes.end())
        sizes.push_back(largest);
    std::stable_sort(sizes.begin(), sizes.end(), byArea);
    return sizes;
}

std::vector<V4l2FormatInfo> queryFormats(V4l2Io &io, int fd)
{
    std::vector<V4l2FormatInfo> compressed, raw;
    for (uint32_t index = 0; index < 64; ++index) {
        v4l2_fmtdesc desc;
        std::memset(&desc, 0, sizeof desc);
        desc.index = index;
        desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (io.ioctl(fd, VIDIOC_ENUM_FMT, &desc) != 0)
            break;
        if (desc.flags & V4L2_FMT_FLAG_EMULATED)
            continue;
        V4l2FormatInfo format;
        format.fourcc = desc.pixelformat;
        format.name = fourccName(desc.pixelformat);
        if (!isDecodableFormat(format.fourcc)) {
            std::fprintf(stderr, "orvix v4l2: format %s is not supported; not listed\n", format.name.c_str());
            continue;
        }
        format.sizes = frameSizes(io, fd, format.fourcc);
        if (format.sizes.empty()) {
            std::fprintf(stderr, "orvix v4l2: format %s offers no frame size; not listed\n", format.name.c_str());
            continue;
        }
        (format.fourcc == V4L2_PIX_FMT_YUYV ? raw : compressed).push_back(std::move(format));
    }
    compressed.insert(compressed.end(), std::make_move_iterator(raw.begin()), std::make_move_iterator(raw.end()));
    return compressed;
}

std::vector<V4l2DeviceInfo> probeV4l2Devices(V4l2Io &io, const std::string &sysfsRoot,
                                             const std::string &devRoot)
{
    const std::string classDir = sysfsRoot + "/class/video4linux";
    std::vector<NodeProbe> cameras;
    std::map<std::string, size_t> byCamera;
    for (const std::string &entry : videoNodes(io, classDir)) {
        NodeProbe node = probeNode(io, classDir, entry, devRoot);
        if (!node.capture)
            continue;
        if (node.info.accessible && node.info.formats.empty()) {
            // An infrared or metadata-like node: nothing we could show.
            std::fprintf(stderr, "orvix v4l2: %s (%s) offers no format we can decode; not listed\n",
                         node.info.nodePath.c_str(), node.info.name.c_str());
            continue;
        }
        auto seen = byCamera.find(node.cameraKey);
        if (seen == byCamera.end()) {
            byCamera[node.cameraKey] = cameras.size();
            cameras.push_back(std::move(node));
        } else if (!cameras[seen->second].info.accessible && node.info.accessible) {
            // A node we could not open stood in for the camera; a usable one wins.
            cameras[seen->second] = std::move(node);
        }
    }
    // The document camera first: the program starts on device 0.
    auto rank = [](const V4l2DeviceInfo &info) { return info.tarvo ? 0 : info.builtIn ? 2 : 1; };
    std::stable_sort(cameras.begin(), cameras.end(), [&](const NodeProbe &a, const NodeProbe &b) {
        if (rank(a.info) != rank(b.info))
            return rank(a.info) < rank(b.info);
        return a.info.usbInterface < b.info.usbInterface;
    });
    std::vector<V4l2DeviceInfo> result;
    for (NodeProbe &node : cameras)
        result.push_back(std::move(node.info));
    return result;
}

std::string findCameraNode(V4l2Io &io, const std::string &sysfsRoot, const std::string &devRoot,
                           const V4l2DeviceInfo &camera)
{
    if (camera.usbInterface.empty())
        return camera.nodePath;
    const std::string classDir = sysfsRoot + "/class/video4linux";
    std::string elsewhere;
    for (const std::string &entry : videoNodes(io, classDir)) {
        V4l2DeviceInfo seen;
        if (!readUsbIdentity(io, sysfsPlace(io, classDir + "/" + entry), seen))
            continue;
        if (seen.vendorId != camera.vendorId || seen.productId != camera.productId || seen.serial != camera.serial)
            continue;
        const bool samePort = seen.usbInterface == camera.usbInterface;
        // Without a serial number only the port tells two units apart.
        if (!samePort && (camera.serial.empty() ||
                          interfacePart(seen.usbInterface) != interfacePart(camera.usbInterface)))
            continue;
        // Its metadata node shares the interface; only the capture node will do.
        const std::string path = devRoot + "/" + entry;
        const int fd = io.open(path);
        if (fd < 0)
            continue;
        v4l2_capability cap;
        std::memset(&cap, 0, sizeof cap);
        const bool capture = io.ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0 && canCapture(cap);
        io.close(fd);
        if (!capture)
            continue;
        // Cheap cameras share one serial number; back on its own port, it is ours.
        if (samePort)
            return path;
        if (elsewhere.empty())
            elsewhere = path;
    }
    return elsewhere;
}

} // namespace orvix
