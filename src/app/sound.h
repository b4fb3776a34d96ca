// Warning sounds through the desktop's sound service.
#pragma once

#include <string>

struct ca_context;

namespace kev::app {

// Holds one sound context for the program's life: closing it would cut off
// a sound still playing.
class SoundPlayer {
 public:
  SoundPlayer();
  ~SoundPlayer();
  SoundPlayer(const SoundPlayer&) = delete;
  SoundPlayer& operator=(const SoundPlayer&) = delete;

  // Starts the file, or the theme's bell when the path is empty or the file
  // cannot be played, and returns at once. A new sound replaces the last.
  void Play(const std::string& path);

 private:
  ca_context* context_ = nullptr;
};

}  // namespace kev::app
