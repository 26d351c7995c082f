#include "swf/further_movie.h"

#include <memory>
#include <string>
#include <vector>

#include "swf/actions.h"
#include "swf/buttons.h"
#include "swf/movie_state.h"
#include "swf/sound.h"

namespace reeltide {

namespace {

std::string Text(const char* s) { return s ? s : ""; }

// Nothing is written when the action cannot be (a payload past its 16-bit length).
void WriteOneAction(FlashAction& action) {
    FlashTagDoAction tag;
    tag.AddAction(&action);
    FlashOutputStream written;
    tag.Write(written);
    if (!written.Failed()) movieTagStream.WriteBytes(written);
}

}  // namespace

void SetMovieStartFrame(int frame) { movieStartFrame = frame; }

void SetMovieWaitFrame(int skipCount) {
    FlashActionWaitForFrame2 wait(uint8_t(skipCount & 0xFF));
    WriteOneAction(wait);
}

void SetEndURL(const char* url, const char* target) {
    FlashActionGetURL getUrl(Text(url), Text(target));
    WriteOneAction(getUrl);
}

int MakeButton(int overId, int upId, int downId, int hitId, int actionKind, int frame, const char* url,
               const char* target) {
    if (CharacterIdsExhausted()) return 0;
    // The url action's payload has a 16-bit length; a longer one defines no button.
    if (actionKind == 0 && Text(url).size() + Text(target).size() + 2 > 0xFFFF) return 0;
    FlashMatrix matrix;
    matrix.SetScale(FlashFixed(1, 0), FlashFixed(1, 0));
    const FlashColorTransform none;
    const int ids[4] = {overId, upId, downId, hitId};
    const uint8_t states[4] = {FlashButtonRecord::kOver, FlashButtonRecord::kUp, FlashButtonRecord::kDown,
                               FlashButtonRecord::kHitTest};
    std::vector<FlashButtonRecord> records;
    records.reserve(4);
    FlashTagDefineButton2 button(false);
    for (int i = 0; i < 4; ++i) {
        records.emplace_back(uint16_t(ids[i]), uint16_t(ids[i]), states[i], matrix, none);
        button.AddRecord(&records.back());
    }

    std::vector<std::unique_ptr<FlashAction>> actions;
    switch (actionKind) {
        case 0: actions.push_back(std::make_unique<FlashActionGetURL>(Text(url), Text(target))); break;
        case 1:
            actions.push_back(std::make_unique<FlashActionGotoFrame>(uint16_t(frame)));
            actions.push_back(std::make_unique<FlashActionPlay>());
            break;
        case 2: actions.push_back(std::make_unique<FlashActionStop>()); break;
        case 3: actions.push_back(std::make_unique<FlashActionPlay>()); break;
        case 4: actions.push_back(std::make_unique<FlashActionNextFrame>()); break;
        case 5: actions.push_back(std::make_unique<FlashActionPreviousFrame>()); break;
        case 6: actions.push_back(std::make_unique<FlashActionStopSounds>()); break;
        case 7: actions.push_back(std::make_unique<FlashActionToggleQuality>()); break;
        default: break;
    }
    if (!actions.empty()) {
        std::vector<FlashAction*> list;
        for (auto& a : actions) list.push_back(a.get());
        button.AddCondAction(list, 4);
    }
    button.Write(movieTagStream);
    DepthUsed(button.GetId()) = 0;
    return button.GetId();
}

int MakeSound(const char* mp3FileName) {
    auto track = std::make_unique<FlashMp3Sound>(Text(mp3FileName), movieFrameRate);
    if (!track->HasDeclarableRate()) return -1;
    soundTrack = std::move(track);
    soundTrack->WriteStreamHead(movieTagStream);
    return 0;
}

int MakeSoundClip(const char* mp3FileName) {
    if (CharacterIdsExhausted()) return 0;
    FlashMp3Sound clip(Text(mp3FileName), movieFrameRate);
    if (!clip.HasDeclarableRate()) return 0;
    return clip.WriteDefineSound(movieTagStream);
}

void PlaySound(int soundId) { FlashTagStartSound(uint16_t(soundId), FlashSoundInfo(0x10)).Write(movieTagStream); }

void PlaySoundTrack() { soundTrackOn = 1; }

}  // namespace reeltide
