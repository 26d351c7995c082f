// The further movie-building operations behind libReeltide's C exports: start and
// wait frames, the end URL, buttons and sounds (api/reeltide.h describes them for
// callers). They share the global movie state of the core operations.
#pragma once

namespace reeltide {

void SetMovieStartFrame(int frame);
void SetMovieWaitFrame(int skipCount);
void SetEndURL(const char* url, const char* target);
int MakeButton(int overId, int upId, int downId, int hitId, int actionKind, int frame, const char* url,
               const char* target);
int MakeSound(const char* mp3FileName);
int MakeSoundClip(const char* mp3FileName);
void PlaySound(int soundId);
void PlaySoundTrack();

}  // namespace reeltide
