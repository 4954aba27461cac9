#pragma once

// The rows of sounds and videos in the object-class table, registered before
// the first page is built. Registering starts nothing of the media engine.

namespace morvane {

void RegisterMediaClasses();

}  // namespace morvane
