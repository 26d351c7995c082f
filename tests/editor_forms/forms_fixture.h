// An open document over a small animation built in code, with the user and the disk scripted.
#pragma once

#include "editor/model/document.h"
#include "tests/editor/gif_fixture.h"
#include "tests/editor/test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace movinta::editor::testing {

// The colour every pixel of a frame shows, in its active table.
inline std::vector<gif::TColor> ShownColors(gif::TGIFImage& image, int frameIndex) {
  gif::TGIFSubImage* f = image.Images().GetFrame(frameIndex);
  gif::TGIFColorMap& map = f->GetActiveColorMap();
  std::vector<gif::TColor> out;
  for (std::size_t i = 0; i < f->DataSize(); ++i) out.push_back(map.GetColor(f->Data()[i]));
  return out;
}

class DocumentFixture : public ::testing::Test {
protected:
  void SetUp() override {
    doc_ = docs_.NewDocument();
    ASSERT_NE(doc_, nullptr);
  }
  void TearDown() override { SharedImage(1); }
  // The working image becomes the animation; returns it.
  gif::TGIFImage& Use(std::unique_ptr<gif::TGIFImage> image) {
    UseAsWorkingImage(std::move(image));
    return *SharedImage();
  }

  ScopedTmpDir tmp_;
  ScopedSettingsDir settings_;
  RecordingMessages messages_;
  TDocuments docs_;
  TMDIChild* doc_ = nullptr;
};

}  // namespace movinta::editor::testing
