#include "app/sound.h"

#include <canberra.h>

namespace kev::app {
namespace {

// All our sounds share one id, so several channels in error in one cycle
// restart the warning instead of piling up copies of it.
constexpr uint32_t kSoundId = 1;
constexpr const char* kBellEvent = "bell";

}  // namespace

SoundPlayer::SoundPlayer() {
  if (ca_context_create(&context_) != CA_SUCCESS) {
    context_ = nullptr;
    return;
  }
  ca_context_change_props(context_, CA_PROP_APPLICATION_NAME, "Kevatra", CA_PROP_APPLICATION_ID,
                          "kevatra", nullptr);
}

SoundPlayer::~SoundPlayer() {
  if (context_ != nullptr) ca_context_destroy(context_);
}

void SoundPlayer::Play(const std::string& path) {
  if (context_ == nullptr) return;
  ca_context_cancel(context_, kSoundId);
  if (!path.empty() && ca_context_play(context_, kSoundId, CA_PROP_MEDIA_FILENAME, path.c_str(),
                                       nullptr) == CA_SUCCESS) {
    return;
  }
  ca_context_play(context_, kSoundId, CA_PROP_EVENT_ID, kBellEvent, nullptr);
}

}  // namespace kev::app
