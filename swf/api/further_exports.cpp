// The C exports of the further movie-building operations.
#include "swf/api/reeltide.h"

#include "swf/api/export_guard.h"

#include "swf/further_movie.h"

extern "C" {

void setMovieStartFrame(int frame)
{
    reeltide::Guarded([&] { reeltide::SetMovieStartFrame(frame); });
}

void setMovieWaitFrame(int skipCount)
{
    reeltide::Guarded([&] { reeltide::SetMovieWaitFrame(skipCount); });
}

void setEndURL(const char* url, const char* target)
{
    reeltide::Guarded([&] { reeltide::SetEndURL(url, target); });
}

int makeButton(int overId, int upId, int downId, int hitId, int actionKind, int frame, const char* url,
               const char* target)
{
    return reeltide::GuardedResult(
        [&] { return reeltide::MakeButton(overId, upId, downId, hitId, actionKind, frame, url, target); });
}

int makeSound(const char* mp3FileName)
{
    return reeltide::GuardedResult([&] { return reeltide::MakeSound(mp3FileName); });
}

int makeSoundClip(const char* mp3FileName)
{
    return reeltide::GuardedResult([&] { return reeltide::MakeSoundClip(mp3FileName); });
}

void playSound(int soundId)
{
    reeltide::Guarded([&] { reeltide::PlaySound(soundId); });
}

void playSoundTrack(void)
{
    reeltide::Guarded([&] { reeltide::PlaySoundTrack(); });
}

}  // extern "C"
