#pragma once

// Multimedia command strings (action 39): the part of the command language
// old projects use, on the same graphs as sounds:
//   open FILE [type waveaudio|sequencer|mpegvideo|avivideo] [alias NAME]
//   play NAME [from N] [to N] [repeat] [wait]     pause NAME    resume NAME
//   stop NAME    seek NAME to start|end|N    close NAME|all
//   set NAME time format milliseconds    setaudio NAME volume to N (0 to 1000)
// Devices play sound only; video streams of a file opened here are not shown.
// Anything else (cdaudio, status queries, other commands) is answered with
// the error text the platform gives.

#include "player/media/media_graph.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

class MediaHost;
class Player;

// Splits a command string into words; double quotes keep spaces in a word.
std::vector<std::string> CommandWords(std::string_view command);

class MultimediaDevices {
 public:
  MultimediaDevices(MediaHost& host, Player& player);
  ~MultimediaDevices();

  // Runs one command string; the error text, or empty on success.
  std::string Send(std::string_view command);
  void CloseAll();

 private:
  struct Device {
    std::unique_ptr<MediaGraph> graph;
    bool repeat = false;
    int64_t from_ms = 0;
  };
  Device* Find(const std::string& name);

  MediaHost& m_host;
  Player& m_player;
  std::map<std::string, Device> m_devices;  // lower-case names
};

}  // namespace morvane
