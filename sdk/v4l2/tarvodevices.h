// Which cameras belong to the Tarvo family. The start-up treats them
// differently (automatic cropping is on by default for them).
#ifndef ORVIX_TARVODEVICES_H
#define ORVIX_TARVODEVICES_H

#include <cstdint>
#include <string>

namespace orvix {

// vendorId/productId from the USB descriptor (0 when the node is not a USB
// device); names are the driver's card name and the USB product string,
// either may be empty.
bool isTarvoDevice(uint16_t vendorId, uint16_t productId, const std::string &cardName,
                   const std::string &usbProduct);

} // namespace orvix

#endif
