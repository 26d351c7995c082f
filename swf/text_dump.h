// A fixed, line-oriented text form of records and tags for inspecting movies, one
// dump per type, written to the standard output stream unless told otherwise.
// FlashTagDumper is a tag handler that dumps every tag the reader hands it.
#pragma once

#include <iostream>

#include "swf/movie_reader.h"

void Dump(const FlashMatrix& m, std::ostream& out = std::cout);
void Dump(const FlashColorTransform& t, std::ostream& out = std::cout);
void Dump(const FlashRect& r, std::ostream& out = std::cout);

void Dump(const FlashHeader& h, std::ostream& out = std::cout);
void Dump(const FlashTagHeader& unknown, std::ostream& out = std::cout);
void Dump(const FlashTagRemoveObject& t, std::ostream& out = std::cout);
void Dump(const FlashTagRemoveObject2& t, std::ostream& out = std::cout);
void Dump(const FlashTagPlaceObject& t, std::ostream& out = std::cout);
void Dump(const FlashTagPlaceObject2& t, std::ostream& out = std::cout);
void Dump(const FlashTagShowFrame& t, std::ostream& out = std::cout);
void Dump(const FlashTagBackgroundColor& t, std::ostream& out = std::cout);
void Dump(const FlashTagLabelFrame& t, std::ostream& out = std::cout);
void Dump(const FlashTagProtect& t, std::ostream& out = std::cout);
void Dump(const FlashTagEnableDebugger& t, std::ostream& out = std::cout);
void Dump(const FlashTagDefineBitsPtr& t, std::ostream& out = std::cout);
void Dump(const FlashTagEnd& t, std::ostream& out = std::cout);
void Dump(const FlashTagExportAssets& t, std::ostream& out = std::cout);
void Dump(const FlashTagImportAssets& t, std::ostream& out = std::cout);
void Dump(const FlashTagDoAction& t, std::ostream& out = std::cout);
void Dump(const FlashTagDefineBitsJPEG1& t, std::ostream& out = std::cout);
void Dump(const FlashTagDefineBitsJPEG2& t, std::ostream& out = std::cout);
void Dump(const FlashTagDefineBitsJPEG3& t, std::ostream& out = std::cout);
void Dump(const FlashTagJPEGTables& t, std::ostream& out = std::cout);
void Dump(const FlashTagDefineBitsLossless& t, std::ostream& out = std::cout);
void Dump(const FlashTagDefineBitsLossless2& t, std::ostream& out = std::cout);
void Dump(const FlashTagDefineShape1& t, std::ostream& out = std::cout);
void Dump(const FlashTagDefineShape2& t, std::ostream& out = std::cout);
void Dump(const FlashTagDefineShape3& t, std::ostream& out = std::cout);

class FlashTagDumper : public FlashTagHandler {
public:
    explicit FlashTagDumper(std::ostream& out = std::cout) : out_(out) {}
    void HandleDefineShape3(FlashTagDefineShape3& t) override { Dump(t, out_); }
    void HandleDefineShape2(FlashTagDefineShape2& t) override { Dump(t, out_); }
    void HandleDefineShape(FlashTagDefineShape1& t) override { Dump(t, out_); }
    void HandleDefineBitsLossless2(FlashTagDefineBitsLossless2& t) override { Dump(t, out_); }
    void HandleDefineBitsLossless(FlashTagDefineBitsLossless& t) override { Dump(t, out_); }
    void HandleDefineBitsJPEG3(FlashTagDefineBitsJPEG3& t) override { Dump(t, out_); }
    void HandleDefineBitsJPEG2(FlashTagDefineBitsJPEG2& t) override { Dump(t, out_); }
    void HandleJPEGTables(FlashTagJPEGTables& t) override { Dump(t, out_); }
    void HandleDefineBits(FlashTagDefineBitsJPEG1& t) override { Dump(t, out_); }
    void HandleImportAssets(FlashTagImportAssets& t) override { Dump(t, out_); }
    void HandleExportAssets(FlashTagExportAssets& t) override { Dump(t, out_); }
    void HandleEnd(FlashTagEnd& t) override { Dump(t, out_); }
    void HandleProtect(FlashTagProtect& t) override { Dump(t, out_); }
    void HandleFrameLabel(FlashTagLabelFrame& t) override { Dump(t, out_); }
    void HandleBackgroundColor(FlashTagBackgroundColor& t) override { Dump(t, out_); }
    void HandleShowFrame(FlashTagShowFrame& t) override { Dump(t, out_); }
    void HandlePlaceObject2(FlashTagPlaceObject2& t) override { Dump(t, out_); }
    void HandlePlaceObject(FlashTagPlaceObject& t) override { Dump(t, out_); }
    void HandleRemoveObject2(FlashTagRemoveObject2& t) override { Dump(t, out_); }
    void HandleRemoveObject(FlashTagRemoveObject& t) override { Dump(t, out_); }
    void HandleUnknownTag(const FlashTagHeader& h) override { Dump(h, out_); }
    void HandleHeader(const FlashHeader& h) override { Dump(h, out_); }
    void HandleDoAction(FlashTagDoAction& t, const FlashTagHeader&) override { Dump(t, out_); }
    void HandleEnableDebugger(FlashTagEnableDebugger& t, const FlashTagHeader&) override { Dump(t, out_); }
    void HandleDefineBitsPtr(FlashTagDefineBitsPtr& t, const FlashTagHeader&) override { Dump(t, out_); }

private:
    std::ostream& out_;
};

// Reads a whole movie held in memory and dumps it tag by tag; the number of tags read.
int DumpMovie(const uint8_t* data, std::size_t size, std::ostream& out = std::cout);
