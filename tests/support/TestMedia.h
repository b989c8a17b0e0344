#pragma once
// Media made at test time with ffmpeg's command-line tool, cached per build
// tree (TAVERO_TEST_TMP) so each clip is made once for the whole suite.

#include <QList>
#include <QString>
#include <functional>

namespace tavero::test {

struct TestMedia {
    // PAL MPEG-1 program stream (352x288, 25 fps, MP2 sound).
    static QString mpegClip(double seconds = 1.0);
    // The same stream as a Video CD track: RIFF/CDXA header and raw 2352-byte mode-2 sectors.
    static QString vcdTrack(double seconds = 1.0);
    static QString audioOnly(double seconds = 1.0);
    // mpegClip's picture over a karaoke song: 440 Hz on the left, 660 Hz on the right.
    static QString karaokeClip(double seconds = 1.0);
    // Of each channel of a 16-bit WAV file, which tone (440, 660 or 880 Hz) sounds in its last
    // half second but a quarter; 0 for silence, nothing for no such file or under half a second.
    static QList<int> tones(const QString &wavPath);
    static QString randomBytes();
    static QString emptyFile();
    // The stream cut off after `fraction` of its bytes.
    static QString truncatedClip(double fraction = 0.5);
    // Wraps an MPEG program stream in Video CD sectors.
    static bool writeVcdTrack(const QString &mpegPath, const QString &datPath);
    // A real Video CD image, made by vcdimager's tools from two copies of mpegClip(2.0) as tracks, volume label
    // TESTVCD: `kind` "cue" (the cue sheet; its .bin lies beside it), "bin" (that .bin alone), "nrg", "toc"
    // (cdrdao's, whose tracks read as zeros), "2336" (a cue sheet of 2336-byte sectors with one track, label T2336),
    // "2336bin", "svcd" (a Super Video CD's cue sheet: two 2-s MPEG-2 tracks with two audio streams each, 440 and 880
    // Hz, TESTSVCD) or "chapters" (a .bin of one 12-s track with entry points at 0, 4 and 8 s, label CHAPTERS) or
    // "svcd chapters" (the same as a Super Video CD).
    static QString vcdImage(const QString &kind);
    // Folder of generated media.
    static QString dir();
    // The file `name` of the batch of media `batch`, all made by `make` (which writes them into the folder it
    // is given) the first time, aside, and moved into place whole: test programs run in parallel.
    static QString inBatch(const QString &batch, const QString &name, const std::function<bool(const QString &)> &make);
};

} // namespace tavero::test
