// Two measurements on a DVD-Video image over 1 GB (bench/run.sh makes it: the test DVD plus a
// ~1 GB padding file in a folder of its own), each against a reference in the same run:
// 1. Reading the largest file (the padding) through the mounted drive in 1 MB blocks against
//    reading the same bytes from the image file directly. Both warm: the image is read once
//    before, so the image server reads from the page cache; the drive's own cache is cold on
//    its first pass (its second pass is printed too). That first pass fills 1 GB of new page
//    cache; on a virtual machine whose host hands memory over as it is first touched, that
//    costs more than the copying, and the first pass is then several times slower than on a
//    machine whose memory has been in use (through the drive on a 2-core virtual machine:
//    0.3-1 GB/s into untouched memory, about 2.5 GB/s into memory freed a moment before).
// 2. Opening the image the player's way (mount, detect, engine open and play) to the first
//    frame drawn in the video window, against cvlc dvd:///image to its "Received first
//    picture" (the picture reaching its video output, about when it is shown).
// Usage: bench_bigimage image
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "engine/VlcPlayer.h"
#include "mount/IsoMount.h"
#include "mount/ProcessRunner.h"
#include "platform/VlcPaths.h"
#include "playback/DiscDetect.h"

namespace {

// The one owner of this run's mounts, as the player has.
ImageMounts gMounts;

using bench::now;

constexpr DWORD kBlock = 1u << 20;

// Reads length bytes from offset in 1 MB blocks into one reused buffer; returns a checksum of
// the bytes and the count read in *done.
unsigned long long readSum(const WString& path, ULONGLONG offset, ULONGLONG length,
                           ULONGLONG* done) {
    *done = 0;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (f == INVALID_HANDLE_VALUE) return 0;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    static std::vector<unsigned long long> buffer(kBlock / 8);
    unsigned long long sum = 0;
    if (SetFilePointerEx(f, at, nullptr, FILE_BEGIN)) {
        while (*done < length) {
            DWORD want = length - *done < kBlock ? static_cast<DWORD>(length - *done) : kBlock;
            DWORD got = 0;
            if (!ReadFile(f, buffer.data(), want, &got, nullptr) || got == 0) break;
            for (DWORD i = 0; i < got / 8; ++i)
                sum = sum * 31 + buffer[i];
            *done += got;
        }
    }
    CloseHandle(f);
    return sum;
}

std::string readHead(const WString& path, DWORD length) {
    std::string data(length, '\0');
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return std::string();
    DWORD got = 0;
    if (!ReadFile(f, &data[0], length, &got, nullptr)) got = 0;
    CloseHandle(f);
    data.resize(got);
    return data;
}

// Where the file's first sector is in the image (files start on 2048-byte sectors).
bool findInImage(const WString& image, const std::string& head, ULONGLONG* offset) {
    HANDLE f = CreateFileW(image.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    std::vector<char> block(kBlock);
    ULONGLONG at = 0;
    bool found = false;
    DWORD got = 0;
    while (!found && ReadFile(f, block.data(), kBlock, &got, nullptr) && got > 0) {
        for (DWORD i = 0; i + head.size() <= got; i += 2048) {
            if (memcmp(block.data() + i, head.data(), head.size()) == 0) {
                *offset = at + i;
                found = true;
                break;
            }
        }
        at += got;
    }
    CloseHandle(f);
    return found;
}

double megabytesPerSecond(ULONGLONG bytes, double seconds) {
    return seconds > 0 ? static_cast<double>(bytes) / (1024.0 * 1024.0) / seconds : 0;
}

void measureReading(const WString& image, const WString& root) {
    WString file;
    ULONGLONG size = 0;
    bench::findLargest(root, &file, &size);
    ULONGLONG offset = 0;
    const std::string head = readHead(file, 2048);
    if (size == 0 || head.size() != 2048 || !findInImage(image, head, &offset)) {
        std::printf("  reading: the drive's largest file is not found in the image\n");
        return;
    }
    ULONGLONG done = 0;
    readSum(image, offset, size, &done); // warms the page cache for both readers
    double a = now();
    ULONGLONG viaDriveBytes = 0, directBytes = 0, againBytes = 0;
    const unsigned long long viaDrive = readSum(file, 0, size, &viaDriveBytes);
    double b = now();
    const unsigned long long direct = readSum(image, offset, size, &directBytes);
    double c = now();
    const unsigned long long again = readSum(file, 0, size, &againBytes);
    double d = now();
    const double driveRate = megabytesPerSecond(viaDriveBytes, b - a);
    const double directRate = megabytesPerSecond(directBytes, c - b);
    const double againRate = megabytesPerSecond(againBytes, d - c);
    std::printf("  reading %s, %llu bytes in 1 MB blocks (image in the page cache)\n",
                toUtf8(file).c_str(), static_cast<unsigned long long>(size));
    std::printf("    through drive:  %8.0f MB/s  (first pass, through the image server)\n",
                driveRate);
    std::printf("    image directly: %8.0f MB/s\n", directRate);
    std::printf("    drive again:    %8.0f MB/s  (second pass, drive cache warm)\n", againRate);
    std::printf("    ratio drive/direct: %.2f (second pass %.2f)\n",
                directRate > 0 ? driveRate / directRate : 0.0,
                directRate > 0 ? againRate / directRate : 0.0);
    const bool same = viaDriveBytes == size && directBytes == size && againBytes == size &&
                      viaDrive == direct && again == direct;
    std::printf("    same bytes: %s\n", same ? "yes" : "NO");
}

// Mount, detect, engine open and play, until the first frame is drawn in the window; the
// seconds from the start to each step. False when no frame came within 30 s.
bool openToFirstFrame(const WString& image, double* mounted, double* detected,
                      double* firstFrame) {
    HWND window = bench::createVideoWindow(720, 576);
    if (!window) return false;

    const double start = now();
    WString root;
    if (!gMounts.mountImage(image, &root)) return false;
    *mounted = now() - start;
    const DiscKind kind = detectDiscKind(root);
    *detected = now() - start;
    if (kind != DiscKind::Dvd) {
        std::printf("  first frame: the mounted image is no DVD-Video\n");
        gMounts.unmountImage(&image, true);
        return false;
    }
    bool shown = false;
    {
        VlcPlayer engine(bench::engineOptions());
        bool playing = engine.init(nullptr);
        if (playing) {
            engine.setHwnd(window);
            bench::showEngineIn(window, &engine);
            playing = engine.open(root, kind) && engine.play();
        }
        while (playing && now() - start < 30) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
            FrameStats stats;
            if (engine.getFrameStats(stats) && stats.drawn > 0) {
                *firstFrame = now() - start;
                shown = true;
                break;
            }
            const PlayerState state = engine.getState();
            if (state == PlayerState::Ended || state == PlayerState::Error) break;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
        }
        engine.release();
    }
    DestroyWindow(window);
    gMounts.unmountImage(&image, true);
    return shown;
}

// cvlc on the image (as the user vlcbench: cvlc refuses root), from its start to its log line
// "Received first picture"; it is stopped once the line came.
bool cvlcToFirstFrame(const std::string& unixImage, double* firstFrame) {
    std::system("id vlcbench >/dev/null 2>&1 || useradd -m vlcbench >/dev/null 2>&1");
    const char* display = std::getenv("DISPLAY");
    const std::string command =
        "runuser -u vlcbench -- env DISPLAY=" + std::string(display ? display : ":0") +
        " cvlc -vv --play-and-exit --vout=xcb_x11 --aout=dummy 'dvd://" + unixImage +
        "' 2>&1 & echo PID $!; wait";
    const double start = now();
    FILE* log = popen(command.c_str(), "r");
    if (!log) return false;
    char line[4096];
    bool found = false;
    std::string pid;
    while (std::fgets(line, sizeof line, log)) {
        if (pid.empty() && std::strncmp(line, "PID ", 4) == 0) pid = line + 4;
        if (!found && std::strstr(line, "Received first picture")) {
            *firstFrame = now() - start;
            found = true;
            // runuser's child is cvlc (vlc); stop it rather than play the disc to its end.
            if (!pid.empty()) std::system(("pkill -P " + pid.substr(0, pid.find('\n'))).c_str());
        }
    }
    pclose(log);
    return found;
}

} // namespace

extern "C" int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: bench_bigimage image\n");
        return 2;
    }
    const WString image = fromUtf8(argv[1]);
    const ULONGLONG size = bench::fileSize(image);
    if (size == 0) {
        std::printf("bench_bigimage: no image %s\n", argv[1]);
        return 2;
    }
    std::printf("bench_bigimage: %s, %.0f MB\n", argv[1], size / (1024.0 * 1024.0));

    WString root;
    if (!gMounts.mountImage(image, &root)) {
        std::printf("bench_bigimage: the image could not be mounted\n");
        return 1;
    }
    if (root.size() == 2) root += L"\\";
    // For a moment after a mount, Wine's own services (device manager, explorer) react to the
    // new drive and load the 2-core machine; the reads are timed after that, so that neither
    // the first pass through the drive nor the direct read pays for it.
    Sleep(3000);
    measureReading(image, root);
    gMounts.unmountImage(&image, true);

    // The player has its mount tool started and waiting a moment after it starts and after each
    // use (ImageMounts::keepToolReady on its timer), well before anyone picks an image to open.
    // So has libVLC (PlayLogic::prepareEngine).
    prepareSharedVlcInstance(bench::engineOptions());
    for (int i = 0; i < 30; ++i) {
        gMounts.keepToolReady();
        Sleep(100);
    }
    double mounted = 0, detected = 0, ours = 0, reference = 0;
    if (!openToFirstFrame(image, &mounted, &detected, &ours)) {
        std::printf("  first frame: the player's way showed no frame\n");
        return 1;
    }
    std::printf("  open to first frame (in-process: mount, detect, engine open/play, drawn)\n");
    std::printf("    player's way: %6.3f s  (mounted %.3f, detected %.3f)\n", ours, mounted,
                detected);
    // Part of the mount that no change inside the tool removes: one run of the tool, here its
    // listing (a process start and end).
    const double listStart = now();
    if (runProcess(L"\"" + getMountToolPath() + L"\" /list", nullptr))
        std::printf("    of which at least one run of the mount tool: %.3f s (its listing)\n",
                    now() - listStart);
    if (!cvlcToFirstFrame(vlcHostPath(image), &reference)) {
        std::printf("    cvlc: no first picture (vlc-bin and runuser needed)\n");
        return 1;
    }
    std::printf("    cvlc dvd:///: %6.3f s  (to \"Received first picture\")\n", reference);
    std::printf("    ratio player/cvlc: %.2f\n", reference > 0 ? ours / reference : 0.0);
    releaseSharedVlcInstance();
    gMounts.releaseTool();
    return 0;
}
