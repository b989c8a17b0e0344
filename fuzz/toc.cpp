// cdrdao tables of contents: any text, its data files of sizes the names choose.
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    tavero::ImageLayout layout;
    QString error;
    if (tavero::readTocFile(tavero::fuzz::bytes(data, size), tavero::fuzz::zeroFiles(), &layout, &error))
        tavero::fuzz::walk(std::move(layout));
    return 0;
}
