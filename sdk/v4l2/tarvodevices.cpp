#include "sdk/v4l2/tarvodevices.h"

#include <algorithm>
#include <cctype>

namespace orvix {
namespace {

// To add a model: append its USB ids to kTarvoIds (productId 0 accepts every
// product of that vendor), or, for units sold under a reseller's ids, a text
// that appears in their card name or USB product string to kTarvoNames
// (matched without regard to case). Keep one line per model with its name.
struct UsbId {
    uint16_t vendorId;
    uint16_t productId; // 0: any product of the vendor
    const char *model;
};

const UsbId kTarvoIds[] = {
    {0x3c2e, 0x0000, "Tarvo Imaging, every product"},
    {0x1b3f, 0x2247, "Tarvo T5 (OEM module ids)"},
    {0x1b3f, 0x2248, "Tarvo T8 (OEM module ids)"},
};

const char *const kTarvoNames[] = {
    "tarvo",
};

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool nameMatches(const std::string &name)
{
    if (name.empty())
        return false;
    const std::string folded = lower(name);
    for (const char *pattern : kTarvoNames) {
        if (folded.find(pattern) != std::string::npos)
            return true;
    }
    return false;
}

} // namespace

bool isTarvoDevice(uint16_t vendorId, uint16_t productId, const std::string &cardName,
                   const std::string &usbProduct)
{
    if (vendorId != 0) {
        for (const UsbId &id : kTarvoIds) {
            if (id.vendorId == vendorId && (id.productId == 0 || id.productId == productId))
                return true;
        }
    }
    return nameMatches(cardName) || nameMatches(usbProduct);
}

} // namespace orvix
