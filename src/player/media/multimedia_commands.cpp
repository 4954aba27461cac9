#include "player/media/multimedia_commands.h"

#include "player/media/media_host.h"
#include "player/player.h"
#include "util/ascii_case.h"
#include "util/int_text.h"

#include <QEventLoop>

namespace morvane {
namespace {

// The platform's texts for the errors these commands can meet.
constexpr const char* kUnknownCommand = "The driver cannot recognize the specified command.";
constexpr const char* kUnknownDevice =
    "The specified device is not open or is not recognized by MCI.";
constexpr const char* kMissingParameter =
    "The specified command requires a parameter. Please supply one.";
constexpr const char* kBadParameter =
    "The driver cannot recognize the specified command parameter.";
constexpr const char* kAliasTaken =
    "The specified alias is already being used in this application. Use a unique alias.";
constexpr const char* kFileNotFound =
    "Cannot find the specified file. Make sure the path and filename are correct.";
constexpr const char* kCannotPlay =
    "The specified file cannot be played on the specified MCI device. The file may be corrupt, "
    "not in the correct format, or no file handler available for this format.";

std::optional<int64_t> Number(const std::string& word) {
  std::optional<int32_t> n = ParseInt32(word);
  if (!n || *n < 0) return std::nullopt;
  return *n;
}

}  // namespace

std::vector<std::string> CommandWords(std::string_view command) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < command.size()) {
    while (i < command.size() && (command[i] == ' ' || command[i] == '\t')) ++i;
    if (i >= command.size()) break;
    std::string word;
    if (command[i] == '"') {
      size_t end = command.find('"', i + 1);
      if (end == std::string_view::npos) end = command.size();
      word = std::string(command.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      size_t end = i;
      while (end < command.size() && command[end] != ' ' && command[end] != '\t') ++end;
      word = std::string(command.substr(i, end - i));
      i = end;
    }
    words.push_back(std::move(word));
  }
  return words;
}

MultimediaDevices::MultimediaDevices(MediaHost& host, Player& player)
    : m_host(host), m_player(player) {}

MultimediaDevices::~MultimediaDevices() = default;

MultimediaDevices::Device* MultimediaDevices::Find(const std::string& name) {
  auto it = m_devices.find(AsciiLower(name));
  return it == m_devices.end() ? nullptr : &it->second;
}

void MultimediaDevices::CloseAll() {
  m_devices.clear();
}

std::string MultimediaDevices::Send(std::string_view command) {
  const std::vector<std::string> words = CommandWords(command);
  if (words.empty()) return kUnknownCommand;
  const std::string verb = AsciiLower(words[0]);
  auto word = [&](size_t i) { return i < words.size() ? AsciiLower(words[i]) : std::string(); };

  if (verb == "open") {
    if (words.size() < 2) return kMissingParameter;
    std::string file = words[1];
    std::string alias = file;
    std::string type;
    for (size_t i = 2; i < words.size(); ++i) {
      const std::string w = word(i);
      if (w == "type" && i + 1 < words.size()) {
        type = word(++i);
      } else if (w == "alias" && i + 1 < words.size()) {
        alias = words[++i];
      } else if (w != "wait" && w != "shareable" && w != "notify") {
        return kBadParameter;
      }
    }
    // A device without a file (the CD player) is not one this player has.
    if (AsciiLower(file) == "cdaudio" || type == "cdaudio") return kUnknownDevice;
    if (!type.empty() && type != "waveaudio" && type != "sequencer" && type != "mpegvideo" &&
        type != "avivideo")
      return kUnknownDevice;
    if (Find(alias)) return kAliasTaken;
    Device device;
    device.graph = std::make_unique<MediaGraph>(MediaKind::kSound);
    std::string host;
    try {
      host = m_host.HostFile(file);
    } catch (const MediaError&) {
      return kFileNotFound;
    }
    try {
      device.graph->Render(host);
    } catch (const MediaError& e) {
      return std::string(e.what()).find("cannot find") != std::string::npos ? kFileNotFound
                                                                            : kCannotPlay;
    }
    Device& open = m_devices[AsciiLower(alias)] = std::move(device);
    MediaGraph* graph = open.graph.get();
    Device* self = &open;
    graph->on_complete = [graph, self] {
      if (!self->repeat) return;
      graph->SetPositionMs(self->from_ms);
      graph->Play();
    };
    return {};
  }
  if (verb == "close") {
    if (words.size() < 2) return kMissingParameter;
    if (word(1) == "all") {
      CloseAll();
      return {};
    }
    if (!m_devices.erase(AsciiLower(words[1]))) return kUnknownDevice;
    return {};
  }
  if (verb != "play" && verb != "pause" && verb != "resume" && verb != "stop" && verb != "seek" &&
      verb != "set" && verb != "setaudio")
    return kUnknownCommand;
  if (words.size() < 2) return kMissingParameter;
  Device* device = Find(words[1]);
  if (!device) return kUnknownDevice;
  MediaGraph& graph = *device->graph;

  if (verb == "play") {
    std::optional<int64_t> from, to;
    bool wait = false;
    device->repeat = false;
    for (size_t i = 2; i < words.size(); ++i) {
      const std::string w = word(i);
      if ((w == "from" || w == "to") && i + 1 < words.size()) {
        std::optional<int64_t> n = Number(words[++i]);
        if (!n) return kBadParameter;
        (w == "from" ? from : to) = n;
      } else if (w == "repeat") {
        device->repeat = true;
      } else if (w == "wait") {
        wait = true;
      } else if (w != "notify") {
        return kBadParameter;
      }
    }
    device->from_ms = from.value_or(0);
    if (from || to) graph.SetSegmentMs(from.value_or(-1), to.value_or(-1));
    graph.Play();
    if (wait && !device->repeat) {
      // The command returns when the file has played; other events go on.
      QEventLoop loop;
      auto done = graph.on_complete;
      graph.on_complete = [&loop] { loop.quit(); };
      graph.on_error = [&loop](const std::string&) { loop.quit(); };
      loop.exec();
      graph.on_complete = done;
      graph.on_error = nullptr;
    }
    return {};
  }
  if (verb == "pause") {
    graph.Pause();
  } else if (verb == "resume") {
    graph.Play();
  } else if (verb == "stop") {
    graph.Pause();
  } else if (verb == "seek") {
    if (word(2) != "to" || words.size() < 4) return kMissingParameter;
    const std::string where = word(3);
    if (where == "start") {
      graph.SetPositionMs(0);
    } else if (where == "end") {
      graph.SetPositionMs(graph.DurationMs().value_or(0));
    } else if (std::optional<int64_t> n = Number(where)) {
      graph.SetPositionMs(*n);
    } else {
      return kBadParameter;
    }
    graph.Pause();
  } else if (verb == "set") {
    if (word(2) != "time" || word(3) != "format") return kBadParameter;
    if (word(4) != "milliseconds" && word(4) != "ms") return kBadParameter;
  } else {
    // setaudio NAME volume to N, on a scale of 0 to 1000.
    if (word(2) != "volume" || word(3) != "to" || words.size() < 5) return kBadParameter;
    std::optional<int64_t> n = Number(words[4]);
    if (!n) return kBadParameter;
    graph.SetVolume(*n * 10);
  }
  return {};
}

}  // namespace morvane
