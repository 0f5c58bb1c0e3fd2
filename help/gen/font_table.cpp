#include "font_table.h"

namespace {

const char* const kFaces[] = {"Arial", "Courier New"};
const unsigned kFaceSlot = 32;  // bytes per face name

struct Descriptor
{
    bool bold;
    unsigned halfPoints;
    unsigned family;  // 1 modern (fixed pitch), 3 swiss
    unsigned face;    // index into kFaces
};

enum { kBody, kTitle, kHeading, kBold, kLiteral, kCount };

const Descriptor kDescriptors[kCount] = {
    {false, 20, 3, 0},  // body text, 10 pt
    {true, 28, 3, 0},   // topic title, 14 pt
    {true, 22, 3, 0},   // heading, 11 pt
    {true, 20, 3, 0},   // bold inside body text
    {false, 20, 1, 1},  // literal text: paths, command lines
};

}

unsigned FontFor(HelpParagraph::Style style, HelpRun::Kind kind)
{
    if (style == HelpParagraph::Title)
        return kTitle;
    if (style == HelpParagraph::Heading)
        return kHeading;
    if (style == HelpParagraph::Code || kind == HelpRun::Literal)
        return kLiteral;
    if (kind == HelpRun::Bold)
        return kBold;
    return kBody;
}

Bytes FontFile()
{
    const unsigned nFaces = sizeof(kFaces) / sizeof(kFaces[0]);
    const unsigned facesAt = 8;
    const unsigned descriptorsAt = facesAt + nFaces * kFaceSlot;

    Bytes out;
    ByteWriter w(out);
    w.U16(nFaces);
    w.U16(kCount);
    w.U16(facesAt);
    w.U16(descriptorsAt);
    for (const char* face : kFaces)
    {
        std::string name(face);
        w.Text(name, false);
        w.Zeros(kFaceSlot - name.size());
    }
    for (const Descriptor& d : kDescriptors)
    {
        w.U8(d.bold ? 1 : 0);
        w.U8(d.halfPoints);
        w.U8(d.family);
        w.U16(d.face);
        w.Zeros(3);  // text colour: black
        w.Zeros(3);  // background colour
    }
    return out;
}
