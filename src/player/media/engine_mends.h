#pragma once

// Known faults of the engine's elements, mended where the pipeline is built
// (each seen with GStreamer 1.22):
// - wavparse times mono IMA and MS ADPCM data at about twice its real byte
//   rate, so the decoded sound is cut off after half its length and its
//   duration is half the real one. A probe on wavparse's output scales every
//   time that passes it by the real block duration over the one wavparse
//   claims (buffers, segments and duration answers downstream, seeks
//   upstream), and only when the two differ: a fixed wavparse is left alone.
// - mpegpsdemux reports positions offset by the stream's first time stamp;
//   the graph subtracts the position found once the file is ready. Its
//   duration runs short of the last frame, so the graph takes the end of the
//   last frame the parsers after it let through (every frame of the file,
//   before any is dropped for being late), not the pipeline's position,
//   which on a busy machine may run past the end.
// Top-down raw RGB in AVI negotiates only with playbin's native-video flag,
// which every video graph sets.

#include <atomic>
#include <cstdint>
#include <memory>

typedef struct _GstElement GstElement;

namespace morvane {

struct EngineMends {
  std::atomic<bool> program_stream{false};  // an MPEG program stream is demuxed
  std::atomic<bool> adpcm_rescaled{false};  // the ADPCM time scale is applied
  // The latest end of a frame out of a parser, in stream time; -1 before one.
  std::atomic<int64_t> parsed_end_ns{-1};
};

// Watches the elements the playbin builds and mends what needs it.
void WatchForEngineFaults(GstElement* playbin, const std::shared_ptr<EngineMends>& mends);

// The real duration of one block over the one wavparse claims, from the
// block's caps fields; 1 for anything else than mono IMA or MS ADPCM.
double AdpcmTimeScale(bool ima, int channels, int rate, int block_align, double claimed_block_ns);

}  // namespace morvane
