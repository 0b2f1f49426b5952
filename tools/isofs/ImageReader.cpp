#include "tools/isofs/ImageReader.h"

#include <cdio/iso9660.h>
#include <udfread/blockinput.h>
#include <udfread/udfread.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>

namespace {

const uint64_t kBlock = 2048;
// Deeper folders than any real disc has: a damaged or crafted image whose folders loop back
// on themselves is refused instead of recursing without end.
const int kMaxDepth = 64;
// Folders visited by the check: a tree whose folders are shared many times over is refused.
const int kMaxFolders = 100000;

// Whether the check may go into one more folder, at depth; counts it in *folders.
bool folderAllowed(int depth, int* folders, std::string* error) {
    if (depth > kMaxDepth) {
        *error = "the folders of the image nest too deeply (a damaged image)";
        return false;
    }
    if (++*folders > kMaxFolders) {
        *error = "the image has too many folders (a damaged image)";
        return false;
    }
    return true;
}

std::string joinPath(const std::string& dir, const std::string& name) {
    return dir == "/" ? "/" + name : dir + "/" + name;
}

// The image as libudfread's block source. It notes reads that reach past the image's end, so
// that a file system pointing there is named as such. With zeroUnreadable, a single block read
// as all zeros counts as unreadable: an image copied from a disc with unreadable sectors holds
// zeros there, and libudfread takes a metadata block's mirror only for a block that fails to
// read or whose tag is invalid (an all-zero tag passes its checksum).
struct ImageInput : udfread_block_input {
    int fd = -1;
    uint32_t blocks = 0;
    bool zeroUnreadable = false;
    bool pastEnd = false;

    static ImageInput* create(const std::string& path, uint32_t blocks, bool zeroUnreadable) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return nullptr;
        auto* in = new ImageInput;
        in->fd = fd;
        in->blocks = blocks;
        in->zeroUnreadable = zeroUnreadable;
        in->close = [](udfread_block_input* self) {
            auto* in = static_cast<ImageInput*>(self);
            ::close(in->fd);
            delete in;
            return 0;
        };
        in->size = [](udfread_block_input* self) { return static_cast<ImageInput*>(self)->blocks; };
        in->read = [](udfread_block_input* self, uint32_t lba, void* buf, uint32_t count, int) {
            auto* in = static_cast<ImageInput*>(self);
            // Volume recognition reads up to the anchor at block 256 also in small images that
            // are no UDF at all; beyond it only a recognised volume's structures are read.
            if (lba > 256 && static_cast<uint64_t>(lba) + count > in->blocks) in->pastEnd = true;
            if (lba >= in->blocks) return -1;
            count = std::min(count, in->blocks - lba);
            const ssize_t got = pread(in->fd, buf, static_cast<size_t>(count) * kBlock,
                                      static_cast<off_t>(lba) * static_cast<off_t>(kBlock));
            if (got < static_cast<ssize_t>(kBlock)) return -1;
            const auto* bytes = static_cast<const uint8_t*>(buf);
            if (in->zeroUnreadable && count == 1 &&
                std::all_of(bytes, bytes + kBlock, [](uint8_t b) { return b == 0; }))
                return -1;
            return static_cast<int>(got / static_cast<ssize_t>(kBlock));
        };
        return in;
    }
};

// Opens the UDF file system of the image: as it is, then once more taking the mirror of
// metadata blocks that read as zeros. Null when there is none; *pastEnd when a try read past
// the image's end.
udfread* openUdf(const std::string& path, uint32_t blocks, bool* pastEnd) {
    for (bool zeroUnreadable : {false, true}) {
        ImageInput* input = ImageInput::create(path, blocks, zeroUnreadable);
        udfread* udf = input ? udfread_init() : nullptr;
        if (!udf) {
            if (input) input->close(input);
            return nullptr;
        }
        if (udfread_open_input(udf, input) == 0) return udf;
        *pastEnd = *pastEnd || input->pastEnd;
        input->close(input);
        udfread_close(udf);
    }
    return nullptr;
}

class UdfReader : public ImageReader {
public:
    UdfReader(udfread* udf, uint64_t imageBlocks) : imageBlocks_(imageBlocks), udf_(udf) {}
    ~UdfReader() override { udfread_close(udf_); }

    bool stat(const std::string& path, Entry* entry) override {
        if (path == "/") {
            *entry = Entry{"", true, 0};
            return true;
        }
        if (UDFDIR* dir = udfread_opendir(udf_, path.c_str())) {
            udfread_closedir(dir);
            *entry = Entry{"", true, 0};
            return true;
        }
        if (UDFFILE* file = udfread_file_open(udf_, path.c_str())) {
            int64_t size = udfread_file_size(file);
            udfread_file_close(file);
            *entry = Entry{"", false, size > 0 ? static_cast<uint64_t>(size) : 0};
            return true;
        }
        return false;
    }

    bool list(const std::string& path, std::vector<Entry>* entries) override {
        UDFDIR* dir = udfread_opendir(udf_, path.c_str());
        if (!dir) return false;
        struct udfread_dirent dirent;
        while (udfread_readdir(dir, &dirent)) {
            if (!strcmp(dirent.d_name, ".") ||
                !strcmp(dirent.d_name, ".."))
                continue;
            Entry e;
            e.name = dirent.d_name;
            e.isDir = dirent.d_type == UDF_DT_DIR;
            if (!e.isDir) {
                if (UDFFILE* file = udfread_file_openat(dir, dirent.d_name)) {
                    int64_t size = udfread_file_size(file);
                    e.size = size > 0 ? static_cast<uint64_t>(size) : 0;
                    udfread_file_close(file);
                }
            }
            entries->push_back(e);
        }
        udfread_closedir(dir);
        return true;
    }

    void* open(const std::string& path) override { return udfread_file_open(udf_, path.c_str()); }

    long read(void* file, char* buffer, size_t size, uint64_t offset) override {
        auto* f = static_cast<UDFFILE*>(file);
        if (udfread_file_seek(f, static_cast<int64_t>(offset), UDF_SEEK_SET) < 0) return -1;
        ssize_t n = udfread_file_read(f, buffer, size);
        return n < 0 ? -1 : static_cast<long>(n);
    }

    void close(void* file) override { udfread_file_close(static_cast<UDFFILE*>(file)); }

    bool locate(void* file, uint64_t offset, uint64_t size, uint64_t* imageOffset,
                uint64_t* length) override {
        auto* f = static_cast<UDFFILE*>(file);
        const int64_t fileSize = udfread_file_size(f);
        if (fileSize < 0) return false;
        if (offset >= static_cast<uint64_t>(fileSize) || size == 0) {
            *length = 0;
            return true;
        }
        size = std::min(size, static_cast<uint64_t>(fileSize) - offset);
        const uint64_t first = offset / kBlock;
        const uint64_t last = (offset + size - 1) / kBlock;
        const uint32_t lba = udfread_file_lba(f, static_cast<uint32_t>(first));
        if (lba == 0 || lba >= imageBlocks_) return false;
        uint64_t block = first + 1;
        while (block <= last && lba + (block - first) < imageBlocks_ &&
               udfread_file_lba(f, static_cast<uint32_t>(block)) == lba + (block - first))
            ++block;
        *imageOffset = lba * kBlock + offset % kBlock;
        *length = std::min(size, (block - first) * kBlock - offset % kBlock);
        return true;
    }

    // Every block of every file must map into the image.
    bool checkExtents(const std::string& path, std::string* error, int depth = 0) {
        if (!folderAllowed(depth, &folders_, error)) return false;
        std::vector<Entry> entries;
        if (!list(path, &entries)) {
            *error = "the folder " + path + " of the image cannot be read";
            return false;
        }
        for (const Entry& e : entries) {
            std::string child = joinPath(path, e.name);
            if (e.isDir) {
                if (!checkExtents(child, error, depth + 1)) return false;
                continue;
            }
            UDFFILE* file = udfread_file_open(udf_, child.c_str());
            if (!file) {
                *error = "the file " + child + " of the image cannot be opened";
                return false;
            }
            if (e.size == 0) {
                udfread_file_close(file);
                continue;
            }
            if (e.size > imageBlocks_ * kBlock) {
                udfread_file_close(file);
                *error = "the image is truncated: " + child + " lies beyond its end";
                return false;
            }
            uint32_t lastBlock = static_cast<uint32_t>((e.size - 1) / kBlock);
            uint32_t first = udfread_file_lba(file, 0);
            uint32_t last = udfread_file_lba(file, lastBlock);
            udfread_file_close(file);
            if (first == 0 || last == 0 || first >= imageBlocks_ || last >= imageBlocks_) {
                *error = "the image is truncated: " + child + " lies beyond its end";
                return false;
            }
        }
        return true;
    }

private:
    const uint64_t imageBlocks_;
    int folders_ = 0;
    udfread* udf_;
};

class IsoReader : public ImageReader {
public:
    explicit IsoReader(iso9660_t* iso) : iso_(iso), joliet_(iso9660_ifs_get_joliet_level(iso)) {}
    ~IsoReader() override { iso9660_close(iso_); }

    bool stat(const std::string& path, Entry* entry) override {
        iso9660_stat_t* st = iso9660_ifs_stat_translate(iso_, path.c_str());
        if (!st) return false;
        *entry = Entry{"", st->type == iso9660_stat_s::_STAT_DIR, st->size};
        iso9660_stat_free(st);
        return true;
    }

    bool list(const std::string& path, std::vector<Entry>* entries) override {
        CdioList_t* items = iso9660_ifs_readdir(iso_, path.c_str());
        if (!items) return false;
        CdioListNode_t* node;
        _CDIO_LIST_FOREACH(node, items) {
            auto* st = static_cast<iso9660_stat_t*>(_cdio_list_node_data(node));
            if (!strcmp(st->filename, ".") || !strcmp(st->filename, "..")) continue;
            Entry e;
            e.name = displayName(st);
            e.isDir = st->type == iso9660_stat_s::_STAT_DIR;
            e.size = st->size;
            entries->push_back(e);
        }
        iso9660_filelist_free(items);
        return true;
    }

    void* open(const std::string& path) override {
        iso9660_stat_t* st = iso9660_ifs_stat_translate(iso_, path.c_str());
        if (st && st->type == iso9660_stat_s::_STAT_DIR) {
            iso9660_stat_free(st);
            return nullptr;
        }
        return st;
    }

    long read(void* file, char* buffer, size_t size, uint64_t offset) override {
        auto* st = static_cast<iso9660_stat_t*>(file);
        if (offset >= st->size) return 0;
        if (size > st->size - offset) size = static_cast<size_t>(st->size - offset);
        uint64_t firstBlock = offset / kBlock;
        uint64_t lastBlock = (offset + size - 1) / kBlock;
        size_t blocks = static_cast<size_t>(lastBlock - firstBlock + 1);
        std::unique_ptr<char[]> data(new char[blocks * kBlock]);
        long got = iso9660_iso_seek_read(iso_, data.get(), st->lsn + static_cast<lsn_t>(firstBlock),
                                         static_cast<long>(blocks));
        if (got < static_cast<long>(blocks * kBlock)) return -1;
        memcpy(buffer, data.get() + (offset - firstBlock * kBlock), size);
        return static_cast<long>(size);
    }

    void close(void* file) override { iso9660_stat_free(static_cast<iso9660_stat_t*>(file)); }

    // A file is one extent.
    bool locate(void* file, uint64_t offset, uint64_t size, uint64_t* imageOffset,
                uint64_t* length) override {
        auto* st = static_cast<iso9660_stat_t*>(file);
        if (offset >= st->size) {
            *length = 0;
            return true;
        }
        *imageOffset = static_cast<uint32_t>(st->lsn) * kBlock + offset;
        *length = std::min(size, st->size - offset);
        return true;
    }

    bool checkExtents(const std::string& path, uint64_t imageBlocks, std::string* error,
                      int depth = 0) {
        if (!folderAllowed(depth, &folders_, error)) return false;
        CdioList_t* items =
            recordsSound(path, imageBlocks) ? iso9660_ifs_readdir(iso_, path.c_str()) : nullptr;
        if (!items) {
            *error = "the folder " + path + " of the image cannot be read";
            return false;
        }
        bool ok = true;
        CdioListNode_t* node;
        _CDIO_LIST_FOREACH(node, items) {
            auto* st = static_cast<iso9660_stat_t*>(_cdio_list_node_data(node));
            if (!strcmp(st->filename, ".") || !strcmp(st->filename, "..")) continue;
            std::string child = joinPath(path, displayName(st));
            uint64_t end = static_cast<uint32_t>(st->lsn) + (st->size + kBlock - 1) / kBlock;
            if (end > imageBlocks) {
                *error = "the image is truncated: " + child + " lies beyond its end";
                ok = false;
                break;
            }
            if (st->type != iso9660_stat_s::_STAT_DIR) continue;
            if (!seen_.insert(static_cast<uint32_t>(st->lsn)).second) {
                *error = "the folders of the image loop (a damaged image)";
                ok = false;
                break;
            }
            if (!checkExtents(child, imageBlocks, error, depth + 1)) {
                ok = false;
                break;
            }
        }
        iso9660_filelist_free(items);
        return ok;
    }

private:
    // libiso9660 copies a record's name without checking it against the record's length: every
    // record of the folder must hold its name and stay within its block.
    bool recordsSound(const std::string& path, uint64_t imageBlocks) {
        iso9660_stat_t* dir = iso9660_ifs_stat_translate(iso_, path.c_str());
        if (!dir) return false;
        const uint64_t blocks = (dir->size + kBlock - 1) / kBlock;
        const uint32_t lsn = static_cast<uint32_t>(dir->lsn);
        iso9660_stat_free(dir);
        if (blocks == 0 || lsn + blocks > imageBlocks) return false;
        std::vector<uint8_t> data(blocks * kBlock);
        if (iso9660_iso_seek_read(iso_, data.data(), lsn, static_cast<long>(blocks)) <
            static_cast<long>(data.size()))
            return false;
        for (size_t at = 0; at < data.size();) {
            const size_t length = data[at];
            if (length == 0) { // the rest of the block is unused
                at = (at / kBlock + 1) * kBlock;
                continue;
            }
            if (length < 34 || at % kBlock + length > kBlock || 33u + data[at + 32] > length)
                return false;
            at += length;
        }
        return true;
    }

    // Joliet and Rock Ridge names come as they are; plain ISO 9660 names lose ";1".
    std::string displayName(const iso9660_stat_t* st) {
        const char* raw = st->filename;
        if (joliet_ != 0 || st->rr.b3_rock == yep) return raw;
        std::vector<char> out(strlen(raw) + 1);
        iso9660_name_translate_ext(raw, out.data(), joliet_);
        return out.data();
    }

    int folders_ = 0;
    std::set<uint32_t> seen_; // folders' extents met by the check
    iso9660_t* iso_;
    uint8_t joliet_;
};

} // namespace

ImageReader* openImage(const std::string& path, std::string* error) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = "the image " + path + " cannot be found";
        return nullptr;
    }
    uint64_t imageBlocks = static_cast<uint64_t>(st.st_size) / kBlock;

    bool pastEnd = false;
    if (udfread* udf = openUdf(path, static_cast<uint32_t>(imageBlocks), &pastEnd)) {
        auto reader = std::make_unique<UdfReader>(udf, imageBlocks);
        if (reader->checkExtents("/", error)) return reader.release();
        return nullptr;
    }
    if (iso9660_t* iso = iso9660_open_ext(path.c_str(), ISO_EXTENSION_ALL)) {
        auto reader = std::make_unique<IsoReader>(iso);
        if (reader->checkExtents("/", imageBlocks, error)) return reader.release();
        return nullptr;
    }
    if (pastEnd) {
        *error = "the image is damaged or truncated: its UDF file system's metadata lies beyond "
                 "the end of the image";
        return nullptr;
    }
    // The tool's caller names the file as its user knows it; this side knows only the host path.
    *error = "the file is not a disc image (no UDF or ISO 9660 file system)";
    return nullptr;
}
