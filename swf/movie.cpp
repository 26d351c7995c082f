#include "swf/movie.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "swf/actions.h"
#include "swf/bitmap_tags.h"
#include "swf/control_tags.h"
#include "swf/glyph_outliner.h"
#include "swf/movie_state.h"
#include "swf/shape.h"

namespace reeltide {
namespace {

int32_t Twips(int64_t pixels)
{
    return int32_t(std::clamp<int64_t>(pixels * 20, INT32_MIN, INT32_MAX));
}

// A pen position: the move fields hold at most 31 bits, signed.
int32_t MoveTwips(int64_t pixels)
{
    constexpr int64_t limit = (int64_t(1) << 30) - 1;
    return int32_t(std::clamp<int64_t>(pixels * 20, -limit, limit));
}

// Scale of the gradient square (32768 twips wide) to a box of the given size in twips:
// 65536 div (32768 div size) as a fraction, as movies have always been written, while that
// is defined and not 0; the exact size / 32768 for boxes of no size or over 16384 twips.
FlashFixed GradientScale(int32_t size)
{
    if (size > 0 && size <= 16384) return FlashFixed::FromRaw(65536 / (32768 / size));
    return FlashFixed::FromRaw(int32_t(std::clamp<int64_t>(int64_t(size) * 2, INT32_MIN, INT32_MAX)));
}

// The command list of makeShape; values past its end are never read.
class ShapeCommands {
public:
    ShapeCommands(const int* cmds, int count) : cmds_(cmds), count_(cmds ? std::max(count, 0) : 0) {}
    bool Has(int i, int n) const { return i >= 0 && int64_t(i) + n <= count_; }
    int operator[](int i) const { return Has(i, 1) ? cmds_[i] : 0; }
    int Count() const { return count_; }

private:
    const int* cmds_;
    int count_;
};

bool ReadWholeFile(const char* fileName, std::vector<uint8_t>& bytes)
{
    if (!fileName) return false;
    FILE* f = std::fopen(fileName, "rb");
    if (!f) return false;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(f) : -1;
    // The tag length field is 32 bits and must also hold the id and offsets.
    ok = size >= 0 && uint64_t(size) <= 0xFFFFFFFFull - 16 && std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        bytes.resize(size_t(size));
        ok = std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    }
    std::fclose(f);
    return ok;
}

bool WriteAll(int fd, const uint8_t* data, size_t n)
{
    while (n > 0) {
        ssize_t w = ::write(fd, data, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += w;
        n -= size_t(w);
    }
    return true;
}

bool WriteAllAt(int fd, const uint8_t* data, size_t n, uint64_t offset)
{
    while (n > 0) {
        ssize_t w = ::pwrite(fd, data, n, off_t(offset));
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (w == 0) return false;
        data += w;
        offset += uint64_t(w);
        n -= size_t(w);
    }
    return true;
}

// The mode a new file gets, or the one the file it replaces has.
mode_t ModeFor(const std::string& fileName)
{
    struct stat st;
    if (::stat(fileName.c_str(), &st) == 0) return st.st_mode & 07777;
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Writes the file through a temporary file beside it and a rename, so that a failed write
// never leaves a half-written file in place of an existing one.
bool SaveFile(const std::string& fileName, const FlashOutputStream& header, const FlashOutputStream& body)
{
    std::string temp = fileName + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    bool ok = WriteAll(fd, header.Data(), header.Size()) && WriteAll(fd, body.Data(), body.Size()) &&
              ::fchmod(fd, ModeFor(fileName)) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), fileName.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

// The file named by setMovieFile: the tags go to a temporary file beside it as they are made,
// after room for the header, so that a movie of many pictures is neither held whole in memory
// nor written all at once at the end. writeMovie puts the header in front and the file in place.
struct MovieFile {
    int fd = -1;
    std::string name, temp;
    uint32_t headerLength = 0;
    uint64_t written = 0;  // bytes of tags in the file, after the header's room
    bool failed = false;   // a write failed: the tags stay in memory from then on
};
MovieFile movieFile;

// Tags go to the file in steps of about this many bytes, so that the buffer they are made in
// stays small and is reused.
constexpr size_t kMovieFileStep = size_t(512) << 10;

size_t HeaderLength(int width, int height)
{
    return FlashHeader(5, 0, Twips(width), Twips(height), 0.0, uint16_t(0)).HeaderLength();
}

void PassTagsToFile()
{
    if (movieFile.fd < 0 || movieFile.failed || movieTagStream.Size() < kMovieFileStep) return;
    if (!WriteAllAt(movieFile.fd, movieTagStream.Data(), movieTagStream.Size(),
                    movieFile.headerLength + movieFile.written)) {
        movieFile.failed = true;
        return;
    }
    // The disk may start on them now, so that writeMovie's flush has little left to wait for.
    ::sync_file_range(movieFile.fd, off_t(movieFile.headerLength + movieFile.written), off_t(movieTagStream.Size()),
                      SYNC_FILE_RANGE_WRITE);
    movieFile.written += movieTagStream.Size();
    movieTagStream.Clear();
}

void DropMovieFile()
{
    if (movieFile.fd >= 0) ::close(movieFile.fd);
    if (!movieFile.temp.empty()) ::unlink(movieFile.temp.c_str());
    movieFile = MovieFile();
}

// Brings the tags already in the file back in front of those in memory; false when they cannot be read.
bool TakeTagsBack()
{
    FlashOutputStream tags;
    tags.Reserve(size_t(movieFile.written) + movieTagStream.Size());
    std::vector<uint8_t> step(kMovieFileStep);
    for (uint64_t done = 0; done < movieFile.written;) {
        const size_t want = size_t(std::min<uint64_t>(step.size(), movieFile.written - done));
        const ssize_t n = ::pread(movieFile.fd, step.data(), want, off_t(movieFile.headerLength + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        tags.WriteBytes(step.data(), size_t(n));
        done += uint64_t(n);
    }
    tags.WriteBytes(movieTagStream);
    std::swap(tags, movieTagStream);
    return true;
}

// Puts the rest of the tags and the header into the movie's file and the file in place.
bool FinishMovieFile(const FlashOutputStream& head)
{
    MovieFile& f = movieFile;
    bool ok = WriteAllAt(f.fd, movieTagStream.Data(), movieTagStream.Size(), f.headerLength + f.written) &&
              WriteAllAt(f.fd, head.Data(), head.Size(), 0) && ::fchmod(f.fd, ModeFor(f.name)) == 0 &&
              ::fsync(f.fd) == 0;
    ok = ::close(f.fd) == 0 && ok;
    f.fd = -1;
    ok = ok && ::rename(f.temp.c_str(), f.name.c_str()) == 0;
    if (ok) f.temp.clear();
    return ok;
}

void ResetMovieState()
{
    DropMovieFile();
    soundTrack.reset();
    movieTagStream.Reset();
    soundTrackOn = 0;
    nextCharacterId = 0;
    characterIdsRunOut = false;
    ReleaseDepthTable();
}

}  // namespace

int32_t PercentToFixed(int percent)
{
    return int32_t(std::clamp<int64_t>(int64_t(percent) * 65536 / 100, INT32_MIN, INT32_MAX));
}

void CreateMovie(int frameRate)
{
    movieFrameRate = frameRate;
    movieFrameCount = 0;
    soundTrack.reset();
    movieStartFrame = 1;
    AllocateDepthTable();
}

void SetBkColor(int red, int green, int blue)
{
    FlashTagBackgroundColor(uint8_t(red), uint8_t(green), uint8_t(blue)).Write(movieTagStream);
}

int MakeBlankShape()
{
    if (CharacterIdsExhausted()) return 0;
    FlashShapeWithStyle shape;
    FlashTagDefineShape3 tag(shape);
    tag.Write(movieTagStream);
    DepthUsed(tag.GetId()) = 0;
    return tag.GetId();
}

int MakeShape(const char* fontName, int charCode, int count, const int* cmds)
{
    if (CharacterIdsExhausted()) return 0;
    ShapeCommands c(cmds, count);
    int32_t x = Twips(c[0]), y = Twips(c[1]), w = Twips(c[2]), h = Twips(c[3]);

    // Styles stay alive here until the tag has been written.
    std::deque<FlashFillStyleSolid> solids;
    std::deque<FlashFillStyleBitmap> bitmaps;
    std::deque<FlashFillStyleGradient> gradients;
    std::deque<FlashLineStyle> lines;
    FlashShapeWithStyle shape;
    auto color = [&](int i) {
        return FlashRGBA(int16_t(c[i]), int16_t(c[i + 1]), int16_t(c[i + 2]), int16_t(c[i + 3]));
    };

    // A command whose values run past the end of the list ends the list.
    for (int i = 4; i < c.Count() - 1; ++i) {
        int command = c[i];
        int values = command == 0 || command == 1 || command == 7 ? 2
                   : command == 2 ? 4
                   : command == 3 || command == 4 ? 1
                   : command == 5 ? 5
                   : command == 6 ? 4
                   : command == 10 ? 3
                   : 0;
        if (!c.Has(i + 1, values)) break;
        switch (command) {
        case 0:
            shape.AddRecord(FlashShapeRecordChange(MoveTwips(c[i + 2]), MoveTwips(c[i + 1])));
            break;
        case 1:
            shape.AddRecord(FlashShapeRecordStraight(Twips(c[i + 2]), Twips(c[i + 1])));
            break;
        case 2:
            shape.AddRecord(FlashShapeRecordCurved(Twips(c[i + 4]), Twips(c[i + 3]), Twips(c[i + 2]),
                                                   Twips(c[i + 1])));
            break;
        case 3: {
            FlashShapeRecordChange select;
            select.SetFillStyle0(uint16_t(c[i + 1]));
            shape.AddRecord(select);
            break;
        }
        case 4: {
            FlashShapeRecordChange select;
            select.SetLineStyle(uint16_t(c[i + 1]));
            shape.AddRecord(select);
            break;
        }
        case 5:
            lines.emplace_back(uint16_t(std::clamp(Twips(c[i + 1]), 0, 0xFFFF)), color(i + 2));
            shape.GetLineStyles().Add(&lines.back());
            break;
        case 6:
            solids.emplace_back(color(i + 1));
            shape.GetFillStyles().Add(&solids.back());
            break;
        case 7: {
            FlashMatrix m;
            m.SetScale(FlashFixed(20.0), FlashFixed(20.0));
            m.SetTranslate(x, y);
            bitmaps.emplace_back(uint16_t(c[i + 1]), m, c[i + 2] != 1);
            shape.GetFillStyles().Add(&bitmaps.back());
            break;
        }
        case 8: {
            FlashGradient g;
            for (int group = 0; group < 8; ++group) {
                if (!c.Has(i + 1, 1)) break;
                if (c[i + 1] != 1) {
                    ++values;  // the end value
                    break;
                }
                if (!c.Has(i + 2, 5)) break;
                g.AddRecord(uint8_t(c[i + 2]), color(i + 3));
                i += 6;
            }
            FlashMatrix m;
            m.SetScale(GradientScale(w), GradientScale(h));
            m.SetTranslate(int32_t(std::clamp<int64_t>(int64_t(x) + w / 2, INT32_MIN, INT32_MAX)),
                           int32_t(std::clamp<int64_t>(int64_t(y) + h / 2, INT32_MIN, INT32_MAX)));
            gradients.emplace_back(m, g);
            shape.GetFillStyles().Add(&gradients.back());
            break;
        }
        case 10:
            FlashGlyphOutliner().AddGlyph(fontName ? fontName : "", uint16_t(charCode), shape.GetShape(),
                                          uint16_t(c[i + 1]), uint16_t(c[i + 2]), uint16_t(c[i + 3]));
            break;
        default:
            break;
        }
        i += values;
    }
    FlashTagDefineShape3 tag(shape);
    tag.Write(movieTagStream);
    DepthUsed(tag.GetId()) = 0;
    return tag.GetId();
}

int MakeJpeg(const char* fileName, int width, int height, int withAlpha, const uint8_t* alpha)
{
    if (CharacterIdsExhausted()) return 0;
    std::vector<uint8_t> jpeg;
    if (!ReadWholeFile(fileName, jpeg)) return 0;
    return MakeJpegData(jpeg.data(), int64_t(jpeg.size()), width, height, withAlpha, alpha);
}

int MakeJpegData(const uint8_t* data, int64_t size, int width, int height, int withAlpha, const uint8_t* alpha)
{
    if (CharacterIdsExhausted()) return 0;
    // The tag length field is 32 bits and must also hold the id and offsets.
    if (size < 0 || uint64_t(size) > 0xFFFFFFFFull - 16 || (!data && size > 0)) return 0;
    if (withAlpha == 0) {
        FlashTagDefineBitsJPEG2 tag(data, uint32_t(size));
        tag.Write(movieTagStream);
        PassTagsToFile();
        return tag.GetId();
    }
    // The alpha plane is one byte per pixel; without one, or when it doesn't compress,
    // no tag is written and no id is used.
    if (!alpha || width < 0 || height < 0 || int64_t(width) * height > 0x7FFFFFFF) return 0;
    std::vector<uint8_t> packed;
    if (!CompressBytes(alpha, size_t(width) * size_t(height), packed)) return 0;
    if (uint64_t(size) + packed.size() > 0xFFFFFFFFull - 16) return 0;
    FlashTagDefineBitsJPEG3 tag(data, uint32_t(size), packed.data(), uint32_t(packed.size()));
    tag.Write(movieTagStream);
    PassTagsToFile();
    return tag.GetId();
}

void PlaceObject(int depth, int characterId)
{
    if (DepthUsed(characterId) != 0) return;
    FlashTagPlaceObject2(uint16_t(depth), uint16_t(characterId)).Write(movieTagStream);
    DepthUsed(depth) = 1;
}

void RemoveObject(int depth)
{
    if (DepthUsed(depth) != 1) return;
    FlashTagRemoveObject2(uint16_t(depth)).Write(movieTagStream);
    DepthUsed(depth) = 0;
}

void TransformObject(int depth, int characterId, const int* params)
{
    if (!params) return;
    FlashMatrix m;
    if (params[0] == 1)
        m.SetScale(FlashFixed::FromRaw(PercentToFixed(params[1])), FlashFixed::FromRaw(PercentToFixed(params[2])));
    if (params[3] == 1) m.SetRotate(FlashFixed(), FlashFixed());
    m.SetTranslate(Twips(params[6]), Twips(params[7]));
    auto terms = [&](int i) {
        return FlashRGBA(int16_t(params[i]), int16_t(params[i + 1]), int16_t(params[i + 2]), int16_t(params[i + 3]));
    };
    FlashColorTransform transform(params[8] == 1, terms(9), params[13] == 1, terms(14));
    FlashTagPlaceObject2 tag(uint16_t(depth), uint16_t(characterId), m, transform);
    uint8_t& used = DepthUsed(depth);
    if (used == 1)
        tag.SetMove(true);
    else
        used = 1;
    tag.Write(movieTagStream);
}

void ShowFrame()
{
    if (soundTrackOn == 1 && soundTrack) soundTrack->WriteNextBlock(movieTagStream);
    FlashTagShowFrame().Write(movieTagStream);
    ++movieFrameCount;
    PassTagsToFile();
}

int SetMovieFile(const char* fileName, int width, int height)
{
    if (movieFile.fd >= 0 || !fileName || !*fileName) return 0;
    MovieFile f;
    f.name = fileName;
    f.temp = f.name + ".XXXXXX";
    f.fd = ::mkstemp(f.temp.data());
    if (f.fd < 0) return 0;
    f.headerLength = uint32_t(HeaderLength(width, height));
    movieFile = std::move(f);
    PassTagsToFile();
    return 1;
}

int WriteMovie(const char* fileName, int width, int height, int frameRate, int playFlag)
{
    // The next movie starts fresh whatever happens here.
    struct ResetOnExit {
        ~ResetOnExit() { ResetMovieState(); }
    } reset;
    // The header counts frames in 16 bits: a longer movie cannot be written.
    if (int64_t(movieFrameCount) + 1 > 0xFFFF) return 0;
    if ((playFlag & 0xFF) != 0) {
        FlashActionGotoFrame gotoStart{uint16_t(movieStartFrame)};
        FlashActionPlay play;
        FlashTagDoAction start;
        start.AddAction(&gotoStart);
        start.AddAction(&play);
        start.Write(movieTagStream);
    }
    FlashTagEnd().Write(movieTagStream);
    FlashHeader header(5, uint32_t(movieFile.written + movieTagStream.Size()), Twips(width), Twips(height),
                       double(frameRate), uint16_t(movieFrameCount + 1));
    FlashOutputStream head;
    head << header;
    if (!fileName || !*fileName) return 0;
    if (movieFile.fd >= 0) {
        if (!movieFile.failed && movieFile.name == fileName && head.Size() == movieFile.headerLength)
            return FinishMovieFile(head) ? 1 : 0;
        // Written elsewhere, at another size, or after a failed write: from memory, as any movie.
        if (!TakeTagsBack()) return 0;
    }
    return SaveFile(fileName, head, movieTagStream) ? 1 : 0;
}

}  // namespace reeltide
