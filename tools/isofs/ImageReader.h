// Read-only access to the files of a disc image: UDF or ISO 9660.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Entry {
    std::string name;
    bool isDir = false;
    uint64_t size = 0;
};

class ImageReader {
public:
    virtual ~ImageReader() = default;
    // Paths are absolute within the image ("/", "/VIDEO_TS/VTS_01_1.VOB").
    virtual bool stat(const std::string& path, Entry* entry) = 0;
    virtual bool list(const std::string& path, std::vector<Entry>* entries) = 0;
    virtual void* open(const std::string& path) = 0;
    // Bytes read, 0 at the end, -1 on a read error.
    virtual long read(void* file, char* buffer, size_t size, uint64_t offset) = 0;
    virtual void close(void* file) = 0;
    // Where the bytes of a file from offset on lie in the image file: the position of the first
    // and how many of them, at most size, lie there one after another (none past the file's
    // end), so that they can be served from the image file directly. False where they are not
    // stored as plain blocks (data inside a UDF file entry, unrecorded extents): read() then.
    virtual bool locate(void* file, uint64_t offset, uint64_t size, uint64_t* imageOffset,
                        uint64_t* length) = 0;
};

// UDF first (it carries the names and sizes players use on DVD and Blu-ray images), then
// ISO 9660. Every file's data must lie within the image: a truncated image is refused here
// rather than failing later in the middle of playback. Null with *error set on failure.
ImageReader* openImage(const std::string& path, std::string* error);
