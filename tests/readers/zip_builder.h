#pragma once

// ZIP archives built byte by byte, for the cases no archiver writes: hostile names,
// sizes that lie, many members.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tressel::test {

struct ZipMember {
    std::string name;
    std::string data;
    bool deflate = false;
    int64_t statedSize = -1; // the uncompressed size written in the headers; -1: the real one
    uint16_t flags = 0;      // 0x0800: the name is UTF-8
};

inline void PutLe(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(i < 8 ? (value >> (8 * i)) & 0xFF : 0);
}

inline std::string RawDeflate(const std::string& data) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

inline std::string BuildZip(const std::vector<ZipMember>& members,
                            const std::string& comment = {}) {
    std::string local, central;
    for (const ZipMember& m : members) {
        const std::string packed = m.deflate ? RawDeflate(m.data) : m.data;
        const uint32_t crc = static_cast<uint32_t>(crc32(
            0, reinterpret_cast<const Bytef*>(m.data.data()), static_cast<uInt>(m.data.size())));
        const uint64_t size =
            m.statedSize < 0 ? m.data.size() : static_cast<uint64_t>(m.statedSize);
        const uint64_t offset = local.size();
        std::string common;
        PutLe(common, 20, 2);
        PutLe(common, m.flags, 2);
        PutLe(common, m.deflate ? 8 : 0, 2);
        PutLe(common, 0, 4); // time, date
        PutLe(common, crc, 4);
        PutLe(common, packed.size(), 4);
        PutLe(common, size, 4);
        PutLe(common, m.name.size(), 2);
        PutLe(common, 0, 2); // extra
        local += "PK\x03\x04" + common + m.name + packed;
        central += "PK\x01\x02";
        PutLe(central, 20, 2);
        central += common;
        PutLe(central, 0, 2 + 2 + 2 + 4); // comment, disk, internal and external attributes
        PutLe(central, offset, 4);
        central += m.name;
    }
    std::string end = "PK\x05\x06";
    PutLe(end, 0, 4);
    PutLe(end, members.size(), 2);
    PutLe(end, members.size(), 2);
    PutLe(end, central.size(), 4);
    PutLe(end, local.size(), 4);
    PutLe(end, comment.size(), 2);
    return local + central + end + comment;
}

} // namespace tressel::test
