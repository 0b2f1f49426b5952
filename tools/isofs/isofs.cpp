// isofs IMAGE MOUNTPOINT STATEDIR
//
// Serves the contents of a disc image read-only through FUSE: UDF (DVD-Video, Blu-ray) through
// libudfread, ISO 9660 with Joliet / Rock Ridge names through libiso9660. The mount tool starts
// it and talks to it through files in STATEDIR:
//   ready    written once the mount is in place (the server's process id)
//   failed   written instead when the image cannot be served (one line: the reason)
//   stop     created by the mount tool: the server unmounts and ends
//   busy     written while the image is being copied (below), which can take a while
//   copy     written before "ready" when FUSE cannot be used here: the mount folder then holds
//            a read-only copy of the image's files instead of a mount (one line: why)
// The server also ends when STATEDIR/image disappears, so a removed Wine prefix leaves nothing
// behind.
#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <cdio/iso9660.h>
#include <udfread/udfread.h>

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/isofs/ImageCopy.h"
#include "tools/isofs/ImageReader.h"

namespace {

// libfuse splices the answer to a read through a pipe, which an ordinary user may grow to 1 MB
// at most (/proc/sys/fs/pipe-max-size). A 1 MB read with its header would not fit, and libfuse
// would then copy every answer through a freshly mapped buffer, far slower than any copy; 1008
// KB with the header and libfuse's margin of a few pages does.
const unsigned kMaxRead = 1008 * 1024;

ImageReader* reader = nullptr;
// The image readers are not thread-safe: every call into them holds this lock. The answers to
// reads are spliced after it is let go, on the request threads in parallel.
std::mutex readerLock;
int imageFd = -1; // the image file, for the reads served straight from it
std::string mountPoint;
std::string stateDir;
std::atomic<bool> stopping{false};
// The thread in fuse_loop_mt, which waits for the request threads.
pthread_t requestThread;
struct timespec imageTime = {}; // every entry shows the image's own time

void writeStateFile(const char* name, const std::string& text) {
    std::string path = stateDir + "/" + name;
    std::string temp = path + ".tmp";
    FILE* f = fopen(temp.c_str(), "w");
    if (!f) return;
    fputs(text.c_str(), f);
    fclose(f);
    rename(temp.c_str(), path.c_str()); // the tool never sees a half-written file
}

bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

void fillStat(const Entry& e, struct stat* st) {
    memset(st, 0, sizeof(*st));
    st->st_mode = e.isDir ? (S_IFDIR | 0555) : (S_IFREG | 0444);
    st->st_nlink = e.isDir ? 2 : 1;
    st->st_size = static_cast<off_t>(e.size);
    st->st_blksize = 2048;
    st->st_blocks = static_cast<blkcnt_t>((e.size + 511) / 512);
    st->st_mtim = st->st_ctim = st->st_atim = imageTime;
}

int opGetattr(const char* path, struct stat* st, struct fuse_file_info*) {
    std::lock_guard<std::mutex> hold(readerLock);
    Entry e;
    if (!reader->stat(path, &e)) return -ENOENT;
    fillStat(e, st);
    return 0;
}

int opReaddir(const char* path, void* buf, fuse_fill_dir_t fill, off_t, struct fuse_file_info*,
              enum fuse_readdir_flags) {
    std::lock_guard<std::mutex> hold(readerLock);
    std::vector<Entry> entries;
    if (!reader->list(path, &entries)) return -ENOENT;
    fill(buf, ".", nullptr, 0, FUSE_FILL_DIR_PLUS);
    fill(buf, "..", nullptr, 0, FUSE_FILL_DIR_PLUS);
    for (const Entry& e : entries) {
        struct stat st;
        fillStat(e, &st);
        fill(buf, e.name.c_str(), &st, 0, FUSE_FILL_DIR_PLUS);
    }
    return 0;
}

int opOpen(const char* path, struct fuse_file_info* fi) {
    std::lock_guard<std::mutex> hold(readerLock);
    if ((fi->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
    void* handle = reader->open(path);
    if (!handle) return -ENOENT;
    fi->fh = reinterpret_cast<uint64_t>(handle);
    fi->keep_cache = 1; // the image never changes while it is served
    return 0;
}

// A read is answered with the places of its bytes in the image file rather than a copy of them:
// libfuse then splices the image's pages from the page cache into /dev/fuse, and the kernel
// copies them once, into the drive file's page cache. Data not stored as plain blocks in the
// image is read into memory instead.
int opReadBuf(const char*, struct fuse_bufvec** out, size_t size, off_t offset,
              struct fuse_file_info* fi) {
    std::lock_guard<std::mutex> hold(readerLock);
    void* file = reinterpret_cast<void*>(fi->fh);
    std::vector<struct fuse_buf> spans;
    uint64_t at = static_cast<uint64_t>(offset);
    uint64_t left = size;
    bool located = imageFd >= 0;
    while (located && left > 0) {
        uint64_t where = 0, length = 0;
        located = reader->locate(file, at, left, &where, &length);
        if (!located || length == 0) break;
        struct fuse_buf span = {};
        span.size = static_cast<size_t>(length);
        span.flags = static_cast<enum fuse_buf_flags>(FUSE_BUF_IS_FD | FUSE_BUF_FD_SEEK);
        span.fd = imageFd;
        span.pos = static_cast<off_t>(where);
        spans.push_back(span);
        at += length;
        left -= length;
    }
    // libfuse frees the vector and any memory in it with free(), also after an error. Past the
    // end of the file the answer is one empty buffer.
    const size_t count = located && !spans.empty() ? spans.size() : 1;
    auto* v = static_cast<struct fuse_bufvec*>(
        malloc(sizeof(struct fuse_bufvec) + (count - 1) * sizeof(struct fuse_buf)));
    if (!v) return -ENOMEM;
    *v = FUSE_BUFVEC_INIT(0);
    *out = v;
    if (located) {
        if (!spans.empty()) v->count = count;
        for (size_t i = 0; i < spans.size(); ++i)
            v->buf[i] = spans[i];
        return 0;
    }
    v->buf[0].mem = malloc(size);
    if (!v->buf[0].mem) return -ENOMEM;
    // A short answer would tell the kernel that the file ends there: read on until the end.
    size_t done = 0;
    while (done < size) {
        const long n = reader->read(file, static_cast<char*>(v->buf[0].mem) + done, size - done,
                                    offset + done);
        if (n < 0) return -EIO;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    v->buf[0].size = done;
    return 0;
}

int opRelease(const char*, struct fuse_file_info* fi) {
    std::lock_guard<std::mutex> hold(readerLock);
    reader->close(reinterpret_cast<void*>(fi->fh));
    return 0;
}

void* opInit(struct fuse_conn_info* conn, struct fuse_config* cfg) {
    if (conn->capable & FUSE_CAP_SPLICE_WRITE) conn->want |= FUSE_CAP_SPLICE_WRITE;
    // libfuse 3 needs the limit here as well as in the max_read mount option (see main).
    conn->max_read = kMaxRead;
    // Read-only and unchanging: the kernel may cache names and attributes for long.
    cfg->entry_timeout = 3600;
    cfg->attr_timeout = 3600;
    cfg->negative_timeout = 3600;
    cfg->kernel_cache = 1;
    return nullptr;
}

// The kernel reads ahead 128 KB at a time on a FUSE mount unless told otherwise; each read
// ahead is one request to this server. Larger ones cost fewer round trips for the long
// sequential reads of video files: two requests of the largest size at a time, so that one is
// answered while the reader copies the other. Only root may change it; elsewhere the default
// stays.
// Called once requests are served: looking at the mount needs this server's answer.
void widenReadAhead() {
    struct stat st;
    if (stat(mountPoint.c_str(), &st) != 0) return;
    const std::string path = "/sys/class/bdi/" + std::to_string(major(st.st_dev)) + ":" +
                             std::to_string(minor(st.st_dev)) + "/read_ahead_kb";
    if (FILE* f = fopen(path.c_str(), "w")) {
        fputs(std::to_string(2 * kMaxRead / 1024).c_str(), f);
        fclose(f);
    }
}

void detachFromCaller() {
    // Started from a Windows program: leave its session and every descriptor it passed on, so
    // that nothing the caller waits on (pipes, consoles) is held open by this server.
    setsid();
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        if (null > 2) close(null);
    }
    for (int fd = 3; fd < 1024; ++fd) close(fd);
    signal(SIGHUP, SIG_IGN);
    signal(SIGPIPE, SIG_IGN);
}

// The tool asks for the stop with the "stop" file. A state folder being removed (its "image"
// file goes first) ends the server too, so that a deleted Wine prefix leaves nothing running.
bool keepServing() { return !exists(stateDir + "/stop") && exists(stateDir + "/image"); }

// Without the right to unmount, fusermount3 does it: run directly with its arguments, so that
// no shell reads the mount folder's name.
bool lazyUnmountAsUser() {
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
        }
        execlp("fusermount3", "fusermount3", "-u", "-z", "--", mountPoint.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void watchForStop() {
    widenReadAhead();
    while (!stopping) {
        if (!keepServing()) break;
        usleep(100 * 1000);
    }
    stopping = true;
    if (umount2(mountPoint.c_str(), MNT_DETACH) != 0 && !lazyUnmountAsUser()) {
        kill(getpid(), SIGTERM);
        return;
    }
    // Detached, the drive is gone for new opens, but a program still holding a file or folder
    // on it (a file browser showing the disc) would keep the session, and so this server and
    // the tool waiting for its end, alive until it lets go. The request loop is ended too
    // (FUSE's handler of SIGTERM, which wakes the loop; the loop then cancels its request
    // threads): such a holder then gets errors.
    pthread_kill(requestThread, SIGTERM);
}

std::string fuseUnavailableReason() {
    if (access("/dev/fuse", F_OK) != 0) return "FUSE is not available here (no /dev/fuse)";
    return "FUSE is not available here (mounting on /dev/fuse was refused)";
}

// Without FUSE the image's files are copied into the mount folder, made read-only, and kept
// until the tool asks for the stop; then the copy goes. The tool learns from the "copy" state
// file that the drive shows a copy.
int serveCopy(const std::string& reason) {
    uint64_t size = imageDataSize(*reader);
    struct statvfs fs;
    uint64_t free = statvfs(stateDir.c_str(), &fs) == 0
                        ? static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize
                        : 0;
    const uint64_t kMaxCopy = 4ull << 30;   // beyond this the copy would take minutes
    const uint64_t kKeepFree = 256ull << 20; // the disk must not be filled up by it
    if (size > kMaxCopy || size + kKeepFree > free) {
        writeStateFile("failed", reason + ", and the image is too large to be copied instead\n");
        delete reader;
        return 1;
    }
    writeStateFile("busy", "copying\n");
    // A copy left by a server that was killed would be in the way (and locked against the tool).
    removeCopy(mountPoint);
    mkdir(mountPoint.c_str(), 0755);
    bool locked = false;
    std::string error;
    if (!copyImage(*reader, mountPoint, imageTime, &locked, &error)) {
        removeCopy(mountPoint);
        writeStateFile("failed", reason + ", and copying the image failed: " + error + "\n");
        unlink((stateDir + "/busy").c_str());
        delete reader;
        return 1;
    }
    delete reader;
    reader = nullptr;
    writeStateFile("copy", reason + (locked ? "; the drive shows a locked read-only copy\n"
                                            : "; the drive shows a read-only copy\n"));
    signal(SIGTERM, [](int) { stopping = true; });
    signal(SIGINT, [](int) { stopping = true; });
    writeStateFile("ready", std::to_string(getpid()) + "\n");
    unlink((stateDir + "/busy").c_str()); // only now: the tool waits longer while it exists
    while (!stopping && keepServing()) usleep(100 * 1000);
    removeCopy(mountPoint);
    unlink((stateDir + "/ready").c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: isofs IMAGE MOUNTPOINT STATEDIR\n");
        return 2;
    }
    std::string image = argv[1];
    mountPoint = argv[2];
    stateDir = argv[3];
    if (!getenv("ISOFS_FOREGROUND")) detachFromCaller();

    std::string error;
    reader = openImage(image, &error);
    if (!reader) {
        writeStateFile("failed", error + "\n");
        return 1;
    }
    imageFd = open(image.c_str(), O_RDONLY | O_CLOEXEC);

    static const struct fuse_operations ops = [] {
        struct fuse_operations o = {};
        o.getattr = opGetattr;
        o.readdir = opReaddir;
        o.open = opOpen;
        o.read_buf = opReadBuf;
        o.release = opRelease;
        o.init = opInit;
        return o;
    }();
    struct stat imageStat;
    if (stat(image.c_str(), &imageStat) == 0) imageTime = imageStat.st_mtim;
    // Wine runs as the same user as this server, so no access for other users is asked for
    // (that would need user_allow_other in /etc/fuse.conf for anyone but root).
    const std::string options =
        "ro,fsname=isofs,subtype=isofs,max_read=" + std::to_string(kMaxRead);
    const char* fuseArgv[] = {"isofs", "-o", options.c_str(), nullptr};
    struct fuse_args args = FUSE_ARGS_INIT(3, const_cast<char**>(fuseArgv));
    struct fuse* fuse = fuse_new(&args, &ops, sizeof(ops), nullptr);
    if (!fuse) return serveCopy("the FUSE file system could not be created");
    mkdir(mountPoint.c_str(), 0755);
    if (fuse_mount(fuse, mountPoint.c_str()) != 0) {
        fuse_destroy(fuse);
        return serveCopy(fuseUnavailableReason());
    }
    fuse_set_signal_handlers(fuse_get_session(fuse));
    writeStateFile("ready", std::to_string(getpid()) + "\n");

    requestThread = pthread_self();
    std::thread watcher(watchForStop);
    // Requests are served on several threads, so that while one thread splices the answer to a
    // read into the kernel another answers the next read the kernel asked for ahead. Copying
    // into the drive's page cache is where a long read spends its time.
    fuse_loop_mt(fuse, 0);
    stopping = true;
    watcher.join();
    fuse_remove_signal_handlers(fuse_get_session(fuse));
    fuse_unmount(fuse);
    fuse_destroy(fuse);
    delete reader;
    if (imageFd >= 0) close(imageFd);
    rmdir(mountPoint.c_str());
    unlink((stateDir + "/ready").c_str());
    return 0;
}
