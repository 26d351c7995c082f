// A load that decodes frames on several threads gives exactly what a load on one thread gives:
// the same frames and pixels, the same warnings in the same order, the same error, for every file
// of the conformance suite, the fuzzers' findings, ImageMagick's and FFmpeg's own animations and
// those files cut short anywhere.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "gif/gifimage.h"
#include "gif/threads.h"

using namespace gif;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// What a load gives, with senders named by what they are rather than where they live.
struct Loaded {
  std::optional<std::string> Error;
  std::vector<std::string> Warnings;
  struct FrameOut {
    int Left, Top, Width, Height;
    bool Interlaced;
    int Colors;
    int Extensions;
    Bytes Pixels;
    bool operator==(const FrameOut&) const = default;
  };
  std::vector<FrameOut> Frames;
};

// Loaded from memory, or, with `fromFile`, from a file that arrives in parts of a few bytes each,
// so that the walk waits for the bytes at every kind of place.
Loaded Load(const Bytes& data, int threads, bool fromFile = false) {
  TGIFLoadOptions options;
  options.DecodeThreads = threads;
  // Every frame goes to a thread, however small, so the suite's small frames take that road too.
  if (threads > 1) options.DecodeThreadPixels = 0;
  Loaded out;
  TGIFImage image;
  image.MemoryBudget = 1ull << 30;
  std::vector<std::pair<const void*, std::string>> raw;
  image.OnWarning = [&raw](const void* sender, int severity, const std::string& message) {
    raw.emplace_back(sender, std::to_string(severity) + " " + message);
  };
  const fs::path path = fs::temp_directory_path() / ("parallel_load_" + std::to_string(::getpid()) + ".gif");
  if (fromFile) std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  const std::size_t savedPart = ArrivingFile::PartBytes;
  ArrivingFile::PartBytes = 7;
  try {
    if (fromFile)
      image.LoadFromFile(path.string(), options);
    else
      image.LoadFromMemory(data, options);
  } catch (const std::exception& e) {
    out.Error = e.what();
  }
  ArrivingFile::PartBytes = savedPart;
  if (fromFile) fs::remove(path);
  std::map<const void*, std::string> names;
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    TGIFSubImage* f = image.Images().GetFrame(i);
    names[f] = "frame " + std::to_string(i);
    out.Frames.push_back({f->GetLeft(), f->GetTop(), f->GetWidth(), f->GetHeight(), f->GetInterlaced(),
                          f->ColorMap().GetCount(), f->Extensions().GetCount(),
                          Bytes(f->Data(), f->Data() + f->DataSize())});
  }
  // A sender that is neither a kept frame nor gone is the image, its list or a table.
  for (const auto& [sender, text] : raw)
    out.Warnings.push_back((names.count(sender) ? names[sender] : std::string("other")) + ": " + text);
  return out;
}

void ExpectSameLoads(const Bytes& data, const std::string& what) {
  SCOPED_TRACE(what);
  const Loaded one = Load(data, 1);
  for (int threads : {2, 8}) {
    for (bool fromFile : {false, true}) {
      SCOPED_TRACE(std::to_string(threads) + " threads" + (fromFile ? ", from a file arriving in parts" : ""));
      const Loaded many = Load(data, threads, fromFile);
      EXPECT_EQ(many.Error, one.Error);
      EXPECT_EQ(many.Warnings, one.Warnings);
      ASSERT_EQ(many.Frames.size(), one.Frames.size());
      for (std::size_t i = 0; i < one.Frames.size(); ++i) EXPECT_TRUE(many.Frames[i] == one.Frames[i]) << "frame " << i;
    }
  }
}

std::vector<fs::path> GifsIn(const fs::path& folder) {
  std::vector<fs::path> files;
  if (!fs::is_directory(folder)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

// An animation written by another program into the test's folder, or nothing when it is missing.
std::optional<Bytes> MadeBy(const std::string& command, const std::string& name) {
  const fs::path path = fs::temp_directory_path() / ("parallel_load_" + std::to_string(::getpid()) + "_" + name);
  const std::string line = command + " '" + path.string() + "' >/dev/null 2>&1";
  if (std::system(line.c_str()) != 0 || !fs::exists(path)) return std::nullopt;
  Bytes bytes = ReadAll(path);
  fs::remove(path);
  return bytes;
}

const std::vector<std::pair<std::string, std::string>>& PeerAnimations() {
  static const std::vector<std::pair<std::string, std::string>> commands = {
      {"imagemagick-offsets.gif",
       "convert -size 200x180 xc:none -fill red -draw 'circle 60,60 60,20' -size 200x180 gradient:blue-yellow "
       "\\( -size 120x90 plasma:fractal -repage +40+30 \\) -set dispose background -delay 7 -loop 3"},
      {"imagemagick-interlaced.gif",
       "convert -size 300x200 plasma:fractal -size 300x200 gradient:red-green -interlace GIF -delay 5"},
      {"ffmpeg-noise.gif",
       "ffmpeg -v error -f lavfi -i testsrc=size=320x240:rate=10 -vf noise=alls=40:allf=t -t 1.2 -pix_fmt rgb8 -y"},
  };
  return commands;
}

// Frame 0 decodes to a colour its table lacks (a warning once decoded); frame 1, of no size, is
// warned about as it is read: the decode's warning still comes first.
TEST(ParallelLoad, WarningsKeepFileOrderAcrossFramesDecodedElsewhere) {
  const Bytes data = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0x80, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF,
                      0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0, 2, 3, 0xDC, 0x36, 0x05, 0,
                      0x2C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x3B};
  const Loaded one = Load(data, 1);
  ASSERT_EQ(one.Warnings.size(), 2u);
  EXPECT_EQ(one.Warnings[0], std::string("frame 0: 1 ") + texts::ColorNotInTable);
  EXPECT_EQ(one.Warnings[1], std::string("frame 1: 1 ") + texts::ExceedsScreen);
  ExpectSameLoads(data, "warnings on both sides of a frame");
}

TEST(ParallelLoad, GivesTheSameFramesWarningsAndErrorsAsOneThread) {
  std::vector<fs::path> files = GifsIn(fs::path(MOVINTA_SHARED_DIR) / "testdata" / "gif-suite");
  for (const char* folder : {"fuzz/gif/regressions", "fuzz/gif/edit-regressions"})
    for (const fs::path& p : GifsIn(fs::path(MOVINTA_SOURCE_DIR) / folder)) files.push_back(p);
  int loaded = 0;
  for (const fs::path& path : files) {
    if (path.extension() != ".gif" && path.parent_path().filename() == "gif-suite") continue;
    ExpectSameLoads(ReadAll(path), path.filename().string());
    ++loaded;
  }
  if (loaded == 0) GTEST_SKIP() << "no conformance suite beside the checkout";
}

TEST(ParallelLoad, PeersAnimationsLoadTheSameWholeAndCutAnywhere) {
  for (const auto& [name, command] : PeerAnimations()) {
    const std::optional<Bytes> data = MadeBy(command, name);
    ASSERT_TRUE(data) << command;
    ExpectSameLoads(*data, name);
    // Cuts at spread places: inside headers, tables, extensions and image data of any frame.
    for (std::size_t cut = 7; cut < data->size(); cut += data->size() / 23 + 1)
      ExpectSameLoads(Bytes(data->begin(), data->begin() + static_cast<std::ptrdiff_t>(cut)),
                      name + " cut at " + std::to_string(cut));
  }
}

// A process near its thread or address-space limit starts fewer decoders than it asks for, or
// none: the frames are the same, decoded on what did start or on the loading thread.
TEST(ParallelLoad, RefusedDecoderThreadsLeaveTheSameFrames) {
  const auto& [name, command] = PeerAnimations()[2];
  const std::optional<Bytes> data = MadeBy(command, name);
  ASSERT_TRUE(data) << command;
  const Loaded one = Load(*data, 1);
  ASSERT_GE(one.Frames.size(), 10u);
  for (int allowed : {0, 1, 3}) {
    for (bool fromFile : {false, true}) {
      SCOPED_TRACE(std::to_string(allowed) + " threads start" + (fromFile ? ", reading a file too" : ""));
      int asked = 0;
      RefuseThreadForTest = [&] { return ++asked > allowed; };
      const Loaded many = Load(*data, 8, fromFile);
      RefuseThreadForTest = nullptr;
      EXPECT_GT(asked, allowed) << "a decoder was refused";
      EXPECT_EQ(many.Error, one.Error);
      EXPECT_EQ(many.Warnings, one.Warnings);
      ASSERT_EQ(many.Frames.size(), one.Frames.size());
      for (std::size_t i = 0; i < one.Frames.size(); ++i) EXPECT_TRUE(many.Frames[i] == one.Frames[i]) << "frame " << i;
    }
  }
}

// Read without writing access, which would give the frames new pixels.
std::vector<Bytes> PixelsOf(const TGIFImage& image) {
  std::vector<Bytes> out;
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    const TGIFSubImage* f = image.Images().GetFrame(i);
    out.emplace_back(f->Data(), f->Data() + f->DataSize());
  }
  return out;
}

// An image read back from a file it wrote (an undo's snapshot) may take the pixels of the frames
// it shares with the image it replaces: it then holds what a plain load gives, and the donor keeps
// the frames it does not share. A load that fails takes nothing.
TEST(ParallelLoad, FramesTakeTheDonorsPixelsOnlyWhenTheLoadSucceeds) {
  const std::optional<Bytes> made = MadeBy(PeerAnimations()[0].second, "donor.gif");
  ASSERT_TRUE(made);
  for (int threads : {1, 8}) {
    SCOPED_TRACE(std::to_string(threads) + " threads");
    TGIFImage live;
    live.LoadFromMemory(*made);
    ASSERT_GE(live.Images().GetCount(), 3);
    live.EncodedDataCache = std::make_shared<TGIFEncodedDataCache>();
    const Bytes snapshot = live.SaveToMemory();
    // The second frame changes after the snapshot: its pixels are no longer the donor's.
    TGIFSubImage& edited = *live.Images().GetFrame(1);
    for (std::size_t p = 0; p < edited.DataSize(); p += 7) edited.Data()[p] ^= 1;
    const std::vector<Bytes> before = PixelsOf(live);
    const Loaded plain = Load(snapshot, 1);

    TGIFLoadOptions options;
    options.DecodeThreads = threads;
    options.PixelsDonor = &live;
    TGIFImage refused;
    refused.EncodedDataCache = live.EncodedDataCache;
    // Room for all but the last frame: the load fails after the others found their donors.
    refused.MemoryBudget = live.MemoryCost() - 1;
    EXPECT_ANY_THROW(refused.LoadFromMemory(snapshot, options));
    EXPECT_EQ(PixelsOf(live), before);

    TGIFImage fresh;
    fresh.EncodedDataCache = live.EncodedDataCache;
    fresh.LoadFromMemory(snapshot, options);
    ASSERT_EQ(static_cast<std::size_t>(fresh.Images().GetCount()), plain.Frames.size());
    for (int i = 0; i < fresh.Images().GetCount(); ++i)
      EXPECT_EQ(PixelsOf(fresh)[static_cast<std::size_t>(i)], plain.Frames[static_cast<std::size_t>(i)].Pixels)
          << "frame " << i;
    const std::vector<Bytes> left = PixelsOf(live);
    EXPECT_EQ(left[1], before[1]) << "the edited frame was not the snapshot's";
    EXPECT_NE(left[0], before[0]) << "the shared frames were given away";
    EXPECT_NE(left[2], before[2]) << "the shared frames were given away";
    // What the fresh image writes is the snapshot, from the cache alone.
    const std::uint64_t misses = fresh.EncodedDataCache->Misses();
    EXPECT_EQ(fresh.SaveToMemory(), snapshot);
    EXPECT_EQ(fresh.EncodedDataCache->Misses(), misses);
  }
}

}  // namespace
