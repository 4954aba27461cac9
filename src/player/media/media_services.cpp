#include "player/media/media_services.h"

#include "player/automation/options.h"
#include "player/media/media_engine.h"
#include "player/media/media_host.h"
#include "player/media/media_rows.h"
#include "player/media/multimedia_commands.h"
#include "player/media/system_sounds.h"
#include "player/player.h"

namespace morvane {

void SetUpMedia(Player& player) {
  RegisterMediaClasses();
  const std::string& audio = player.options().audio;
  const bool silent = audio == "none" || (audio.empty() && player.headless());
  SetAudioOutput(silent ? AudioOutput::kSilent : AudioOutput::kDesktop);
  player.AddTerminateHook([] { StopSystemSounds(); });
}

std::string SendMultimediaCommand(Player& player, std::string_view command) {
  return MediaHost::For(player).devices().Send(command);
}

}  // namespace morvane
