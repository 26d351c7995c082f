// Runs every case of the public GIF conformance suite through the reader, then
// plays it through the library's own painter (what users see) and through a
// compositor kept here, apart from the library, and compares each frame with
// the suite's RGBA. Cases without a picture must load or fail cleanly and
// quickly, and what loads must play.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "gif/gifimage.h"
#include "gif/painter/painter.h"
#include "tests/gif/compositor.h"

using namespace gif;
using giftest::Composite;
using giftest::Frame;
namespace fs = std::filesystem;

namespace {

const fs::path kSuite = fs::path(MOVINTA_SHARED_DIR) / "testdata" / "gif-suite";

using Ini = std::map<std::string, std::map<std::string, std::string>>;

Ini ReadIni(const fs::path& path) {
  Ini ini;
  std::ifstream in(path);
  std::string line, section;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      section = line.substr(1, line.find(']') - 1);
      continue;
    }
    const auto eq = line.find(" = ");
    if (eq == std::string::npos) {
      const auto bare = line.find(" =");
      if (bare != std::string::npos) ini[section][line.substr(0, bare)] = "";
      continue;
    }
    ini[section][line.substr(0, eq)] = line.substr(eq + 3);
  }
  return ini;
}

std::vector<std::uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Split(const std::string& s) {
  std::vector<std::string> parts;
  std::stringstream ss(s);
  std::string part;
  while (std::getline(ss, part, ','))
    if (!part.empty()) parts.push_back(part);
  return parts;
}

// The comment as the suite writes it: quoted, control bytes as \xNN escapes,
// the other bytes as they stand.
std::string SuiteText(const std::string& bytes) {
  std::string out = "'";
  for (unsigned char c : bytes) {
    if (c < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%02x", c);
      out += esc;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "'";
}

std::string Loops(TGIFImage& image) {
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    TGIFExtensionList& list = image.Images().GetFrame(i)->Extensions();
    for (int e = 0; e < list.GetCount(); ++e)
      if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(list.GetExtension(e)))
        return loop->GetLoops() == 0 ? "infinite" : std::to_string(loop->GetLoops());
  }
  return "0";
}

std::uint32_t BufferSize(TGIFImage& image) {
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    TGIFExtensionList& list = image.Images().GetFrame(i)->Extensions();
    for (int e = 0; e < list.GetCount(); ++e)
      if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(list.GetExtension(e))) return loop->GetBufferSize();
  }
  return 0;
}

std::string Comment(TGIFImage& image) {
  std::string text;
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    TGIFExtensionList& list = image.Images().GetFrame(i)->Extensions();
    for (int e = 0; e < list.GetCount(); ++e)
      if (auto* c = dynamic_cast<TGIFCommentExtension*>(list.GetExtension(e)))
        for (const std::string& line : c->Text()) text += line;
  }
  return text;
}

// Time passes at once: delays cost nothing.
class InstantClock : public TGIFPlaybackClock {
public:
  std::uint32_t Now() override { return now_; }
  void Sleep(int milliseconds) override { now_ += static_cast<std::uint32_t>(std::max(milliseconds, 0)); }

private:
  std::uint32_t now_ = 0;
};

// A canvas colour no case draws: where it shows, nothing was drawn.
constexpr TColor kUntouched = 0x5A3C1E;

// Plays the image once through the library's painter, synchronously, drawing
// transparently over a canvas of the screen's size, and keeps the canvas after
// each image that ends an output frame (the compositor's rule) as RGBA, with
// alpha 0 where nothing was drawn.
std::vector<Frame> Played(TGIFImage& image, bool forceAnimation) {
  const int w = image.GetWidth(), h = image.GetHeight();
  std::vector<Frame> frames;
  if (w <= 0 || h <= 0) return frames;
  Bitmap canvas(w, h, PixelFormat::pf32bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) canvas.SetPixelColor(x, y, kUntouched);
  auto rgba = [&] {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(w) * h * 4, 0);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const TColor c = canvas.PixelColor(x, y) & 0xFFFFFF;
        if (c == kUntouched) continue;
        std::uint8_t* d = &out[(static_cast<std::size_t>(y) * w + x) * 4];
        d[0] = c & 0xFF, d[1] = (c >> 8) & 0xFF, d[2] = (c >> 16) & 0xFF, d[3] = 255;
      }
    return out;
  };
  std::vector<std::pair<Frame, int>> shown;  // each frame played and its image
  TGIFPlayEvents events;
  events.OnAfterFrame = [&](TGIFPainter& painter) {
    const TGIFGraphicControlExtension* gce = image.Images().GetFrame(painter.ActiveImage())->GraphicControlExtension();
    shown.push_back({Frame{rgba(), gce ? gce->GetDelay() : 0}, painter.ActiveImage()});
  };
  InstantClock clock;
  Paint(image, canvas, TRect{0, 0, w, h}, goAnimate | goTransparent, events, nullptr, nullptr, &clock);
  for (std::size_t i = 0; i < shown.size(); ++i)
    if (forceAnimation || shown[i].first.delay > 0 || i + 1 == shown.size()) frames.push_back(shown[i].first);
  if (frames.empty()) frames.push_back(Frame{rgba(), 0});
  return frames;
}

std::vector<std::string> Cases() {
  std::vector<std::string> names;
  std::ifstream in(kSuite / "TESTS");
  std::string line;
  while (std::getline(in, line))
    if (!line.empty()) names.push_back(line);
  return names;
}

// Cases where the library keeps a rule of its own on purpose: image data with
// a minimum code size above 8 is refused with a warning.
const std::map<std::string, const char*> kOwnRules = {
    {"max-codes", "its minimum code size is 11; sizes above 8 end decoding with a warning"},
};

class GIFConformance : public testing::TestWithParam<std::string> {};

TEST_P(GIFConformance, MatchesTheSuite) {
  if (!fs::exists(kSuite / "TESTS")) GTEST_SKIP() << "no conformance suite at " << kSuite;
  const std::string name = GetParam();
  const Ini ini = ReadIni(kSuite / (name + ".conf"));
  const auto& config = ini.at("config");
  const std::vector<std::string> expected = Split(config.at("frames"));
  const std::vector<std::uint8_t> bytes = ReadAll(kSuite / config.at("input"));

  TGIFImage image;
  image.MaxFramePixels = 1u << 24;
  std::vector<std::string> warnings;
  image.OnWarning = [&](const void*, int, const std::string& m) { warnings.push_back(m); };
  const auto start = std::chrono::steady_clock::now();
  std::string error;
  try {
    image.LoadFromMemory(bytes);
  } catch (const GIFException& e) {
    error = e.what();
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 10.0);

  if (expected.empty()) {
    // No defined picture: what loaded must still play, and whatever was
    // refused says why.
    if (error.empty()) {
      EXPECT_EQ(image.GetWidth(), std::stoi(config.at("width")));
      EXPECT_EQ(image.GetHeight(), std::stoi(config.at("height")));
      // A forged screen of up to 65535 x 65535 holds no canvas worth making.
      if (static_cast<std::uint64_t>(image.GetWidth()) * image.GetHeight() <= image.MaxFramePixels) {
        EXPECT_NO_THROW(Played(image, false));
      }
    } else {
      EXPECT_FALSE(error.empty());
    }
    return;
  }
  if (const auto own = kOwnRules.find(name); own != kOwnRules.end()) {
    EXPECT_TRUE(!error.empty() || !warnings.empty());
    GTEST_SKIP() << own->second;
  }
  ASSERT_EQ(error, "");
  EXPECT_EQ(image.GetWidth(), std::stoi(config.at("width")));
  EXPECT_EQ(image.GetHeight(), std::stoi(config.at("height")));
  // Where the suite forces animation on a file without a loop extension it
  // expects endless looping; that is a player's choice, not the file's content.
  const bool forced = config.at("force-animation") == "yes";
  if (!(Loops(image) == "0" && forced)) {
    EXPECT_EQ(Loops(image), config.at("loop-count"));
  }
  if (config.count("buffer-size")) {
    EXPECT_EQ(std::to_string(BufferSize(image)), config.at("buffer-size"));
  }
  if (config.count("comment")) {
    EXPECT_EQ(SuiteText(Comment(image)), config.at("comment"));
  }
  if (config.count("background") && image.GetGlobalColorMap().GetCount() > 0) {
    const TGIFColor bg = image.GetGlobalColorMap().Entry(
        std::min<int>(image.Header().GetBackgroundColorIndex(), image.GetGlobalColorMap().GetCount() - 1));
    char hex[8];
    std::snprintf(hex, sizeof hex, "#%02x%02x%02x", bg.Red, bg.Green, bg.Blue);
    EXPECT_EQ(hex, config.at("background"));
  }

  const std::vector<Frame> played = Played(image, forced);
  ASSERT_EQ(played.size(), expected.size());
  for (std::size_t i = 0; i < played.size(); ++i) {
    SCOPED_TRACE(expected[i]);
    const std::vector<std::uint8_t> want = ReadAll(kSuite / ini.at(expected[i]).at("pixels"));
    ASSERT_EQ(played[i].rgba.size(), want.size());
    EXPECT_TRUE(played[i].rgba == want) << "played frame differs";
  }

  const std::vector<Frame> frames = Composite(image, config.at("force-animation") == "yes");
  ASSERT_EQ(frames.size(), expected.size());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(expected[i]);
    const auto& expectedFrame = ini.at(expected[i]);
    const std::vector<std::uint8_t> want = ReadAll(kSuite / expectedFrame.at("pixels"));
    ASSERT_EQ(frames[i].rgba.size(), want.size());
    EXPECT_TRUE(frames[i].rgba == want) << "composited frame differs";
    if (expectedFrame.count("delay")) {
      EXPECT_EQ(frames[i].delay, std::stoi(expectedFrame.at("delay")));
    }
  }

  // What loads saves again and reads back to the same pictures (an image
  // without frames has nothing to write and says so).
  if (image.IsEmpty()) return;
  std::vector<std::uint8_t> saved;
  ASSERT_NO_THROW(saved = image.SaveToMemory());
  TGIFImage again;
  again.LoadFromMemory(saved);
  const std::vector<Frame> reread = Composite(again, config.at("force-animation") == "yes");
  ASSERT_EQ(reread.size(), frames.size());
  for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_TRUE(reread[i].rgba == frames[i].rgba) << "after saving, frame " << i;
}

INSTANTIATE_TEST_SUITE_P(Suite, GIFConformance, testing::ValuesIn(Cases().empty() ? std::vector<std::string>{"absent"} : Cases()),
                         [](const testing::TestParamInfo<std::string>& info) {
                           std::string n = info.param;
                           for (char& c : n)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return n;
                         });

}  // namespace
