#include "swf/text_dump.h"

namespace {

// 16.16 as the integer part plus the fraction over 65535.
double Fixed(const FlashFixed& f) { return f.GetUpper() + f.GetLower() / 65535.0; }

void Heading(std::ostream& out, const char* name) { out << "\n<" << name << ">\n"; }

void Bool(std::ostream& out, const char* label, bool v) { out << label << (v ? "true" : "false") << "\n"; }

void Terms(std::ostream& out, const char* rgba, const char* rgb, const FlashRGBA& t, bool alpha) {
    out << (alpha ? rgba : rgb) << t.GetR() << ", " << t.GetG() << ", " << t.GetB();
    if (alpha) out << ", " << t.GetA();
    out << "\n";
}

void Assets(std::ostream& out, const std::vector<std::string>& names, const std::vector<uint16_t>& ids) {
    for (std::size_t i = 0; i < names.size() && i < ids.size(); ++i) {
        out << "Asset " << i << " (name): " << names[i] << "\n";
        out << "Asset " << i << " (id):   " << ids[i] << "\n";
    }
}

void Shape(std::ostream& out, const char* name, const FlashTagDefineShapeBase& t) {
    Heading(out, name);
    out << "ID:" << t.GetId() << "\n";
    Dump(t.GetShapes().GetBounds(), out);
    Dump(t.GetStoredBounds(), out);
}

void Lossless(std::ostream& out, const char* name, const FlashTagDefineBitsLosslessBase& t) {
    Heading(out, name);
    out << "ID:" << t.GetId() << "\n";
    out << "Format: " << unsigned(t.GetFormat()) << "\n";
    out << "Width: " << t.GetWidth() << " Height: " << t.GetHeight() << "\n";
}

}  // namespace

void Dump(const FlashMatrix& m, std::ostream& out) {
    if (m.HasRotate()) out << "  Rotate:    " << Fixed(m.GetRotate0()) << ", " << Fixed(m.GetRotate1()) << "\n";
    if (m.HasScale()) out << "  Scale:     " << Fixed(m.GetScaleX()) << ", " << Fixed(m.GetScaleY()) << "\n";
    out << "  Translate: " << m.GetTranslateX() << ", " << m.GetTranslateY() << "\n";
}

void Dump(const FlashColorTransform& t, std::ostream& out) {
    const bool alpha = t.GetVersion() > 1;
    if (t.HasAdd()) Terms(out, "  AddRGBA:  ", "  AddRGB:   ", t.GetAddTerms(), alpha);
    if (t.HasMult()) Terms(out, "  MultRGBA:  ", "  MultRGB:   ", t.GetMultTerms(), alpha);
}

void Dump(const FlashRect& r, std::ostream& out) {
    out << " [RECT] (" << r.GetX1() << ", " << r.GetY1() << ", " << r.GetX2() << ", " << r.GetY2() << ")\n";
}

void Dump(const FlashHeader& h, std::ostream& out) {
    Heading(out, "FLASH FILE HEADER");
    out << "File Version: " << unsigned(h.GetVersion()) << "\n";
    out << "Frame Size (x): " << h.GetScreenSize().GetX2() << "\n";
    out << "Frame Size (y): " << h.GetScreenSize().GetY2() << "\n";
    out << "Frame Rate: " << h.GetFrameRate().ConvertToDouble() << "\n";
    out << "Frame Count: " << h.GetFrameCount() << "\n";
    out << "File Length: " << h.GetFileLength() << "\n";
}

void Dump(const FlashTagHeader& unknown, std::ostream& out) {
    Heading(out, "UNKNOWN TAG");
    out << "ID: " << unknown.GetTagID() << "\n";
    out << "Length: " << unknown.GetTagLength() << "\n";
}

void Dump(const FlashTagRemoveObject& t, std::ostream& out) {
    Heading(out, "RemoveObject");
    out << "Character ID: " << t.GetCharacterId() << "\n";
    out << "Depth: " << t.GetDepth() << "\n";
}

void Dump(const FlashTagRemoveObject2& t, std::ostream& out) {
    Heading(out, "RemoveObject2");
    out << "Depth: " << t.GetDepth() << "\n";
}

void Dump(const FlashTagPlaceObject& t, std::ostream& out) {
    Heading(out, "PlaceObject");
    out << "Character ID: " << t.GetCharacterId() << "\n";
    out << "Depth: " << t.GetDepth() << "\n";
    out << "Matrix: \n";
    Dump(t.GetMatrix(), out);
    Bool(out, "HasColorTransform: ", t.HasColorTransform());
}

void Dump(const FlashTagPlaceObject2& t, std::ostream& out) {
    Heading(out, "PlaceObject2");
    out << "Depth: " << t.GetDepth() << "\n";
    if (t.HasCharacter()) out << "HasCharID: true [" << t.GetCharacterId() << "]\n";
    else out << "HasCharID: false\n";
    Bool(out, "HasMatrix: ", t.HasMatrix());
    if (t.HasMatrix()) Dump(t.GetMatrix(), out);
    Bool(out, "HasColorTransform: ", t.HasColorTransform());
    if (t.HasColorTransform()) Dump(t.GetColorTransform(), out);
    Bool(out, "HasMove: ", t.HasMove());
    if (t.HasRatio()) out << "HasRatio: true [" << t.GetRatio() << "]\n";
    else out << "HasRatio: false\n";
    if (t.HasName()) out << "HasName: true [" << t.GetName() << "]\n";
    else out << "HasName: false\n";
}

void Dump(const FlashTagShowFrame&, std::ostream& out) { Heading(out, "FlashTagShowFrame"); }

void Dump(const FlashTagBackgroundColor& t, std::ostream& out) {
    Heading(out, "FlashTagBackgroundColor");
    out << "RGB: " << unsigned(t.GetR()) << ", " << unsigned(t.GetG()) << ", " << unsigned(t.GetB()) << "\n";
}

void Dump(const FlashTagLabelFrame& t, std::ostream& out) {
    Heading(out, "FlashTagLabelFrame");
    out << "Label: " << t.GetLabel() << "\n";
}

void Dump(const FlashTagProtect& t, std::ostream& out) {
    Heading(out, "FlashTagProtect");
    if (t.HasPassword()) out << "Password (Encrypted): " << t.GetPassword() << "\n";
}

void Dump(const FlashTagEnableDebugger& t, std::ostream& out) {
    Heading(out, "FlashTagEnableDebugger");
    if (t.HasPassword()) out << "Password: " << t.GetPassword() << "\n";
}

void Dump(const FlashTagDefineBitsPtr& t, std::ostream& out) {
    Heading(out, "FlashTagDefineBitsPtr");
    out << "Ptr: " << t.GetPtr() << "\n";
}

void Dump(const FlashTagEnd&, std::ostream& out) { Heading(out, "FlashTagEnd"); }

void Dump(const FlashTagExportAssets& t, std::ostream& out) {
    Heading(out, "FlashTagExportAssets");
    Assets(out, t.GetNames(), t.GetIds());
}

void Dump(const FlashTagImportAssets& t, std::ostream& out) {
    Heading(out, "FlashTagImportAssets");
    out << "SWF Url: " << t.GetURL() << "\n";
    Assets(out, t.GetNames(), t.GetIds());
}

void Dump(const FlashTagDoAction& t, std::ostream& out) {
    Heading(out, "FlashTagDoAction");
    out << "Num Actions: " << t.GetActions().size() << "\n";
}

void Dump(const FlashTagDefineBitsJPEG1& t, std::ostream& out) {
    Heading(out, "FlashTagDefineBitsJPEG1");
    out << "ID:" << t.GetId() << "\n";
}

void Dump(const FlashTagDefineBitsJPEG2& t, std::ostream& out) {
    Heading(out, "FlashTagDefineBitsJPEG2");
    out << "ID:" << t.GetId() << "\n";
}

void Dump(const FlashTagDefineBitsJPEG3& t, std::ostream& out) {
    Heading(out, "FlashTagDefineBitsJPEG3");
    out << "ID:" << t.GetId() << "\n";
}

void Dump(const FlashTagJPEGTables&, std::ostream& out) { Heading(out, "FlashTagJPEGTables"); }

void Dump(const FlashTagDefineBitsLossless& t, std::ostream& out) { Lossless(out, "FlashTagDefineBitsLossless", t); }

void Dump(const FlashTagDefineBitsLossless2& t, std::ostream& out) { Lossless(out, "FlashTagDefineBitsLossless2", t); }

void Dump(const FlashTagDefineShape1& t, std::ostream& out) { Shape(out, "FlashTagDefineShape1", t); }

void Dump(const FlashTagDefineShape2& t, std::ostream& out) { Shape(out, "FlashTagDefineShape2", t); }

void Dump(const FlashTagDefineShape3& t, std::ostream& out) { Shape(out, "FlashTagDefineShape3", t); }

int DumpMovie(const uint8_t* data, std::size_t size, std::ostream& out) {
    FlashInputStream in(data, size);
    FlashTagDumper dumper(out);
    FlashReader reader;
    reader.ReadHeader(in, dumper);
    int tags = 0;
    bool more = true;
    while (more && !in.AtEnd()) {
        more = reader.ReadTag(in, dumper);
        ++tags;
    }
    return tags;
}
