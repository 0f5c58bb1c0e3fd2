// Little-endian byte output, with the compressed integers of help-file
// paragraph records.
#ifndef QUORBIT_HELP_BYTE_WRITER_H
#define QUORBIT_HELP_BYTE_WRITER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<unsigned char> Bytes;

class ByteWriter
{
public:
    explicit ByteWriter(Bytes& out) : m_out(out) {}

    void U8(unsigned v) { m_out.push_back(static_cast<unsigned char>(v & 0xFF)); }
    void U16(unsigned v)
    {
        U8(v);
        U8(v >> 8);
    }
    void U32(uint32_t v)
    {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    // The text's bytes, and a terminating zero when asked for.
    void Text(const std::string& s, bool terminate)
    {
        m_out.insert(m_out.end(), s.begin(), s.end());
        if (terminate)
            U8(0);
    }
    void Zeros(size_t n) { m_out.insert(m_out.end(), n, 0); }
    void Append(const Bytes& b) { m_out.insert(m_out.end(), b.begin(), b.end()); }

    // Compressed forms; callers keep values inside the ranges below
    // (cu16: 0..32767, cs16: -16384..16383, cs32: -16384..16383).
    void CU16(unsigned v)
    {
        if (v < 128)
            U8(v * 2);
        else
            U16(v * 2 + 1);
    }
    void CS16(int v)
    {
        if (v >= -64 && v <= 63)
            U8(static_cast<unsigned>(v + 64) * 2);
        else
            U16(static_cast<unsigned>(v + 16384) * 2 + 1);
    }
    void CS32(int v) { U16(static_cast<unsigned>(v + 16384) * 2); }

    size_t Size() const { return m_out.size(); }

private:
    Bytes& m_out;
};

// Overwrites four bytes at an offset already written.
inline void PatchU32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + i] = static_cast<unsigned char>((v >> (8 * i)) & 0xFF);
}

#endif
