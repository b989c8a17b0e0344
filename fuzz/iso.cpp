// The ISO 9660 directory: the input is the disc's 2,048-byte blocks from
// the first volume descriptor (sector 16) on.
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    constexpr std::int64_t first = 16, block = tavero::kForm1Bytes;
    const std::int64_t blocks = std::int64_t(size) / block;
    const tavero::BlockReader read = [&](std::int64_t lsn, unsigned char *out) {
        if (lsn < first || lsn - first >= blocks)
            return false;
        std::memcpy(out, data + (lsn - first) * block, block);
        return true;
    };
    tavero::DiscTree tree;
    QString error;
    if (tavero::readIsoTree(read, first + blocks, &tree, &error)) {
        for (std::size_t i = 0; i < tree.entries.size(); ++i)
            tree.find(tree.path(int(i)));
    }
    return 0;
}
