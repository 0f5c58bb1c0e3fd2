#include "help_reader.h"

#include <cstring>
#include <set>

namespace {

typedef std::vector<unsigned char> Bytes;

struct Fault
{
    std::string what;
};

[[noreturn]] void Fail(const std::string& what)
{
    throw Fault{what};
}

void Need(bool ok, const std::string& what)
{
    if (!ok)
        Fail(what);
}

// Bounds-checked reads from one byte range.
struct Cursor
{
    const Bytes& b;
    size_t at;
    size_t end;
    std::string where;

    unsigned U8()
    {
        Need(at < end, where + ": read past its end");
        return b[at++];
    }
    unsigned U16()
    {
        unsigned lo = U8();
        return lo | (U8() << 8);
    }
    uint32_t U32()
    {
        uint32_t lo = U16();
        return lo | (static_cast<uint32_t>(U16()) << 16);
    }
    std::string Str()
    {
        std::string s;
        for (unsigned c = U8(); c != 0; c = U8())
            s += static_cast<char>(c);
        return s;
    }
    unsigned CU16()
    {
        unsigned first = b[at < end ? at : 0];
        return (first & 1) ? U16() >> 1 : U8() >> 1;
    }
    int CS16()
    {
        unsigned first = b[at < end ? at : 0];
        return (first & 1) ? static_cast<int>(U16() >> 1) - 16384 : static_cast<int>(U8() >> 1) - 64;
    }
};

const uint32_t kNone = 0xFFFFFFFF;

// Every leaf entry of a B+ tree, in key order: a key of keyLen bytes and
// a value of valueLen bytes, either NUL-terminated text when its length is
// 0. Each leaf's page and first entry go to leaves when it is given.
std::vector<std::pair<Bytes, Bytes>> TreeEntries(const Bytes& f, const std::string& name, size_t keyLen,
                                                 size_t valueLen, std::vector<std::pair<unsigned, size_t>>* leaves = nullptr)
{
    Cursor c{f, 0, f.size(), name};
    Need(c.U16() == 0x293B, name + ": bad B+ tree magic");
    c.U16();
    unsigned pageSize = c.U16();
    c.at = 26;
    unsigned root = c.U16();
    c.U16();
    unsigned pages = c.U16();
    unsigned levels = c.U16();
    uint32_t total = c.U32();
    Need(levels >= 1 && root < pages && pageSize >= 8, name + ": bad B+ tree header");
    Need(38 + static_cast<size_t>(pages) * pageSize <= f.size(), name + ": pages past the file's end");

    auto page = [&](unsigned n) {
        Need(n < pages, name + ": page number out of range");
        return Cursor{f, 38 + static_cast<size_t>(n) * pageSize, 38 + static_cast<size_t>(n + 1) * pageSize, name};
    };
    auto field = [&](Cursor& p, size_t len) {
        Bytes k;
        if (len == 0)
        {
            std::string s = p.Str();
            k.assign(s.begin(), s.end());
        }
        for (size_t i = 0; i < len; i++)
            k.push_back(static_cast<unsigned char>(p.U8()));
        return k;
    };
    // Down the first child of each index page to the first leaf.
    unsigned n = root;
    for (unsigned level = 1; level < levels; level++)
    {
        Cursor p = page(n);
        p.at += 4;
        n = p.U16();
    }
    std::vector<std::pair<Bytes, Bytes>> entries;
    std::set<unsigned> seen;
    while (n != 0xFFFF)
    {
        Need(seen.insert(n).second, name + ": leaf pages form a loop");
        Cursor p = page(n);
        p.U16();
        unsigned count = p.U16();
        p.U16();
        unsigned next = p.U16();
        if (leaves)
            leaves->push_back({n, entries.size()});
        for (unsigned i = 0; i < count; i++)
        {
            Bytes k = field(p, keyLen);
            entries.push_back({k, field(p, valueLen)});
        }
        n = next;
    }
    Need(entries.size() == total, name + ": entry count differs from the header");
    return entries;
}

uint32_t Le32(const Bytes& b, size_t at = 0)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

void ReadDirectory(const Bytes& file, ReadHelp& out)
{
    Cursor h{file, 0, file.size(), "file header"};
    Need(file.size() >= 16 && h.U32() == 0x00035F3F, "not a help file");
    uint32_t dirAt = h.U32();
    h.U32();
    Need(h.U32() == file.size(), "file size in the header differs from the file's");

    // An internal file: its header's sizes must stay inside the file.
    auto internal = [&](uint32_t at, const std::string& name) {
        Cursor c{file, at, file.size(), name};
        uint32_t reserved = c.U32();
        uint32_t used = c.U32();
        Need(at + static_cast<uint64_t>(reserved) <= file.size() && reserved >= used + 9,
             name + ": sizes do not fit the file");
        return Bytes(file.begin() + at + 9, file.begin() + at + 9 + used);
    };
    Bytes dir = internal(dirAt, "directory");
    std::string last;
    for (const auto& e : TreeEntries(dir, "directory", 0, 4))
    {
        std::string name(e.first.begin(), e.first.end());
        Need(last.empty() || std::strcmp(last.c_str(), name.c_str()) < 0, "directory: names out of order");
        last = name;
        out.files[name] = internal(Le32(e.second), name);
    }
    for (const char* required : {"|SYSTEM", "|TOPIC", "|FONT", "|CONTEXT", "|TTLBTREE"})
        Need(out.files.count(required) == 1, std::string("missing internal file ") + required);
}

void ReadSystem(ReadHelp& out)
{
    const Bytes& f = out.files["|SYSTEM"];
    Cursor c{f, 0, f.size(), "|SYSTEM"};
    Need(c.U16() == 0x036C, "|SYSTEM: bad magic");
    Need(c.U16() > 16 && c.U16() == 1, "|SYSTEM: not a 3.1 file");
    c.U32();
    Need(c.U16() == 0, "|SYSTEM: compressed topics");
    while (c.at < f.size())
    {
        unsigned type = c.U16();
        unsigned size = c.U16();
        Cursor data{f, c.at, c.at + size, "|SYSTEM record"};
        Need(c.at + size <= f.size(), "|SYSTEM: record past the end");
        if (type == 1)
            out.title = data.Str();
        else if (type == 3 && size == 4)
            out.contentsOffset = data.U32();
        c.at += size;
    }
}

void ReadFonts(ReadHelp& out)
{
    const Bytes& f = out.files["|FONT"];
    Cursor c{f, 0, f.size(), "|FONT"};
    unsigned faces = c.U16(), count = c.U16(), facesAt = c.U16(), descAt = c.U16();
    Need(faces >= 1 && facesAt == 8 && descAt > facesAt, "|FONT: bad header");
    unsigned slot = (descAt - facesAt) / faces;
    for (unsigned i = 0; i < faces; i++)
    {
        Cursor s{f, facesAt + i * slot, facesAt + (i + 1) * slot, "|FONT face"};
        out.faces.push_back(s.Str());
    }
    Need(descAt + count * 11u <= f.size(), "|FONT: descriptors past the end");
    for (unsigned i = 0; i < count; i++)
    {
        unsigned attr = f[descAt + i * 11], size = f[descAt + i * 11 + 1];
        unsigned face = f[descAt + i * 11 + 3] | (f[descAt + i * 11 + 4] << 8);
        Need(face < faces, "|FONT: descriptor names no face");
        out.fonts.push_back({(attr & 1) != 0, size});
    }
}

ReadParagraph ReadText(const Bytes& ld1, const Bytes& ld2, const ReadHelp& help)
{
    Cursor c{ld1, 0, ld1.size(), "paragraph"};
    unsigned first = ld1.empty() ? 0 : ld1[0];
    if (first & 1)
        c.U32();
    else
        c.U16();
    Need(c.CU16() == ld2.size(), "paragraph: TopicLength differs from its text");
    c.at += 4;
    unsigned bits = c.U16();
    if (bits & 0x0001)
        c.U16();
    for (unsigned bit : {0x0002u, 0x0004u, 0x0008u, 0x0010u, 0x0020u, 0x0040u})
        if (bits & bit)
            c.CS16();
    if (bits & 0x0100)
    {
        c.U8();
        c.U16();
    }
    if (bits & 0x0200)
    {
        for (int tabs = c.CS16(); tabs > 0; tabs--)
            if (c.CU16() & 0x4000)
                c.CU16();
    }

    ReadParagraph para;
    Cursor text{ld2, 0, ld2.size(), "paragraph text"};
    bool inLink = false;
    std::string linkText;
    uint32_t linkHash = 0;
    for (;;)
    {
        std::string s = text.Str();
        para.text += s;
        if (inLink)
            linkText += s;
        unsigned cmd = c.U8();
        if (cmd == 0xFF)
            break;
        switch (cmd)
        {
        case 0x80:
        {
            unsigned font = c.U16();
            Need(font < help.fonts.size(), "paragraph: font index out of range");
            para.fonts.push_back(font);
            break;
        }
        case 0x81:
            para.text += "\n";
            break;
        case 0x82:
            break;
        case 0x83:
            para.text += "\t";
            break;
        case 0xE2:
        case 0xE3:
        case 0xE6:
        case 0xE7:
            Need(!inLink, "paragraph: hotspot inside a hotspot");
            inLink = true;
            linkHash = c.U32();
            linkText.clear();
            break;
        case 0x89:
            Need(inLink, "paragraph: end of a hotspot that never started");
            inLink = false;
            para.jumps.push_back({linkText, linkHash});
            break;
        default:
            Fail("paragraph: unknown formatting command");
        }
    }
    Need(!inLink, "paragraph: hotspot left open");
    Need(text.at == ld2.size(), "paragraph: text has more strings than commands");
    return para;
}

void ReadTopics(ReadHelp& out)
{
    const Bytes& f = out.files["|TOPIC"];
    Need(!f.empty() && f.size() % 4096 == 0, "|TOPIC: not whole 4096-byte blocks");
    const size_t blocks = f.size() / 4096;

    // Copies n bytes of the record stream from a physical position on,
    // skipping the headers of the blocks it runs into.
    auto read = [&](size_t& phys, size_t n) {
        Bytes b;
        while (n--)
        {
            if (phys % 4096 == 0)
                phys += 12;
            Need(phys < f.size(), "|TOPIC: record runs past the last block");
            b.push_back(f[phys++]);
        }
        return b;
    };

    uint32_t pos = 12, prev = kNone, chars = 0, block = 0;
    std::vector<uint32_t> recordPos, headerNext, headerScroll;
    std::map<uint32_t, uint32_t> firstInBlock;
    for (;;)
    {
        uint32_t b = (pos - 12) >> 14, inBlock = pos & 0x3FFF;
        Need(inBlock >= 12 && inBlock < 4096 - 21 && b < blocks, "|TOPIC: TOPICPOS points nowhere");
        Need(recordPos.empty() || pos > recordPos.back(), "|TOPIC: records go backwards");
        if (b != block)
        {
            block = b;
            chars = 0;
        }
        firstInBlock.insert({b, pos});
        recordPos.push_back(pos);

        size_t phys = b * 4096 + inBlock;
        Bytes head = read(phys, 21);
        uint32_t size = Le32(head, 0), len2 = Le32(head, 4), prevPos = Le32(head, 8);
        uint32_t next = Le32(head, 12), len1 = Le32(head, 16);
        unsigned type = head[20];
        Need(prevPos == prev, "|TOPIC: PrevBlock does not name the previous record");
        Need(len1 >= 21 && size == len1 + len2 && size < 0x10000, "|TOPIC: record sizes disagree");
        Bytes ld1 = read(phys, len1 - 21);
        Need((phys - 1) / 4096 == b, "|TOPIC: a record's header and LinkData1 cross a block");
        Bytes ld2 = read(phys, len2);
        if (recordPos.size() == 1)
            Need(type == 0x02, "|TOPIC: first record is not a topic header");

        if (type == 0x02)
        {
            Need(ld1.size() == 28, "|TOPIC: topic header of the wrong size");
            if (next != kNone)
            {
                ReadTopic topic;
                topic.pos = pos;
                topic.offset = b * 0x8000 + chars;
                topic.title.assign(ld2.begin(), ld2.end());
                out.topics.push_back(topic);
                headerScroll.push_back(Le32(ld1, 20));
                headerNext.push_back(Le32(ld1, 24));
            }
        }
        else
        {
            Need(type == 0x20, "|TOPIC: unexpected record type");
            Need(!out.topics.empty(), "|TOPIC: paragraph before any topic");
            out.topics.back().paragraphs.push_back(ReadText(ld1, ld2, out));
            chars += len2;
        }
        if (next == kNone)
            break;
        prev = pos;
        pos = next;
    }

    std::set<uint32_t> known(recordPos.begin(), recordPos.end());
    for (size_t i = 0; i < out.topics.size(); i++)
    {
        Need(known.count(headerScroll[i]) && headerScroll[i] > out.topics[i].pos,
             "topic \"" + out.topics[i].title + "\": Scroll points nowhere");
        uint32_t expected = i + 1 < out.topics.size() ? out.topics[i + 1].pos : recordPos.back();
        Need(headerNext[i] == expected, "topic \"" + out.topics[i].title + "\": NextTopic points nowhere");
        Need(!out.topics[i].paragraphs.empty(), "topic \"" + out.topics[i].title + "\" has no text");
    }
    for (size_t b = 0; b < blocks; b++)
    {
        uint32_t first = Le32(f, b * 4096 + 4);
        auto found = firstInBlock.find(static_cast<uint32_t>(b));
        Need(first == (found == firstInBlock.end() ? kNone : found->second),
             "|TOPIC: block header's first record is wrong");
    }
}

void ReadContexts(ReadHelp& out)
{
    int32_t last = 0;
    bool any = false;
    for (const auto& e : TreeEntries(out.files["|CONTEXT"], "|CONTEXT", 4, 4))
    {
        int32_t hash = static_cast<int32_t>(Le32(e.first));
        Need(!any || hash > last, "|CONTEXT: hashes not in signed order");
        any = true;
        last = hash;
        out.contexts[hash] = Le32(e.second);
    }
    for (const auto& c : out.contexts)
        Need(out.Find(static_cast<uint32_t>(c.first)) != nullptr, "|CONTEXT: offset names no topic");
    Need(out.Contents() != nullptr, "|SYSTEM: contents offset names no topic");
    for (const ReadTopic& t : out.topics)
        for (const ReadParagraph& p : t.paragraphs)
            for (const auto& jump : p.jumps)
                Need(out.Find(jump.second) != nullptr, "jump \"" + jump.first + "\" leads nowhere");
}

// |TTLBTREE: every topic's title, in offset order.
void ReadTitles(ReadHelp& out)
{
    std::vector<std::pair<uint32_t, std::string>> titles, expected;
    for (const auto& e : TreeEntries(out.files["|TTLBTREE"], "|TTLBTREE", 4, 0))
        titles.push_back({Le32(e.first), std::string(e.second.begin(), e.second.end())});
    for (const ReadTopic& t : out.topics)
        expected.push_back({t.offset, t.title});
    Need(titles == expected, "|TTLBTREE: titles are not the topics'");
}

// The keyword index: |KWBTREE in order without regard to case, its runs of
// |KWDATA one after another and naming topics, |KWMAP its leaves.
void ReadKeywords(ReadHelp& out)
{
    const char* const kFiles[] = {"|KWBTREE", "|KWDATA", "|KWMAP"};
    size_t present = out.files.count(kFiles[0]) + out.files.count(kFiles[1]) + out.files.count(kFiles[2]);
    for (const char* name : kFiles)
        Need(present == 0 || out.files.count(name) == 1, std::string("missing internal file ") + name);
    if (present == 0)
        return;
    const Bytes& data = out.files["|KWDATA"];
    std::vector<std::pair<unsigned, size_t>> leaves;
    uint32_t next = 0;
    for (const auto& e : TreeEntries(out.files["|KWBTREE"], "|KWBTREE", 0, 6, &leaves))
    {
        ReadKeyword k{std::string(e.first.begin(), e.first.end()), {}};
        Need(out.keywords.empty() || _stricmp(out.keywords.back().text.c_str(), k.text.c_str()) < 0,
             "|KWBTREE: keywords not in order");
        unsigned count = e.second[0] | (e.second[1] << 8);
        Need(count >= 1 && Le32(e.second, 2) == next && next + 4 * count <= data.size(),
             "|KWBTREE: \"" + k.text + "\" points outside |KWDATA");
        for (; count > 0; count--, next += 4)
        {
            k.offsets.push_back(Le32(data, next));
            Need(out.AtOffset(k.offsets.back()) != nullptr, "|KWDATA: an offset names no topic");
        }
        out.keywords.push_back(k);
    }
    Need(next == data.size(), "|KWDATA: offsets that no keyword uses");
    const Bytes& map = out.files["|KWMAP"];
    Cursor c{map, 0, map.size(), "|KWMAP"};
    bool same = c.U16() == leaves.size();
    for (const auto& leaf : leaves)
        same = c.U32() == leaf.second && c.U16() == leaf.first && same;
    Need(same && c.at == map.size(), "|KWMAP does not describe the leaves of |KWBTREE");
}

}

const ReadTopic* ReadHelp::Find(uint32_t hash) const
{
    auto found = contexts.find(static_cast<int32_t>(hash));
    return found == contexts.end() ? nullptr : AtOffset(found->second);
}

const ReadTopic* ReadHelp::AtOffset(uint32_t offset) const
{
    for (const ReadTopic& t : topics)
        if (t.offset == offset)
            return &t;
    return nullptr;
}

const ReadTopic* ReadHelp::Contents() const
{
    return AtOffset(contentsOffset);
}

std::string ReadHelpFile(const std::vector<unsigned char>& file, ReadHelp& out)
{
    out = ReadHelp();
    try
    {
        ReadDirectory(file, out);
        ReadSystem(out);
        ReadFonts(out);
        ReadTopics(out);
        ReadContexts(out);
        ReadTitles(out);
        ReadKeywords(out);
    }
    catch (const Fault& fault)
    {
        return fault.what;
    }
    return "";
}

std::vector<SitemapEntry> ReadSitemap(const std::string& text)
{
    auto unescaped = [](std::string s) {
        const char* escapes[][2] = {{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}};
        for (const auto& e : escapes)
            for (size_t at = s.find(e[0]); at != std::string::npos; at = s.find(e[0], at + 1))
                s.replace(at, strlen(e[0]), e[1]);
        return s;
    };
    const std::string object = "<OBJECT type=\"text/sitemap\">", name = "<param name=\"", value = "\" value=\"";
    std::vector<SitemapEntry> entries;
    for (size_t at = text.find(object); at != std::string::npos; at = text.find(object, at + 1))
    {
        entries.emplace_back();
        for (size_t p = text.find(name, at); p < text.find("</OBJECT>", at); p = text.find(name, p + 1))
        {
            size_t v = text.find(value, p), close = text.find("\">", v + value.size());
            entries.back().push_back({text.substr(p + name.size(), v - p - name.size()),
                                      unescaped(text.substr(v + value.size(), close - v - value.size()))});
        }
    }
    return entries;
}
