#include "jpegcodec.h"

#include "camsdk.h"

namespace orvix {
namespace jpeg {

int decode(const uint8_t *, size_t, Frame &out, int, int)
{
    out = Frame();
    return ORVIX_E_DECODE;
}

int peekSize(const uint8_t *, size_t, int &width, int &height)
{
    width = height = 0;
    return ORVIX_E_DECODE;
}

int encode(const Frame &, int, std::vector<uint8_t> &out, bool)
{
    out.clear();
    return ORVIX_E_ARGUMENT;
}

int writeFileAtomic(const std::string &, const std::vector<uint8_t> &)
{
    return ORVIX_E_IO;
}

} // namespace jpeg
} // namespace orvix
