#pragma once
// The ISO 9660 directory of a disc, read by code of our own.
//
// Images come from anywhere, and libiso9660 (Debian 12's 2.1.0) trusts the
// lengths and sizes that directory records give. This reader checks every
// one against the sector it sits in and against the disc before using it,
// keeps to fixed limits (folder size, depth, number of entries) and visits
// each folder's sectors once, so a crafted image costs a message, never
// memory or time. It reads primary names only (no Joliet, no Rock Ridge):
// what a Video CD player needs.

#include "disc/SectorSource.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace tavero {

struct DiscEntry {
    QString name;            // as the disc records it, without ";1"
    int parent = -1;         // index of the folder that holds it
    bool folder = false;
    bool form2 = false;      // its data sits in Mode 2 Form 2 sectors
    std::uint32_t lsn = 0;   // first sector
    std::uint32_t size = 0;  // bytes, as the directory gives them
};

struct DiscTree {
    QString volumeId;
    std::vector<DiscEntry> entries;   // entries[0] is the top folder

    // "MPEGAV/AVSEQ01.DAT" for an entry; "" for the top folder.
    QString path(int index) const;
    // The entry a relative path names, each name matched without regard to
    // case or to a ";1" version; -1 when there is none.
    int find(const QString &relative) const;
    int child(int folder, const QString &name) const;
    // Sectors the entry's data takes on the disc.
    static std::uint32_t sectorsOf(const DiscEntry &e) { return (e.size + 2047u) / 2048u; }
};

// Reads the 2048 data bytes of the Form 1 sector `lsn`.
using BlockReader = std::function<bool(std::int64_t lsn, unsigned char *block)>;

// `sectorCount` (or -1) bounds where the directory may lie. Sectors that
// hold no ISO 9660 file system at all fail as NotAnImage, when asked; a
// damaged one fails as Other.
bool readIsoTree(const BlockReader &read, std::int64_t sectorCount, DiscTree *tree, QString *error,
                 OpenFailure *why = nullptr);

} // namespace tavero
