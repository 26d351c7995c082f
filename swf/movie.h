// The movie-building operations behind libReeltide's C exports (api/reeltide.h describes
// them for callers). Each builds its tags on the stack and writes them at once into
// movieTagStream.
#pragma once

#include <cstdint>

namespace reeltide {

void CreateMovie(int frameRate);
void SetBkColor(int red, int green, int blue);
int MakeBlankShape();
int MakeShape(const char* fontName, int charCode, int count, const int* cmds);
int MakeJpeg(const char* fileName, int width, int height, int withAlpha, const uint8_t* alpha);
int MakeJpegData(const uint8_t* data, int64_t size, int width, int height, int withAlpha, const uint8_t* alpha);
void PlaceObject(int depth, int characterId);
void RemoveObject(int depth);
void TransformObject(int depth, int characterId, const int* params);
void ShowFrame();
// 1 when the tags go to a temporary file beside fileName from now on, 0 when they stay in memory.
int SetMovieFile(const char* fileName, int width, int height);
// 1 when the file was written, 0 when it could not be; the movie state is reset either way.
int WriteMovie(const char* fileName, int width, int height, int frameRate, int playFlag);

// A percentage as a 16.16 value (150 gives 1.5, -50 gives -0.5).
int32_t PercentToFixed(int percent);

}  // namespace reeltide
