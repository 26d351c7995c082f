// Writes a 500-frame movie the way the editor exports an animation (one JPEG bitmap and
// one bitmap-filled shape per frame, remove/place/show per frame) through libReeltide's
// exports, and times it beside FFmpeg muxing the same JPEG files into an SWF file.
//   bench_swf_movie [frames] [width] [height]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/common/machine.h"
#include "swf/api/reeltide.h"
#include "tests/swf/jpeg_fixture.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

double BuildMovie(const std::vector<std::string>& jpegs, int w, int h, const std::string& out)
{
    auto start = std::chrono::steady_clock::now();
    int n = int(jpegs.size());
    std::vector<int> bitmaps(static_cast<size_t>(n)), shapes(static_cast<size_t>(n));
    createMovie(10);
    for (int k = 0; k < n; ++k) bitmaps[size_t(k)] = makeJpeg(jpegs[size_t(k)].c_str(), w, h, 0, nullptr);
    for (int k = 0; k < n; ++k) {
        int cmds[24] = {0, 0, w, h, 3, 1, 7, bitmaps[size_t(k)], 0, 0, 0, 0, 1, 0, w, 1, h, 0, 1, 0, -w, 1, -h, 0};
        shapes[size_t(k)] = makeShape("", 0, 24, cmds);
    }
    showFrame();
    for (int k = 0; k < n; ++k) {
        if (k >= 1) removeObject(shapes[size_t(k - 1)]);
        placeObject(shapes[size_t(k)], shapes[size_t(k)]);
        showFrame();
    }
    if (!writeMovie(out.c_str(), w, h, 10, 0)) {
        std::fprintf(stderr, "writeMovie failed for %s\n", out.c_str());
        std::exit(1);
    }
    return Seconds(start, std::chrono::steady_clock::now());
}

}  // namespace

int main(int argc, char** argv)
{
    int frames = argc > 1 ? std::atoi(argv[1]) : 500;
    int w = argc > 2 ? std::atoi(argv[2]) : 320;
    int h = argc > 3 ? std::atoi(argv[3]) : 240;
    TempFolder folder;
    std::vector<std::string> jpegs;
    size_t bytes = 0;
    for (int k = 0; k < frames; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "ZQF%04d.jpg", k);
        auto data = EncodeJpeg(w, h, k, 90);
        bytes += data.size();
        jpegs.push_back(folder.File(name));
        WriteFileBytes(jpegs.back(), data);
    }

    const int runs = 5;
    double best = 1e9;
    for (int r = 0; r < runs; ++r) best = std::min(best, BuildMovie(jpegs, w, h, folder.File("reeltide.swf")));
    long size = long(ReadFileBytes(folder.File("reeltide.swf")).size());
    bench::PrintMachine("1 reeltide; ffmpeg its own");
    std::printf("reeltide: %d frames of %dx%d (%.1f MB of JPEG) -> %ld bytes in %.2f ms (best of %d)\n", frames, w,
                h, bytes / 1e6, size, best * 1000, runs);

    std::string ffmpeg = "/usr/bin/ffmpeg -nostdin -y -v error -framerate 10 -i '" + folder.File("ZQF%04d.jpg") +
                         "' -c copy '" + folder.File("ffmpeg.swf") + "'";
    if (std::system("test -x /usr/bin/ffmpeg") != 0) {
        std::printf("ffmpeg: not installed, no ratio\n");
        return 0;
    }
    double peer = 1e9;
    for (int r = 0; r < runs; ++r) {
        auto start = std::chrono::steady_clock::now();
        if (std::system(ffmpeg.c_str()) != 0) {
            std::printf("ffmpeg: failed, no ratio\n");
            return 0;
        }
        peer = std::min(peer, Seconds(start, std::chrono::steady_clock::now()));
    }
    std::printf("ffmpeg -c copy to swf: %.2f ms (best of %d, process start included)\n", peer * 1000, runs);
    std::printf("ratio reeltide / ffmpeg: %.2f\n", best / peer);
    return 0;
}
