// An optical drive for tests, at the level of system calls. Preloaded into a test program, it makes the path in
// TAVERO_FAKE_DRIVE a CD-ROM block device holding a disc image of raw 2352-byte sectors, so the program's drive check
// and libcdio's Linux driver run as they do on a real drive: the device answers stat() as a block device, open() as
// the sr driver does, read() at 2048 bytes a sector (READ(10): Form 2 sectors fail with EIO, as the notes on drives
// say), and the CD ioctls from the image and the cue sheet beside it.
//
// TAVERO_FAKE_DRIVE_SCRIPT names a control file, read at every call, so a
// test rewrites it (whole, by rename) to act on the drive. Its lines:
//   disc <image.bin>      the disc in the drive; without one there is none
//   tray open             the tray is out
//   bad <first> <last>    these sectors cannot be read (EIO)
//   deny                  opening the device fails with EACCES
//   gid <n>               the group that owns the device node (24 else)
//   spinup <ms>           the drive is spun down: the first read after the
//                         line appears (or after another disc goes in)
//                         waits so long, and every read meanwhile with it
//   slow <lsn> <ms>       reading that sector takes so long
//   hang <first> <last>   these sectors never answer (until the line goes)
// Without a control file the drive holds TAVERO_FAKE_IMAGE.
//
// An ioctl it does not know is written to standard error, so a new one
// that the program or libcdio comes to use shows in the test's output.

// Its own definitions of open() and read() cannot be fortified.
#undef _FORTIFY_SOURCE
#include <algorithm>
#include <chrono>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <mutex>
#include <scsi/scsi.h>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr long kRaw = 2352;

// The next definition of a call (libc's), looked up once per call site.
#define real(type, name) ([] { static const auto f = reinterpret_cast<type>(dlsym(RTLD_NEXT, name)); return f; }())

const std::string &drivePath()
{
    static const std::string path = getenv("TAVERO_FAKE_DRIVE") ? getenv("TAVERO_FAKE_DRIVE") : "";
    return path;
}

bool isDrive(const char *path)
{
    return path && !drivePath().empty() && drivePath() == path;
}

struct Track { int number; long start; };

struct Drive {
    bool deny = false, trayOpen = false;
    std::string disc;
    std::vector<std::pair<long, long>> bad, slow, hang;
    long spinup = 0;
    unsigned gid = 24;
};

// Each line of a small file, without its end.
template <typename Each> void eachLine(const char *path, Each each)
{
    if (FILE *f = path ? fopen(path, "re") : nullptr) {
        for (char line[4096]; fgets(line, sizeof line, f);)
            each((line[strcspn(line, "\r\n")] = 0, line));
        fclose(f);
    }
}

Drive now()
{
    Drive d;
    bool scripted = false;
    eachLine(getenv("TAVERO_FAKE_DRIVE_SCRIPT"), [&](const char *line) {
        long a = 0, b = 0;
        scripted = true;
        if (strncmp(line, "disc ", 5) == 0)
            d.disc = line + 5;
        d.trayOpen |= strcmp(line, "tray open") == 0;
        d.deny |= strcmp(line, "deny") == 0;
        if (sscanf(line, "bad %ld %ld", &a, &b) == 2)
            d.bad.push_back({a, b});
        if (sscanf(line, "gid %ld", &a) == 1)
            d.gid = unsigned(a);
        if (sscanf(line, "spinup %ld", &a) == 1)
            d.spinup = a;
        if (sscanf(line, "slow %ld %ld", &a, &b) == 2)
            d.slow.push_back({a, b});
        if (sscanf(line, "hang %ld %ld", &a, &b) == 2)
            d.hang.push_back({a, b});
    });
    if (!scripted && getenv("TAVERO_FAKE_IMAGE"))
        d.disc = getenv("TAVERO_FAKE_IMAGE");
    if (d.trayOpen)
        d.disc.clear();
    return d;
}

// Track starts from the cue sheet beside the image, as vcdimager writes it.
std::vector<Track> tracksOf(const std::string &image)
{
    std::vector<Track> tracks;
    int number = 0;
    eachLine((image.substr(0, image.rfind('.')) + ".cue").c_str(), [&](const char *line) {
        int m = 0, s = 0, f = 0;
        if (sscanf(line, " TRACK %d", &number) != 1 && sscanf(line, " INDEX 01 %d:%d:%d", &m, &s, &f) == 3)
            tracks.push_back({number, (long(m) * 60 + s) * 75 + f});
    });
    if (tracks.empty())
        tracks.push_back({1, 0});
    return tracks;
}

long sectorsOf(const std::string &image)
{
    struct stat st {};
    return real(int (*)(const char *, struct stat *), "stat")(image.c_str(), &st) == 0 ? long(st.st_size / kRaw) : 0;
}

// The descriptors open on the drive, with the disc they were opened on:
// after a swap they read nothing, as after a media change.
struct Open { bool used = false; std::string disc; long long position = 0; };
std::mutex openLock;
Open opened[4096];
std::string lastSeen;   // the disc of the last CDROM_MEDIA_CHANGED

// The drive as it is now; `swapped` when `fd` was opened on another disc.
Drive forFd(int fd, bool *swapped)
{
    const Drive d = now();
    const std::lock_guard<std::mutex> lock(openLock);
    *swapped = opened[fd].disc != d.disc;
    return d;
}

bool fake(int fd)
{
    const std::lock_guard<std::mutex> lock(openLock);
    return fd >= 0 && fd < 4096 && opened[fd].used;
}

bool within(const std::vector<std::pair<long, long>> &ranges, long lsn)
{
    return std::any_of(ranges.begin(), ranges.end(), [lsn](const auto &r) { return lsn >= r.first && lsn <= r.second; });
}

// The time a read takes: spinning up, a slow sector, one that hangs.
void takeTime(const Drive &d, long lsn)
{
    static std::mutex lock;
    static std::string spunFor;   // the disc the drive spun up for
    static std::chrono::steady_clock::time_point spunAt;
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (!d.spinup)
            spunFor.clear();
        else if (spunFor != d.disc) {
            spunFor = d.disc;
            spunAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(d.spinup);
        }
    }
    if (d.spinup)
        std::this_thread::sleep_until(spunAt);
    for (const auto &[sector, ms] : d.slow) {
        if (sector == lsn)
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    while (within(d.hang, lsn) && within(now().hang, lsn))
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

// One raw sector, or an errno.
int rawSector(const Drive &d, long lsn, unsigned char *out)
{
    if (d.disc.empty())
        return ENOMEDIUM;
    takeTime(d, lsn);
    for (const auto &[first, last] : d.bad) {
        if (lsn >= first && lsn <= last)
            return EIO;
    }
    if (lsn < 0 || lsn >= sectorsOf(d.disc))
        return EIO;
    const int fd = real(int (*)(const char *, int, ...), "open")(d.disc.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return EIO;
    const ssize_t n = real(ssize_t (*)(int, void *, size_t, off_t), "pread")(fd, out, kRaw, off_t(lsn) * kRaw);
    real(int (*)(int), "close")(fd);
    return n == kRaw ? 0 : EIO;
}

bool form2(const unsigned char *raw)
{
    return raw[15] == 2 && (raw[18] & 0x20);
}

// The 2048 bytes a READ(10) gives: Form 2 sectors are refused by the drive.
int userData(const Drive &d, long lsn, unsigned char *out)
{
    unsigned char raw[kRaw];
    if (const int e = rawSector(d, lsn, raw))
        return e;
    if (form2(raw))
        return EIO;
    memcpy(out, raw + (raw[15] == 2 ? 24 : 16), 2048);
    return 0;
}

void stamp(struct stat *st, const Drive &d)
{
    *st = {};
    st->st_dev = makedev(0, 5);
    st->st_ino = 4711;
    st->st_mode = S_IFBLK | 0660;
    st->st_nlink = 1;
    st->st_gid = d.gid;
    st->st_rdev = makedev(11, 0);
    st->st_blksize = 2048;
}

int fail(int e)
{
    errno = e;
    return -1;
}

int openDrive(int flags)
{
    const Drive d = now();
    if (d.deny)
        return fail(EACCES);
    // Without O_NONBLOCK the sr driver waits for a disc and fails without one.
    if (d.disc.empty() && !(flags & O_NONBLOCK))
        return fail(ENOMEDIUM);
    const int fd = real(int (*)(const char *, int, ...), "open")("/dev/null", O_RDONLY | (flags & O_CLOEXEC));
    if (fd < 0 || fd >= 4096)
        return fd;
    const std::lock_guard<std::mutex> lock(openLock);
    opened[fd] = {true, d.disc, 0};
    return fd;
}

void toMsf(long lba, unsigned char *m, unsigned char *s, unsigned char *f)
{
    lba += 150;
    *m = (unsigned char)(lba / (60 * 75));
    *s = (unsigned char)(lba / 75 % 60);
    *f = (unsigned char)(lba % 75);
}

int tocEntry(const Drive &d, cdrom_tocentry *e)
{
    const std::vector<Track> tracks = tracksOf(d.disc);
    long start = -1;
    if (e->cdte_track == CDROM_LEADOUT)
        start = sectorsOf(d.disc);
    for (const Track &t : tracks) {
        if (t.number == e->cdte_track)
            start = t.start;
    }
    if (start < 0 || (e->cdte_format != CDROM_MSF && e->cdte_format != CDROM_LBA))
        return EINVAL;
    e->cdte_adr = 1;
    e->cdte_ctrl = CDROM_DATA_TRACK;
    // The kernel hands back the address format asked for in cdte_format, never the track's mode.
    if (e->cdte_format == CDROM_LBA)
        e->cdte_addr.lba = int(start);
    else
        toMsf(start, &e->cdte_addr.msf.minute, &e->cdte_addr.msf.second, &e->cdte_addr.msf.frame);
    e->cdte_datamode = 0;
    return 0;
}

int driveIoctl(int fd, unsigned long request, void *arg)
{
    bool swapped = false;
    const Drive d = forFd(fd, &swapped);
    switch (request) {
    case CDROM_DRIVE_STATUS:
        return d.trayOpen ? CDS_TRAY_OPEN : d.disc.empty() ? CDS_NO_DISC : CDS_DISC_OK;
    case CDROM_MEDIA_CHANGED: {
        const std::lock_guard<std::mutex> lock(openLock);
        const bool changed = lastSeen != d.disc;
        lastSeen = d.disc;
        return changed ? 1 : 0;
    }
    case SCSI_IOCTL_GET_BUS_NUMBER:
    case SCSI_IOCTL_GET_IDLUN:
        memset(arg, 0, request == SCSI_IOCTL_GET_IDLUN ? 2 * sizeof(int) : sizeof(int));
        return 0;
    case CDROMREADTOCHDR:
    case CDROMREADTOCENTRY:
    case CDROMREADMODE2:
    case CDROMREADRAW:
        if (d.disc.empty() || swapped)
            return fail(d.disc.empty() ? ENOMEDIUM : EIO);
        break;
    default:
        fprintf(stderr, "fake drive: unanswered ioctl 0x%lx\n", request);
        return fail(ENOTTY);
    }
    if (request == CDROMREADTOCHDR) {
        const std::vector<Track> tracks = tracksOf(d.disc);
        auto *h = static_cast<cdrom_tochdr *>(arg);
        h->cdth_trk0 = (unsigned char)tracks.front().number;
        h->cdth_trk1 = (unsigned char)tracks.back().number;
        return 0;
    }
    if (request == CDROMREADTOCENTRY) {
        const int e = tocEntry(d, static_cast<cdrom_tocentry *>(arg));
        return e ? fail(e) : 0;
    }
    // The sector's address comes in the buffer that the data goes to.
    const auto *msf = static_cast<const cdrom_msf *>(arg);
    const long lsn = (long(msf->cdmsf_min0) * 60 + msf->cdmsf_sec0) * 75 + msf->cdmsf_frame0 - 150;
    unsigned char raw[kRaw];
    if (const int e = rawSector(d, lsn, raw))
        return fail(e);
    memcpy(arg, raw + (request == CDROMREADRAW ? 0 : 16), request == CDROMREADRAW ? kRaw : 2336);
    return 0;
}

ssize_t driveRead(int fd, void *buf, size_t count, long long *position)
{
    bool swapped = false;
    const Drive d = forFd(fd, &swapped);
    if (d.disc.empty() || swapped)
        return fail(d.disc.empty() ? ENOMEDIUM : EIO);
    const long long end = (long long)sectorsOf(d.disc) * 2048;
    size_t done = 0;
    while (done < count && *position < end) {
        unsigned char sector[2048];
        if (const int e = userData(d, long(*position / 2048), sector))
            return done > 0 ? ssize_t(done) : fail(e);
        const size_t within = size_t(*position % 2048);
        const size_t take = std::min(count - done, 2048 - within);
        memcpy(static_cast<char *>(buf) + done, sector + within, take);
        done += take;
        *position += (long long)take;
    }
    return ssize_t(done);
}

template <typename Stat> int statDrive(Stat *st)
{
    stamp(reinterpret_cast<struct stat *>(st), now());
    return 0;
}

off_t seekDrive(int fd, off_t offset, int whence)
{
    const Drive d = now();
    const std::lock_guard<std::mutex> lock(openLock);
    long long &p = opened[fd].position;
    const long long base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? p : (long long)sectorsOf(d.disc) * 2048;
    if (base + offset < 0)
        return fail(EINVAL);
    p = base + offset;
    return off_t(p);
}

// The programs a test starts (ffmpeg, vcdimager) use no drive; under ASan
// the runtime preloaded before this library would report their leaks.
__attribute__((constructor)) void keepToThisProcess()
{
    unsetenv("LD_PRELOAD");
}

} // namespace

extern "C" {

#define TAVERO_OPEN(name, params, args)                                                                              \
    int name params                                                                                                  \
    {                                                                                                                \
        va_list ap;                                                                                                  \
        va_start(ap, flags);                                                                                         \
        const mode_t mode = (flags & (O_CREAT | __O_TMPFILE)) ? va_arg(ap, mode_t) : 0;                              \
        va_end(ap);                                                                                                  \
        return isDrive(path) ? openDrive(flags) : real(int(*) params, #name) args;                                   \
    }
TAVERO_OPEN(open, (const char *path, int flags, ...), (path, flags, mode))
TAVERO_OPEN(open64, (const char *path, int flags, ...), (path, flags, mode))
TAVERO_OPEN(openat, (int dirfd, const char *path, int flags, ...), (dirfd, path, flags, mode))
TAVERO_OPEN(openat64, (int dirfd, const char *path, int flags, ...), (dirfd, path, flags, mode))

// The other calls: the drive's answer when `test` holds, else libc's. The stat family is as glibc 2.36 exports it
// (struct stat and stat64 are one layout on 64-bit machines).
#define TAVERO_CALL(type, name, params, args, test, answer)                                                          \
    type name params { return (test) ? (answer) : real(type(*) params, #name) args; }
TAVERO_CALL(int, __open_2, (const char *path, int flags), (path, flags), isDrive(path), openDrive(flags))
TAVERO_CALL(int, __open64_2, (const char *path, int flags), (path, flags), isDrive(path), openDrive(flags))
TAVERO_CALL(off_t, lseek, (int fd, off_t at, int whence), (fd, at, whence), fake(fd), seekDrive(fd, at, whence))
TAVERO_CALL(off_t, lseek64, (int fd, off_t at, int whence), (fd, at, whence), fake(fd), seekDrive(fd, at, whence))
TAVERO_CALL(int, stat, (const char *path, struct stat *st), (path, st), isDrive(path), statDrive(st))
TAVERO_CALL(int, stat64, (const char *path, struct stat64 *st), (path, st), isDrive(path), statDrive(st))
TAVERO_CALL(int, lstat, (const char *path, struct stat *st), (path, st), isDrive(path), statDrive(st))
TAVERO_CALL(int, lstat64, (const char *path, struct stat64 *st), (path, st), isDrive(path), statDrive(st))
TAVERO_CALL(int, fstat, (int fd, struct stat *st), (fd, st), fake(fd), statDrive(st))
TAVERO_CALL(int, fstat64, (int fd, struct stat64 *st), (fd, st), fake(fd), statDrive(st))
TAVERO_CALL(int, fstatat, (int dir, const char *path, struct stat *st, int f), (dir, path, st, f), isDrive(path),
            statDrive(st))
TAVERO_CALL(int, fstatat64, (int dir, const char *path, struct stat64 *st, int f), (dir, path, st, f),
            isDrive(path), statDrive(st))

int close(int fd)
{
    if (fake(fd)) {
        const std::lock_guard<std::mutex> lock(openLock);
        opened[fd] = {};
    }
    return real(int (*)(int), "close")(fd);
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list ap;
    va_start(ap, request);
    void *arg = va_arg(ap, void *);
    va_end(ap);
    return fake(fd) ? driveIoctl(fd, request, arg)
                    : real(int (*)(int, unsigned long, void *), "ioctl")(fd, request, arg);
}

ssize_t read(int fd, void *buf, size_t count)
{
    if (!fake(fd))
        return real(ssize_t (*)(int, void *, size_t), "read")(fd, buf, count);
    long long position;
    {
        const std::lock_guard<std::mutex> lock(openLock);
        position = opened[fd].position;
    }
    const ssize_t n = driveRead(fd, buf, count, &position);
    const std::lock_guard<std::mutex> lock(openLock);
    opened[fd].position = position;
    return n;
}

} // extern "C"
