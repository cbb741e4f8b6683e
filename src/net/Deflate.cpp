#include "net/Deflate.h"

#include <zlib.h>

#include <limits>

namespace SimpleCurl {

std::optional<std::string> DeflateZlib(std::string_view input) {
    if (input.size() > std::numeric_limits<uInt>::max()) {
        return std::nullopt;
    }
    z_stream stream{};
    if (deflateInit(&stream, Z_DEFAULT_COMPRESSION) != Z_OK) {
        return std::nullopt;
    }
    // zlib's input pointer is not const-qualified but is never written through.
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    stream.avail_in = static_cast<uInt>(input.size());
    std::string out;
    unsigned char chunk[1024];
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        stream.next_out = chunk;
        stream.avail_out = sizeof chunk;
        status = deflate(&stream, stream.avail_in > 0 ? Z_NO_FLUSH : Z_FINISH);
        if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
            deflateEnd(&stream);
            return std::nullopt;
        }
        out.append(reinterpret_cast<const char*>(chunk), sizeof chunk - stream.avail_out);
    }
    deflateEnd(&stream);
    return out;
}

} // namespace SimpleCurl
