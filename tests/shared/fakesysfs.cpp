#include "tests/shared/fakesysfs.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>

FakeSysfs::FakeSysfs()
{
    char pattern[] = "/tmp/quillo-sysfs-XXXXXX";
    if (::mkdtemp(pattern))
        m_root = pattern;
}

FakeSysfs::~FakeSysfs()
{
    std::error_code ignored;
    if (!m_root.empty())
        std::filesystem::remove_all(m_root, ignored);
}

namespace {
void writeText(const std::string &path, const std::string &text)
{
    std::ofstream(path) << text << "\n";
}
} // namespace

void FakeSysfs::addNode(const std::string &node, const std::string &usbDevice, const std::string &vendor,
                        const std::string &product, const std::string &serial, int interface,
                        const std::string &removable, const std::string &usbProductName)
{
    namespace fs = std::filesystem;
    const std::string deviceDir = m_root + "/devices/" + usbDevice;
    const std::string interfaceDir = deviceDir + "/" + usbDevice + ":1." + std::to_string(interface);
    fs::create_directories(interfaceDir);
    if (!vendor.empty()) {
        writeText(deviceDir + "/idVendor", vendor);
        writeText(deviceDir + "/idProduct", product);
        writeText(deviceDir + "/removable", removable);
        if (!serial.empty())
            writeText(deviceDir + "/serial", serial);
        if (!usbProductName.empty())
            writeText(deviceDir + "/product", usbProductName);
    }
    const std::string nodeDir = m_root + "/class/video4linux/" + node;
    fs::create_directories(nodeDir);
    writeText(nodeDir + "/name", "sysfs name of " + node);
    std::error_code ignored;
    fs::remove(nodeDir + "/device", ignored);
    fs::create_directory_symlink(interfaceDir, nodeDir + "/device");
}

void FakeSysfs::removeNode(const std::string &node)
{
    std::error_code ignored;
    std::filesystem::remove_all(m_root + "/class/video4linux/" + node, ignored);
}
