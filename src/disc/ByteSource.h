#pragma once
// The bytes of a file the disc reader looks at: a data file on disk, or
// bytes in memory for the tests and the fuzzers. The reader never opens a
// file itself; it is handed these.

#include <QByteArray>
#include <cstdint>
#include <cstring>

namespace tavero {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::int64_t size() const = 0;
    // All of `bytes` from `offset`, or false.
    virtual bool readAt(std::int64_t offset, void *out, std::size_t bytes) const = 0;
};

class MemoryBytes : public ByteSource {
public:
    explicit MemoryBytes(QByteArray bytes) : bytes_(std::move(bytes)) {}
    std::int64_t size() const override { return bytes_.size(); }
    bool readAt(std::int64_t offset, void *out, std::size_t bytes) const override
    {
        if (offset < 0 || offset > bytes_.size() || bytes > std::size_t(bytes_.size() - offset))
            return false;
        std::memcpy(out, bytes_.constData() + offset, bytes);
        return true;
    }

private:
    QByteArray bytes_;
};

} // namespace tavero
