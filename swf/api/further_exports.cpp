// The C exports of the further movie-building operations.
#include "swf/api/reeltide.h"

#include "swf/further_movie.h"

extern "C" {

void setMovieStartFrame(int frame)
{
    reeltide::SetMovieStartFrame(frame);
}

void setMovieWaitFrame(int skipCount)
{
    reeltide::SetMovieWaitFrame(skipCount);
}

void setEndURL(const char* url, const char* target)
{
    reeltide::SetEndURL(url, target);
}

int makeButton(int overId, int upId, int downId, int hitId, int actionKind, int frame, const char* url,
               const char* target)
{
    return reeltide::MakeButton(overId, upId, downId, hitId, actionKind, frame, url, target);
}

int makeSound(const char* mp3FileName)
{
    return reeltide::MakeSound(mp3FileName);
}

int makeSoundClip(const char* mp3FileName)
{
    return reeltide::MakeSoundClip(mp3FileName);
}

void playSound(int soundId)
{
    reeltide::PlaySound(soundId);
}

void playSoundTrack(void)
{
    reeltide::PlaySoundTrack();
}

}  // extern "C"
