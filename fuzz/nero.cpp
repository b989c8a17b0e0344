// Nero images: the first eight bytes (big-endian) say how many zero bytes
// of sectors come before the rest, which is the end of the file (the chunk
// table and the footer).
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 8)
        return 0;
    std::uint64_t prefix = 0;
    for (int i = 0; i < 8; ++i)
        prefix = prefix << 8 | data[i];
    const auto file = std::make_shared<tavero::fuzz::ZeroPrefixed>(std::int64_t(prefix % (std::uint64_t(1) << 40)),
                                                                  tavero::fuzz::bytes(data + 8, size - 8));
    tavero::ImageLayout layout;
    QString error;
    if (tavero::readNeroImage(file, &layout, &error))
        tavero::fuzz::walk(std::move(layout));
    return 0;
}
