// Files of bare sectors (a .bin alone, CloneCD's .img, Alcohol's .mdf):
// the layout found, then the whole disc read from it: the directory, the
// first track's start, each track's entry points.
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    tavero::ImageLayout layout;
    QString error;
    if (tavero::readRawImage(std::make_shared<tavero::MemoryBytes>(tavero::fuzz::bytes(data, size)), &layout, &error))
        tavero::fuzz::walk(std::move(layout));
    return 0;
}
