#include "tools/isofs/ImageCopy.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace {

std::string child(const std::string& dir, const std::string& name) {
    return dir == "/" ? "/" + name : dir + "/" + name;
}

// Sets or clears the immutable flag; false where the file system or the privileges refuse.
bool setImmutable(const std::string& path, bool on) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        int wanted = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = wanted == flags || ioctl(fd, FS_IOC_SETFLAGS, &wanted) == 0;
    }
    close(fd);
    return ok;
}

uint64_t dataSize(ImageReader& reader, const std::string& path) {
    std::vector<Entry> entries;
    if (!reader.list(path, &entries)) return 0;
    uint64_t total = 0;
    for (const Entry& e : entries)
        total += e.isDir ? dataSize(reader, child(path, e.name)) : e.size;
    return total;
}

bool copyFile(ImageReader& reader, const std::string& from, const std::string& to,
              std::string* error) {
    void* file = reader.open(from);
    if (!file) {
        *error = "the file " + from + " of the image cannot be opened";
        return false;
    }
    int fd = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        reader.close(file);
        *error = "cannot write " + to + ": " + strerror(errno);
        return false;
    }
    const size_t kBuffer = 1 << 20;
    std::unique_ptr<char[]> buffer(new char[kBuffer]);
    uint64_t offset = 0;
    bool ok = true;
    for (;;) {
        long got = reader.read(file, buffer.get(), kBuffer, offset);
        if (got < 0) {
            *error = "the file " + from + " of the image cannot be read";
            ok = false;
            break;
        }
        if (got == 0) break;
        for (long done = 0; done < got;) {
            ssize_t n = write(fd, buffer.get() + done, static_cast<size_t>(got - done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                *error = "cannot write " + to + ": " + strerror(errno);
                ok = false;
                break;
            }
            done += n;
        }
        if (!ok) break;
        offset += static_cast<uint64_t>(got);
    }
    reader.close(file);
    if (close(fd) != 0 && ok) {
        *error = "cannot write " + to + ": " + strerror(errno);
        ok = false;
    }
    return ok;
}

bool copyTree(ImageReader& reader, const std::string& from, const std::string& to,
              std::string* error) {
    std::vector<Entry> entries;
    if (!reader.list(from, &entries)) {
        *error = "the folder " + from + " of the image cannot be read";
        return false;
    }
    for (const Entry& e : entries) {
        std::string target = to + "/" + e.name;
        if (e.name.empty() || e.name.find('/') != std::string::npos) continue;
        if (e.isDir) {
            if (mkdir(target.c_str(), 0755) != 0 ||
                !copyTree(reader, child(from, e.name), target, error)) {
                if (error->empty()) *error = "cannot create " + target + ": " + strerror(errno);
                return false;
            }
        } else if (!copyFile(reader, child(from, e.name), target, error)) {
            return false;
        }
    }
    return true;
}

// Children first, so that a folder is still writable while its entries are protected.
bool protectTree(const std::string& path, const struct timespec& stamp) {
    const struct timespec times[2] = {stamp, stamp};
    bool all = true;
    if (DIR* dir = opendir(path.c_str())) {
        std::vector<std::string> names;
        while (struct dirent* d = readdir(dir))
            if (strcmp(d->d_name, ".") && strcmp(d->d_name, "..")) names.push_back(d->d_name);
        closedir(dir);
        for (const std::string& name : names) {
            std::string entry = path + "/" + name;
            struct stat st;
            if (lstat(entry.c_str(), &st) != 0) continue;
            if (S_ISDIR(st.st_mode)) {
                all = protectTree(entry, stamp) && all;
            } else {
                utimensat(AT_FDCWD, entry.c_str(), times, AT_SYMLINK_NOFOLLOW);
                chmod(entry.c_str(), 0444);
                all = setImmutable(entry, true) && all;
            }
        }
    }
    utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
    chmod(path.c_str(), 0555);
    return setImmutable(path, true) && all;
}

void removeTree(const std::string& path) {
    setImmutable(path, false);
    chmod(path.c_str(), 0755);
    if (DIR* dir = opendir(path.c_str())) {
        std::vector<std::string> names;
        while (struct dirent* d = readdir(dir))
            if (strcmp(d->d_name, ".") && strcmp(d->d_name, "..")) names.push_back(d->d_name);
        closedir(dir);
        for (const std::string& name : names) {
            std::string entry = path + "/" + name;
            struct stat st;
            if (lstat(entry.c_str(), &st) != 0) continue;
            if (S_ISDIR(st.st_mode)) {
                removeTree(entry);
            } else {
                setImmutable(entry, false);
                unlink(entry.c_str());
            }
        }
    }
    rmdir(path.c_str());
}

} // namespace

uint64_t imageDataSize(ImageReader& reader) { return dataSize(reader, "/"); }

bool copyImage(ImageReader& reader, const std::string& folder, const struct timespec& stamp,
               bool* protectedFully, std::string* error) {
    error->clear();
    if (!copyTree(reader, "/", folder, error)) return false;
    *protectedFully = protectTree(folder, stamp);
    return true;
}

void removeCopy(const std::string& folder) { removeTree(folder); }
