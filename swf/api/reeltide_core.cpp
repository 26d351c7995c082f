// The C exports of the movie-building core over the library's global movie state.
#include "swf/api/reeltide.h"

#include "swf/api/export_guard.h"

#include "swf/movie.h"

extern "C" {

void createMovie(int frameRate)
{
    reeltide::Guarded([&] { reeltide::CreateMovie(frameRate); });
}

void setBkColor(int red, int green, int blue)
{
    reeltide::Guarded([&] { reeltide::SetBkColor(red, green, blue); });
}

int makeBlankShape(void)
{
    return reeltide::GuardedResult([&] { return reeltide::MakeBlankShape(); });
}

int makeShape(const char* fontName, int charCode, int count, const int* cmds)
{
    return reeltide::GuardedResult([&] { return reeltide::MakeShape(fontName, charCode, count, cmds); });
}

int makeJpeg(const char* fileName, int width, int height, int withAlpha, const unsigned char* alpha)
{
    return reeltide::GuardedResult([&] { return reeltide::MakeJpeg(fileName, width, height, withAlpha, alpha); });
}

int makeJpegData(const unsigned char* data, int size, int width, int height, int withAlpha,
                 const unsigned char* alpha)
{
    return reeltide::GuardedResult(
        [&] { return reeltide::MakeJpegData(data, size, width, height, withAlpha, alpha); });
}

void placeObject(int depth, int characterId)
{
    reeltide::Guarded([&] { reeltide::PlaceObject(depth, characterId); });
}

void removeObject(int depth)
{
    reeltide::Guarded([&] { reeltide::RemoveObject(depth); });
}

void transformObject(int depth, int characterId, const int* params)
{
    reeltide::Guarded([&] { reeltide::TransformObject(depth, characterId, params); });
}

void showFrame(void)
{
    reeltide::Guarded([&] { reeltide::ShowFrame(); });
}

int setMovieFile(const char* fileName, int width, int height)
{
    return reeltide::GuardedResult([&] { return reeltide::SetMovieFile(fileName, width, height); });
}

int writeMovie(const char* fileName, int width, int height, int frameRate, int playFlag)
{
    return reeltide::GuardedResult([&] { return reeltide::WriteMovie(fileName, width, height, frameRate, playFlag); });
}

}  // extern "C"
