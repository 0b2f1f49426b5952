// Mounts a disc image the way the player does (mountImage, through the mount tool), reads its
// largest file through the new drive, reads the same bytes straight from the image file, and
// prints the times and their ratio, plus the time to mount and to unmount.
// Usage: bench_mount [image] [rounds] (default: %VELLORAN_MEDIA_WIN%\dvd.iso, 20 rounds).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "mount/IsoMount.h"

namespace {

// The one owner of this run's mounts, as the player has.
ImageMounts gMounts;

using bench::now;

// Reads length bytes from offset of a file; empty on failure.
std::string readRange(const WString& path, ULONGLONG offset, ULONGLONG length) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (f == INVALID_HANDLE_VALUE) return std::string();
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    std::string data;
    if (SetFilePointerEx(f, at, nullptr, FILE_BEGIN)) {
        data.resize(static_cast<size_t>(length));
        size_t done = 0;
        while (done < data.size()) {
            DWORD want = static_cast<DWORD>(data.size() - done < (1u << 16) ? data.size() - done
                                                                          : (1u << 16));
            DWORD got = 0;
            if (!ReadFile(f, &data[done], want, &got, nullptr) || got == 0) break;
            done += got;
        }
        data.resize(done);
    }
    CloseHandle(f);
    return data;
}

// Where the file's data starts in the image: disc file systems store files in whole 2048-byte
// sectors, so the first sector of the file is looked for at sector boundaries.
bool findInImage(const WString& image, const std::string& head, ULONGLONG* offset) {
    const size_t kSector = 2048;
    const size_t kSpan = 4u << 20;
    ULONGLONG size = bench::fileSize(image);
    for (ULONGLONG at = 0; at < size; at += kSpan) {
        std::string block = readRange(image, at, kSpan + kSector);
        for (size_t i = 0; i + head.size() <= block.size() && i < kSpan; i += kSector) {
            if (memcmp(block.data() + i, head.data(), head.size()) == 0) {
                *offset = at + i;
                return true;
            }
        }
    }
    return false;
}

} // namespace

extern "C" int main(int argc, char** argv) {
    const WString image = bench::mediaArgument(argc, argv, L"dvd.iso");
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 20;
    if (image.empty() || rounds <= 0 || bench::fileSize(image) == 0) {
        std::printf("usage: bench_mount [image] [rounds]\n");
        return 2;
    }

    double t0 = now();
    WString root;
    if (!gMounts.mountImage(image, &root)) {
        std::printf("bench_mount: the image could not be mounted\n");
        return 1;
    }
    double mountTime = now() - t0;
    if (root.size() == 2) root += L"\\";

    WString file;
    ULONGLONG size = 0;
    bench::findLargest(root, &file, &size);
    int rc = 1;
    ULONGLONG offset = 0;
    double t2 = now();
    std::string reference = readRange(file, 0, size); // the first read goes through the server
    double firstRead = now() - t2;
    if (size == 0 || reference.size() != size) {
        std::printf("bench_mount: no readable file on the drive\n");
    } else if (!findInImage(image, reference.substr(0, size < 2048 ? size : 2048), &offset) ||
               readRange(image, offset, size) != reference) {
        std::printf("bench_mount: the file's bytes are not found in one piece in the image\n");
    } else {
        // Both readers read the same bytes; the first pass above warmed both caches.
        double viaDrive = 0, direct = 0;
        bool same = true;
        for (int i = 0; i < rounds; ++i) {
            double a = now();
            same = readRange(file, 0, size) == reference && same;
            double b = now();
            same = readRange(image, offset, size) == reference && same;
            double c = now();
            viaDrive += b - a;
            direct += c - b;
        }
        const double mb = static_cast<double>(size) * rounds / (1024.0 * 1024.0);
        std::printf("bench_mount: %s, %llu bytes x %d rounds\n", toUtf8(file).c_str(),
                    static_cast<unsigned long long>(size),
                    rounds);
        std::printf("  mount:          %10.3f s\n", mountTime);
        std::printf("  first read:     %10.6f s  (through the image server, uncached)\n",
                    firstRead);
        std::printf("  through drive:  %10.6f s  (%.0f MB/s)\n", viaDrive,
                    viaDrive > 0 ? mb / viaDrive : 0.0);
        std::printf("  image directly: %10.6f s  (%.0f MB/s)\n", direct,
                    direct > 0 ? mb / direct : 0.0);
        std::printf("  ratio (drive / direct): %.2f\n", direct > 0 ? viaDrive / direct : 0.0);
        std::printf("  same bytes: %s\n", same ? "yes" : "NO");
        rc = same ? 0 : 1;
    }

    double t1 = now();
    gMounts.unmountImage(&image, true);
    std::printf("  unmount:        %10.3f s\n", now() - t1);
    return rc;
}
