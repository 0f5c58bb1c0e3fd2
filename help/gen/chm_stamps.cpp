#include "chm_stamps.h"

#include <cstring>

namespace {

// Reads the file's numbers; a read past the end, or a number the file
// cannot hold, turns ok false and gives 0.
struct ChmReader
{
    const Bytes& b;
    bool ok;

    bool Fits(size_t at, size_t n)
    {
        ok = ok && at <= b.size() && n <= b.size() - at;
        return ok;
    }
    bool Is(size_t at, const char* tag) { return Fits(at, 4) && std::memcmp(&b[at], tag, 4) == 0; }
    unsigned U16(size_t at) { return Fits(at, 2) ? b[at] | (b[at + 1] << 8) : 0; }
    uint32_t U32(size_t at) { return Fits(at, 4) ? U16(at) | (static_cast<uint32_t>(U16(at + 2)) << 16) : 0; }
    // A 64-bit offset; a file this small has none above 4 GB.
    size_t U64(size_t at)
    {
        ok = ok && U32(at + 4) == 0;
        return U32(at);
    }
    // The directory's numbers: big-endian groups of 7 bits, each group but
    // the last with its top bit set.
    size_t EncInt(size_t& at, size_t end)
    {
        size_t v = 0;
        for (int groups = 0; groups < 5 && at < end && Fits(at, 1); groups++)
        {
            unsigned char c = b[at++];
            v = (v << 7) | (c & 0x7F);
            if (!(c & 0x80))
                return v;
        }
        ok = false;
        return 0;
    }
};

// Where the content of #SYSTEM starts and its size, from the directory:
// an "ITSP" header, then chunks of one size, the PMGL ones listing each
// file by name, content section, offset and length, linked first to last.
bool FindSystem(ChmReader& r, size_t& at, size_t& size)
{
    if (!r.Is(0, "ITSF") || r.U32(4) != 3)
        return false;
    size_t dir = r.U64(0x48), content = r.U64(0x58);
    size_t chunks = dir + r.U32(dir + 8), chunkSize = r.U32(dir + 0x10);
    uint32_t count = r.U32(dir + 0x2C);
    if (!r.Is(dir, "ITSP") || chunkSize < 0x14)
        return false;
    uint32_t c = r.U32(dir + 0x20);
    for (uint32_t seen = 0; r.ok && c != 0xFFFFFFFF && seen < count; seen++)
    {
        size_t chunk = chunks + c * chunkSize;
        if (!r.Fits(chunk, chunkSize) || !r.Is(chunk, "PMGL"))
            return false;
        size_t end = chunk + chunkSize - r.U32(chunk + 4);  // before the quick-reference area
        for (size_t e = chunk + 0x14; r.ok && e < end;)
        {
            size_t nameLength = r.EncInt(e, end);
            if (!r.Fits(e, nameLength))
                return false;
            std::string name(r.b.begin() + e, r.b.begin() + e + nameLength);
            e += nameLength;
            size_t section = r.EncInt(e, end), offset = r.EncInt(e, end), length = r.EncInt(e, end);
            if (name == "/#SYSTEM")
            {
                at = content + offset;
                size = length;
                return r.ok && section == 0 && r.Fits(at, size);
            }
        }
        c = r.U32(chunk + 0x10);
    }
    return false;
}

}

uint32_t SourceStamp(const std::string& text)
{
    uint32_t h = 2166136261u;  // FNV-1a
    for (char c : text)
        h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return h;
}

bool SetChmStamps(Bytes& chm, uint32_t stamp, std::string& error)
{
    ChmReader r{chm, true};
    size_t system = 0, size = 0;
    if (!FindSystem(r, system, size))
    {
        error = "not laid out as chmcmd lays out a compiled help file, or no uncompressed #SYSTEM";
        return false;
    }
    // After the file's version, records of a 16-bit code, a 16-bit length
    // and their data.
    size_t record = system + 4;
    while (record + 4 <= system + size && !(r.U16(record) == 10 && r.U16(record + 2) == 4))
        record += 4 + r.U16(record + 2);
    if (record + 8 > system + size)
    {
        error = "#SYSTEM holds no time stamp";
        return false;
    }
    // chmcmd writes one clock reading into both: big-endian in the header.
    for (int i = 0; i < 4; i++)
        chm[16 + i] = static_cast<unsigned char>(stamp >> (24 - 8 * i));
    PatchU32(chm, record + 4, stamp);
    return true;
}
