// Cue sheets and cdrdao tables of contents: text that names data files and
// says how the disc's tracks lie in them.

#include "disc/ImageLayout.h"

#include <QRegularExpression>
#include <algorithm>

namespace tavero {

namespace {

struct TrackMode {
    const char *name;
    SectorShape shape;
    int stride;
};

const TrackMode *findMode(const TrackMode *modes, std::size_t count, const QString &name)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (name.compare(QLatin1String(modes[i].name), Qt::CaseInsensitive) == 0)
            return &modes[i];
    }
    return nullptr;
}

// Opens the data files named, in the order of `names`; a name that
// occurs twice, or two names of one file, are one file.
bool openNamed(const DataFileFinder &find, const QString &kind, const QStringList &names, bool only,
               ImageLayout *layout, std::vector<int> *fileOf, QString *error)
{
    for (const QString &name : names) {
        QString why;
        std::shared_ptr<const ByteSource> file = find(name, only, &why);
        if (!file) {
            *error = QStringLiteral("the %1 names %2, %3").arg(kind, quoted(name), why);
            return false;
        }
        const auto known = std::find(layout->files.begin(), layout->files.end(), file);
        fileOf->push_back(int(known - layout->files.begin()));
        if (known == layout->files.end())
            layout->files.push_back(std::move(file));
    }
    return true;
}

// Fails with "the cue sheet is damaged at line 3: ..." and the like.
auto damagedAt(QString *error, const QString &kind)
{
    return [error, kind](int line, const QString &what) {
        *error = QStringLiteral("the %1 is damaged at line %2: %3").arg(kind).arg(line).arg(what);
        return false;
    };
}

// Moves every extent so that the first track's index 1 is sector 0, as on
// a disc; what lies before it (a pregap) falls below 0 and is never read.
void startAt(ImageLayout *layout, std::int64_t firstTrack)
{
    for (ImageExtent &e : layout->extents)
        e.lsn -= firstTrack;
}

// ---- Cue sheets

const TrackMode kCueModes[] = {
    {"AUDIO", SectorShape::Audio, 2352},      {"CDG", SectorShape::Audio, 2448},
    {"MODE1/2048", SectorShape::Form1, 2048}, {"MODE1/2352", SectorShape::Raw, 2352},
    {"MODE2/2048", SectorShape::Form1, 2048}, {"MODE2/2324", SectorShape::Form2, 2324},
    {"MODE2/2336", SectorShape::Mode2, 2336}, {"MODE2/2352", SectorShape::Raw, 2352},
    {"CDI/2336", SectorShape::Mode2, 2336},   {"CDI/2352", SectorShape::Raw, 2352},
};

struct CueTrack {
    int number = 0;
    const TrackMode *mode = nullptr;
    int file = 0;   // into the sheet's FILE entries
    int line = 0;
    std::int64_t index0 = -1, index1 = -1, pregap = -1, postgap = -1;
};

} // namespace

bool readCueSheet(const QByteArray &sheet, const DataFileFinder &find, ImageLayout *layout, QString *error)
{
    const QString notOne = QStringLiteral("it is not a cue sheet");
    QStringList lines;
    if (!sheetLines(sheet, notOne, &lines, error))
        return false;
    QStringList files;
    std::vector<CueTrack> tracks;
    std::int64_t lastTime = 0;   // times run forward through each file
    const auto damaged = damagedAt(error, QStringLiteral("cue sheet"));
    for (int i = 0; i < lines.size(); ++i) {
        const int line = i + 1;
        const QList<SheetWord> w = sheetWords(lines[i], false);
        const QString key = w.isEmpty() ? QString() : w[0].text.toUpper();
        CueTrack *track = tracks.empty() ? nullptr : &tracks.back();
        if (key == QLatin1String("FILE")) {
            // FILE name type; an unquoted name may hold blanks, the type being the last word.
            if (w.size() < 2 || w[1].text.isEmpty())
                return damaged(line, QStringLiteral("FILE names no file"));
            const QString type = w.size() > 2 ? w.last().text.toUpper() : QStringLiteral("BINARY");
            QString name = w[1].text;
            for (qsizetype k = 2; !w[1].quoted && k + 1 < w.size(); ++k)
                name += QLatin1Char(' ') + w[k].text;
            if (type != QLatin1String("BINARY") && type != QLatin1String("MOTOROLA"))
                return damaged(line, QStringLiteral("%1 is a file of type %2, which holds no disc's sectors")
                                         .arg(quoted(name), type));
            if (files.size() >= kMaxDataFiles)
                return damaged(line, QStringLiteral("it names more than %1 files").arg(kMaxDataFiles));
            files.append(name);
            lastTime = 0;
        } else if (key == QLatin1String("TRACK")) {
            bool ok = false;
            const int number = w.value(1).text.toInt(&ok);
            const TrackMode *mode = findMode(kCueModes, std::size(kCueModes), w.value(2).text);
            if (files.isEmpty())
                return damaged(line, QStringLiteral("a TRACK comes before any FILE"));
            if (!ok || number < 1 || number > kMaxTracks || (track && number <= track->number))
                return damaged(line, QStringLiteral("tracks are numbered upwards from 1 to %1").arg(kMaxTracks));
            if (!mode)
                return damaged(line, QStringLiteral("the track mode %1 is not known").arg(quoted(w.value(2).text)));
            tracks.push_back({number, mode, int(files.size()) - 1, line});
        } else if (key == QLatin1String("INDEX")) {
            bool ok = false;
            const int number = w.value(1).text.toInt(&ok);
            const std::int64_t at = msfSectors(w.value(2).text);
            if (!track)
                return damaged(line, QStringLiteral("an INDEX comes before any TRACK"));
            if (!ok || number < 0 || number > 99 || at < 0)
                return damaged(line, QStringLiteral("an INDEX is a number from 0 to 99 and a time mm:ss:ff"));
            // A track whose pregap ends the previous file goes on in the
            // new one: that pregap stays with the track before it.
            if (track->file != files.size() - 1 && track->index1 < 0) {
                track->file = int(files.size()) - 1;
                track->index0 = -1;
            }
            if (track->file != files.size() - 1 || at < lastTime)
                return damaged(line, QStringLiteral("the times of the indexes go backwards"));
            if ((number == 0 && (track->index0 >= 0 || track->index1 >= 0)) || (number == 1 && track->index1 >= 0)
                || (number > 1 && track->index1 < 0))
                return damaged(line, QStringLiteral("the indexes of track %1 are out of order").arg(track->number));
            if (number == 0)
                track->index0 = at;
            else if (number == 1)
                track->index1 = at;
            lastTime = at;
        } else if (key == QLatin1String("PREGAP") || key == QLatin1String("POSTGAP")) {
            const std::int64_t length = msfSectors(w.value(1).text);
            std::int64_t *gap = !track ? nullptr : key == QLatin1String("PREGAP") ? &track->pregap : &track->postgap;
            if (!gap || *gap >= 0 || length < 0)
                return damaged(line, QStringLiteral("a %1 belongs to a track, once, with a time mm:ss:ff").arg(key));
            *gap = length;
        }
        // REM, TITLE, PERFORMER, CATALOG, ISRC, FLAGS, SONGWRITER,
        // CDTEXTFILE and the like: nothing the sectors depend on.
    }
    if (tracks.empty())
        return (*error = notOne, false);
    QStringList used;   // the files that hold tracks, in order
    std::vector<int> usedOf(std::size_t(files.size()), -1);
    for (const CueTrack &t : tracks) {
        if (t.index1 < 0)
            return damaged(t.line, QStringLiteral("track %1 has no INDEX 01").arg(t.number));
        if (usedOf[std::size_t(t.file)] < 0) {
            usedOf[std::size_t(t.file)] = int(used.size());
            used.append(files[t.file]);
        }
    }
    std::vector<int> fileOf;
    if (!openNamed(find, QStringLiteral("cue sheet"), used, used.size() == 1, layout, &fileOf, error))
        return false;

    // Each file's time starts at 0; a track runs to the next track's first
    // index in the same file, the last one to the end of the file. Offsets
    // add up track by track, so tracks of other sector sizes may share a file.
    std::int64_t lsn = 0, firstTrack = 0, offset = 0;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const CueTrack &t = tracks[i];
        const CueTrack *before = i > 0 && tracks[i - 1].file == t.file ? &tracks[i - 1] : nullptr;
        const CueTrack *after = i + 1 < tracks.size() && tracks[i + 1].file == t.file ? &tracks[i + 1] : nullptr;
        const auto start = [](const CueTrack &c) { return c.index0 >= 0 ? c.index0 : c.index1; };
        const int file = fileOf[std::size_t(usedOf[std::size_t(t.file)])];
        offset = before ? offset + (start(t) - start(*before)) * before->mode->stride : start(t) * t.mode->stride;
        const std::int64_t size = layout->files[std::size_t(file)]->size();
        const std::int64_t sectors =
            after ? start(*after) - start(t) : std::max<std::int64_t>(0, (size - offset) / t.mode->stride);
        if (t.pregap > 0)
            layout->extents.push_back({lsn, t.pregap, -1, 0, t.mode->stride, t.mode->shape});
        lsn += std::max<std::int64_t>(0, t.pregap);
        if (i == 0)
            firstTrack = lsn + t.index1 - start(t);
        layout->extents.push_back({lsn, sectors, file, offset, t.mode->stride, t.mode->shape});
        lsn += sectors;
        if (t.postgap > 0)
            layout->extents.push_back({lsn, t.postgap, -1, 0, t.mode->stride, t.mode->shape});
        lsn += std::max<std::int64_t>(0, t.postgap);
    }
    startAt(layout, firstTrack);
    layout->firstTrackAudio = tracks.front().mode->shape == SectorShape::Audio;
    return true;
}

// ---- cdrdao tables of contents

namespace {

const TrackMode kTocModes[] = {
    {"AUDIO", SectorShape::Audio, 2352},       {"MODE1", SectorShape::Form1, 2048},
    {"MODE1_RAW", SectorShape::Raw, 2352},     {"MODE2", SectorShape::Mode2, 2336},
    {"MODE2_FORM1", SectorShape::Form1, 2048}, {"MODE2_FORM2", SectorShape::Form2, 2324},
    {"MODE2_FORM_MIX", SectorShape::Mode2, 2336}, {"MODE2_RAW", SectorShape::Raw, 2352},
};

struct TocWord {
    QString text;
    bool quoted;
    int line;
};

// A piece of a track: data from a file, or empty sectors.
struct TocPiece {
    int name = -1;   // into the names of the data files; -1 for empty sectors
    std::int64_t offset = 0, bytes = 0;
    int line = 0;
};

struct TocTrack {
    TrackMode mode{};
    std::vector<TocPiece> pieces;
    std::int64_t start = -1;   // sectors of pregap before index 1
};

bool isLength(const TocWord &w)
{
    static const QRegularExpression number(QStringLiteral("^\\d{1,12}$"));
    return !w.quoted && (number.match(w.text).hasMatch() || msfSectors(w.text) >= 0);
}

// A length or a position: "mm:ss:ff" in sectors, or a number of bytes
// (samples of four bytes in an audio track).
std::int64_t bytesOf(const TocWord &w, const TocTrack &t)
{
    const std::int64_t sectors = msfSectors(w.text);
    if (sectors >= 0)
        return sectors * t.mode.stride;
    return w.text.toLongLong() * (t.mode.shape == SectorShape::Audio ? 4 : 1);
}

std::int64_t sectorsOf(const TocTrack &t)
{
    std::int64_t sectors = 0;
    for (const TocPiece &p : t.pieces)
        sectors += (p.bytes + t.mode.stride - 1) / t.mode.stride;
    return sectors;
}

} // namespace

bool readTocFile(const QByteArray &sheet, const DataFileFinder &find, ImageLayout *layout, QString *error)
{
    const QString notOne = QStringLiteral("it is not a table of contents");
    QStringList lines;
    if (!sheetLines(sheet, notOne, &lines, error))
        return false;
    const auto damaged = damagedAt(error, QStringLiteral("table of contents"));
    // Its words, CD-TEXT blocks left out: nothing the sectors depend on.
    std::vector<TocWord> words;
    int depth = 0;
    for (int i = 0; i < lines.size(); ++i) {
        for (const SheetWord &w : sheetWords(lines[i], true)) {
            if (!w.quoted && (w.text == QLatin1String("{") || w.text == QLatin1String("}"))) {
                depth += w.text == QLatin1String("{") ? 1 : -1;
                if (depth < 0 || depth > 8)
                    return damaged(i + 1, QStringLiteral("its braces do not match"));
            } else if (depth == 0) {
                words.push_back({w.text, w.quoted, i + 1});
            }
        }
    }
    QStringList names;
    std::vector<TocTrack> tracks;
    int pieces = 0;
    for (std::size_t p = 0; p < words.size();) {
        const TocWord &w = words[p++];
        const QString key = w.quoted ? QString() : w.text.toUpper();
        const auto next = [&]() -> const TocWord * { return p < words.size() ? &words[p] : nullptr; };
        TocTrack *track = tracks.empty() ? nullptr : &tracks.back();
        if (key == QLatin1String("TRACK")) {
            const TrackMode *mode = next() ? findMode(kTocModes, std::size(kTocModes), next()->text) : nullptr;
            if (!mode || tracks.size() >= std::size_t(kMaxTracks))
                return damaged(w.line, mode ? QStringLiteral("it has more than %1 tracks").arg(kMaxTracks)
                                            : QStringLiteral("a TRACK without a known track mode"));
            ++p;
            tracks.push_back({*mode, {}, -1});
            if (next() && (next()->text == QLatin1String("RW") || next()->text == QLatin1String("RW_RAW"))) {
                tracks.back().mode.stride += 96;   // sub-channel data after each sector
                ++p;
            }
        } else if (key == QLatin1String("CATALOG") || key == QLatin1String("ISRC")) {
            ++p;
        } else if (QStringList{"CD_DA", "CD_ROM", "CD_ROM_XA", "CD_I", "CD_TEXT", "COPY", "NO", "PRE_EMPHASIS",
                               "TWO_CHANNEL_AUDIO", "FOUR_CHANNEL_AUDIO"}
                       .contains(key)) {
            // flags: nothing the sectors depend on
        } else if (!track) {
            return damaged(w.line, QStringLiteral("%1 comes before any TRACK").arg(quoted(w.text)));
        } else if (key == QLatin1String("START") || key == QLatin1String("PREGAP")) {
            const bool msf = next() && msfSectors(next()->text) >= 0;
            if (track->start >= 0 || (key == QLatin1String("PREGAP") && (!msf || !track->pieces.empty())))
                return damaged(w.line, QStringLiteral("a track has one START or PREGAP, before its data"));
            const std::int64_t at = msf ? msfSectors(words[p++].text) : sectorsOf(*track);
            if (key == QLatin1String("PREGAP"))
                track->pieces.push_back({-1, 0, at * track->mode.stride, w.line});
            track->start = at;
        } else if (key == QLatin1String("INDEX")) {
            if (!next() || msfSectors(next()->text) < 0)
                return damaged(w.line, QStringLiteral("an INDEX is a time mm:ss:ff"));
            ++p;
        } else if (key == QLatin1String("ZERO") || key == QLatin1String("SILENCE")) {
            while (next() && !isLength(*next()) && !next()->quoted
                   && (findMode(kTocModes, std::size(kTocModes), next()->text) || next()->text.startsWith(QLatin1String("RW"))))
                ++p;
            if (!next() || !isLength(*next()))
                return damaged(w.line, QStringLiteral("%1 needs a length").arg(key));
            track->pieces.push_back({-1, 0, bytesOf(words[p++], *track), w.line});
        } else if (key == QLatin1String("DATAFILE") || key == QLatin1String("FILE")
                   || key == QLatin1String("AUDIOFILE")) {
            if (!next() || !next()->quoted)
                return damaged(w.line, QStringLiteral("%1 needs a file name in quotes").arg(key));
            TocPiece piece{int(names.indexOf(words[p].text)), 0, -1, w.line};
            if (piece.name < 0) {
                piece.name = int(names.size());
                names.append(words[p].text);
            }
            ++p;
            static const QRegularExpression at(QStringLiteral("^#\\d{1,12}$"));
            if (next() && !next()->quoted && at.match(next()->text).hasMatch())
                piece.offset = words[p++].text.mid(1).toLongLong();
            // An audio file's start comes before its length.
            if (key != QLatin1String("DATAFILE")) {
                if (!next() || !isLength(*next()))
                    return damaged(w.line, QStringLiteral("%1 needs a start").arg(key));
                piece.offset += bytesOf(words[p++], *track);
            }
            if (next() && isLength(*next()))
                piece.bytes = bytesOf(words[p++], *track);
            track->pieces.push_back(piece);
        } else {
            // FIFO among them: the player reads no pipes.
            return damaged(w.line, QStringLiteral("%1 is not understood").arg(quoted(w.text)));
        }
        if (names.size() > kMaxDataFiles || (track && ++pieces > kMaxExtents))
            return damaged(w.line, QStringLiteral("it has too many parts"));
    }
    if (tracks.empty())
        return (*error = notOne, false);
    std::vector<int> fileOf;
    if (!openNamed(find, QStringLiteral("table of contents"), names, false, layout, &fileOf, error))
        return false;

    // The tracks follow one another; a piece that does not fill its last
    // sector is made up to it with zeros.
    std::int64_t lsn = 0, firstTrack = 0;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const TocTrack &t = tracks[i];
        if (i == 0)
            firstTrack = std::max<std::int64_t>(0, t.start);
        for (const TocPiece &piece : t.pieces) {
            const int file = piece.name < 0 ? -1 : fileOf[std::size_t(piece.name)];
            std::int64_t bytes = piece.bytes;
            if (file >= 0 && bytes < 0)
                bytes = layout->files[std::size_t(file)]->size() - piece.offset;
            if (bytes < 0)
                return damaged(piece.line, QStringLiteral("its data file is shorter than the place named in it"));
            if (bytes > kMaxCdSectors * t.mode.stride)
                return damaged(piece.line, QStringLiteral("it holds more than a CD can"));
            const std::int64_t whole = file < 0 ? (bytes + t.mode.stride - 1) / t.mode.stride : bytes / t.mode.stride;
            layout->extents.push_back({lsn, whole, file, piece.offset, t.mode.stride, t.mode.shape});
            if (whole * t.mode.stride < bytes)
                layout->extents.push_back({lsn + whole, 1, -1, 0, t.mode.stride, t.mode.shape});
            lsn += (bytes + t.mode.stride - 1) / t.mode.stride;
        }
    }
    startAt(layout, firstTrack);
    layout->firstTrackAudio = tracks.front().mode.shape == SectorShape::Audio;
    return true;
}

} // namespace tavero
