#include "topic_file.h"
#include "context_hash.h"
#include "font_table.h"

#include <set>

namespace {

const uint32_t kNone = 0xFFFFFFFF;
const unsigned kBlockSize = 4096;
const unsigned kBlockHeader = 12;
const unsigned kLinkHeader = 21;
const unsigned char kTopicHeader = 0x02;
const unsigned char kParagraph = 0x20;

struct Record
{
    unsigned char type;
    Bytes ld1;
    Bytes ld2;
    uint32_t pos = 0;     // TOPICPOS
    uint32_t offset = 0;  // TOPICOFFSET
    size_t Size() const { return kLinkHeader + ld1.size() + ld2.size(); }
};

// Paragraph spacing and indents, in the units the viewer reads them.
struct Layout
{
    int spaceAbove;
    int spaceBelow;
    int leftIndent;
    int firstIndent;
};

Layout LayoutFor(HelpParagraph::Style style)
{
    switch (style)
    {
    case HelpParagraph::Title:
        return {0, 12, 0, 0};
    case HelpParagraph::Heading:
        return {16, 0, 0, 0};
    case HelpParagraph::Item:
        return {4, 0, 24, -12};
    case HelpParagraph::Code:
        return {6, 6, 24, 0};
    default:
        return {10, 0, 0, 0};
    }
}

// One text paragraph: formatting commands in LinkData1, one NUL-ended
// string per command in LinkData2. A jump is written with its context's
// hash; the caller checks that it leads somewhere. Fails with a reason when
// the record cannot be written, leaving rec incomplete.
bool EncodeParagraph(const HelpParagraph& para, Record& rec, std::string& error)
{
    Bytes commands;
    ByteWriter cmd(commands);
    ByteWriter text(rec.ld2);
    std::string pending;
    auto command = [&]() {
        text.Text(pending, true);
        pending.clear();
    };
    auto font = [&](unsigned f) {
        command();
        cmd.U8(0x80);
        cmd.U16(f);
    };

    unsigned current = FontFor(para.style, HelpRun::Plain);
    font(current);
    if (para.style == HelpParagraph::Item)
    {
        pending = "-";
        command();
        cmd.U8(0x83);  // tab to the hanging indent
    }
    for (const HelpRun& run : para.runs)
    {
        unsigned wanted = FontFor(para.style, run.kind == HelpRun::Jump ? HelpRun::Plain : run.kind);
        if (wanted != current)
        {
            font(wanted);
            current = wanted;
        }
        if (run.kind == HelpRun::Jump)
        {
            command();
            cmd.U8(0xE3);
            cmd.U32(ContextHash(run.target));
            pending = run.text;
            command();
            cmd.U8(0x89);
        }
        else
        {
            pending += run.text;
        }
    }
    command();
    cmd.U8(0x82);
    command();
    cmd.U8(0xFF);

    Layout lay = LayoutFor(para.style);
    unsigned bits = 0;
    Bytes fields;
    ByteWriter f(fields);
    if (lay.spaceAbove)
    {
        bits |= 0x0002;
        f.CS16(lay.spaceAbove);
    }
    if (lay.spaceBelow)
    {
        bits |= 0x0004;
        f.CS16(lay.spaceBelow);
    }
    if (lay.leftIndent)
    {
        bits |= 0x0010;
        f.CS16(lay.leftIndent);
    }
    if (lay.firstIndent)
    {
        bits |= 0x0040;
        f.CS16(lay.firstIndent);
    }
    if (para.style == HelpParagraph::Item)
    {
        bits |= 0x0200;  // one left tab stop at the indent
        f.CS16(1);
        f.CU16(static_cast<unsigned>(lay.leftIndent));
    }

    Bytes rest;
    ByteWriter r(rest);
    r.U8(0x00);
    r.U8(0x80);
    r.U16(0);  // id
    r.U16(bits);
    r.Append(fields);
    r.Append(commands);

    // TopicLength counts the text in a compressed u16. The record's header
    // and LinkData1 stay within one topic block (see Place): TopicSize and
    // TopicLength take at most 2 bytes each there.
    if (rec.ld2.size() > 32767)
    {
        error = "paragraph too long: " + std::to_string(rec.ld2.size()) +
                " bytes of text, more than the 32767 a paragraph record counts";
        return false;
    }
    size_t head = kLinkHeader + 2 + (rec.ld2.size() < 128 ? 1 : 2) + rest.size();
    if (head > kBlockSize - kBlockHeader)
    {
        error = "paragraph too long: its links and bold or literal runs take " + std::to_string(head) +
                " bytes of record header and formatting codes, more than the " +
                std::to_string(kBlockSize - kBlockHeader) + " of one topic block; split it";
        return false;
    }
    ByteWriter ld1(rec.ld1);
    ld1.CS32(static_cast<int>(rest.size()));
    ld1.CU16(static_cast<unsigned>(rec.ld2.size()));
    ld1.Append(rest);
    rec.type = kParagraph;
    return true;
}

// Gives every record its TOPICPOS and TOPICOFFSET. Only LinkData2 may run
// on into the next block; a record whose header and LinkData1 do not fit
// starts a new block, where they always fit, as EncodeParagraph refuses a
// paragraph whose header and LinkData1 exceed a block. Wine's viewer joins
// the blocks before it reads a record and would read a header that crosses
// into the next, but nothing says the viewer of Windows XP does.
void Place(std::vector<Record>& records)
{
    uint32_t block = 0, pos = kBlockHeader, chars = 0;
    for (Record& rec : records)
    {
        if (kBlockSize - pos < kLinkHeader + rec.ld1.size())
        {
            block++;
            pos = kBlockHeader;
            chars = 0;
        }
        rec.pos = block * 0x4000 + pos;
        rec.offset = block * 0x8000 + chars;
        pos += static_cast<uint32_t>(rec.Size());
        if (rec.type == kParagraph)
            chars += static_cast<uint32_t>(rec.ld2.size());
        while (pos > kBlockSize)
        {
            block++;
            chars = 0;
            pos -= kBlockSize - kBlockHeader;
        }
    }
}

void FillTopicHeader(std::vector<Record>& records, size_t at, uint32_t topicNum)
{
    uint32_t paragraphBytes = 0;
    size_t next = at + 1;
    for (; next < records.size() && records[next].type == kParagraph; next++)
        paragraphBytes += static_cast<uint32_t>(records[next].Size());
    bool terminator = next == at + 1 && at + 1 == records.size();

    Bytes& ld1 = records[at].ld1;
    ld1.clear();
    ByteWriter w(ld1);
    w.U32(paragraphBytes);
    w.U32(kNone);  // no browse sequence
    w.U32(kNone);
    w.U32(topicNum);
    w.U32(kNone);  // no non-scrolling region
    w.U32(terminator ? kNone : records[at + 1].pos);
    w.U32(next < records.size() ? records[next].pos : kNone);
}

// Block header of block b: links to the records around its start.
void BlockHeader(const std::vector<Record>& records, uint32_t b, ByteWriter& w)
{
    if (b == 0)
    {
        w.U32(kNone);
        w.U32(kBlockHeader);
        w.U32(0);
        return;
    }
    uint32_t lastLink = kNone, firstLink = kNone, lastHeader = kNone;
    for (const Record& rec : records)
    {
        uint32_t recBlock = rec.pos >> 14;
        if (recBlock < b)
        {
            lastLink = rec.pos;
            if (rec.type == kTopicHeader)
                lastHeader = rec.pos;
        }
        else if (recBlock == b && firstLink == kNone)
        {
            firstLink = rec.pos;
        }
    }
    w.U32(lastLink);
    w.U32(firstLink);
    w.U32(lastHeader);
}

Bytes Serialize(const std::vector<Record>& records)
{
    Bytes out;
    ByteWriter w(out);
    // Writes one byte of record data, opening a new block when one is full.
    auto put = [&](unsigned char c) {
        if (out.size() % kBlockSize == 0)
            BlockHeader(records, static_cast<uint32_t>(out.size() / kBlockSize), w);
        out.push_back(c);
    };
    auto nextPos = [&]() {
        size_t b = out.size() / kBlockSize, p = out.size() % kBlockSize;
        return static_cast<uint32_t>(b * 0x4000 + (p == 0 ? kBlockHeader : p));
    };

    for (size_t i = 0; i < records.size(); i++)
    {
        const Record& rec = records[i];
        while (nextPos() != rec.pos)
            put(0);
        Bytes link;
        ByteWriter l(link);
        l.U32(static_cast<uint32_t>(rec.Size()));
        l.U32(static_cast<uint32_t>(rec.ld2.size()));
        l.U32(i == 0 ? kNone : records[i - 1].pos);
        l.U32(i + 1 < records.size() ? records[i + 1].pos : kNone);
        l.U32(static_cast<uint32_t>(kLinkHeader + rec.ld1.size()));
        l.U8(rec.type);
        for (const Bytes* part : {static_cast<const Bytes*>(&link), &rec.ld1, &rec.ld2})
            for (unsigned char c : *part)
                put(c);
    }
    // The viewer reads whole blocks, so the last one is padded to full size.
    if (out.size() % kBlockSize)
        w.Zeros(kBlockSize - out.size() % kBlockSize);
    return out;
}

}

bool ParagraphFits(const HelpParagraph& para, std::string& why)
{
    Record rec;
    return EncodeParagraph(para, rec, why);
}

bool BuildTopicFile(const HelpSource& source, TopicFile& out, std::string& error)
{
    std::set<uint32_t> known;
    for (const HelpTopic& topic : source.topics)
        known.insert(ContextHash(topic.context));

    std::vector<Record> records;
    for (size_t t = 0; t < source.topics.size(); t++)
    {
        const HelpTopic& topic = source.topics[t];
        if (topic.paragraphs.empty())
        {
            // Two topics at one offset would hide the second from the viewer.
            error = "topic " + topic.context + " has no paragraph";
            return false;
        }
        Record header;
        header.type = kTopicHeader;
        header.ld1.assign(28, 0);
        header.ld2.assign(topic.title.begin(), topic.title.end());
        records.push_back(header);
        for (const HelpParagraph& para : topic.paragraphs)
        {
            for (const HelpRun& run : para.runs)
            {
                if (run.kind == HelpRun::Jump &&
                    (!IsValidContextName(run.target) || !known.count(ContextHash(run.target))))
                {
                    error = topic.context + ": jump to unknown topic " + run.target;
                    return false;
                }
            }
            Record rec;
            if (!EncodeParagraph(para, rec, error))
            {
                error = topic.context + ": " + error;
                return false;
            }
            records.push_back(rec);
        }
    }
    Record terminator;
    terminator.type = kTopicHeader;
    terminator.ld1.assign(28, 0);
    records.push_back(terminator);

    Place(records);
    out.topicOffsets.clear();
    uint32_t topicNum = 0;
    for (size_t i = 0; i < records.size(); i++)
    {
        if (records[i].type != kTopicHeader)
            continue;
        FillTopicHeader(records, i, topicNum++);
        if (i + 1 < records.size())
            out.topicOffsets.push_back(records[i].offset);
    }
    out.bytes = Serialize(records);
    return true;
}
