#pragma once
// The kinds of disc image the program opens, by the ending of the file's
// name: what reads it, and the desktop's name for its type. The reader,
// the open dialog's filter and the desktop entry all take them from here.

#include <QString>
#include <array>

namespace tavero {

enum class ImageReader {
    CueSheet,
    TableOfContents,   // cdrdao's .toc
    Nero,
    Raw,               // bare sectors; a CloneCD .img or an Alcohol .mdf is one
    RawBeside,         // a descriptor whose sectors lie in a raw image beside it
};

struct ImageKind {
    const char *extension;   // without the dot, lower case
    ImageReader reader;
    const char *rawBeside;   // for RawBeside: the image's ending (".img")
    const char *mimeType;    // nullptr where the desktop names no type
};

inline constexpr std::array<ImageKind, 8> kImageKinds{{
    {"cue", ImageReader::CueSheet, nullptr, "application/x-cue"},
    {"nrg", ImageReader::Nero, nullptr, "application/x-nrg"},
    {"bin", ImageReader::Raw, nullptr, nullptr},
    {"toc", ImageReader::TableOfContents, nullptr, "application/x-cdrdao-toc"},
    {"img", ImageReader::Raw, nullptr, "application/x-raw-disk-image"},
    {"ccd", ImageReader::RawBeside, ".img", nullptr},   // CloneCD
    {"mdf", ImageReader::Raw, nullptr, nullptr},        // Alcohol's sectors
    {"mds", ImageReader::RawBeside, ".mdf", nullptr},   // Alcohol
}};

// The kind a file's name ends in; nullptr for none.
inline const ImageKind *imageKindOf(const QString &path)
{
    for (const ImageKind &kind : kImageKinds) {
        if (path.endsWith(QLatin1Char('.') + QLatin1String(kind.extension), Qt::CaseInsensitive))
            return &kind;
    }
    return nullptr;
}

} // namespace tavero
