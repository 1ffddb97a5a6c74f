#ifndef QUILLO_TESTS_FAKESYSFS_H
#define QUILLO_TESTS_FAKESYSFS_H

#include <string>

// A sysfs tree in a temporary folder: video nodes linked to interfaces of
// USB devices, as the kernel lays them out.
class FakeSysfs
{
public:
    FakeSysfs();
    ~FakeSysfs();
    FakeSysfs(const FakeSysfs &) = delete;
    FakeSysfs &operator=(const FakeSysfs &) = delete;

    const std::string &root() const { return m_root; }
    bool valid() const { return !m_root.empty(); }
    // `usbDevice` is the bus path ("1-1.2"); an empty vendor makes it a
    // platform device. `removable` is the USB attribute ("fixed" for built-in).
    void addNode(const std::string &node, const std::string &usbDevice, const std::string &vendor,
                 const std::string &product, const std::string &serial = std::string(), int interface = 0,
                 const std::string &removable = "removable", const std::string &usbProductName = std::string());
    void removeNode(const std::string &node);

private:
    std::string m_root;
};

#endif
