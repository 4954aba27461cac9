#include "player/media/engine_mends.h"

#include <gst/gst.h>

#include <cmath>
#include <cstring>

namespace morvane {
namespace {

struct Scale {
  std::shared_ptr<EngineMends> mends;
  std::atomic<double> factor{1.0};
};

GstClockTime Scaled(GstClockTime t, double factor) {
  if (!GST_CLOCK_TIME_IS_VALID(t)) return t;
  return GstClockTime(std::llround(double(t) * factor));
}

void DecideScale(GstPad* pad, GstCaps* caps, Scale& scale) {
  scale.factor = 1.0;
  const GstStructure* s = gst_caps_get_structure(caps, 0);
  if (!s || !gst_structure_has_name(s, "audio/x-adpcm")) return;
  const gchar* layout = gst_structure_get_string(s, "layout");
  int channels = 0, rate = 0, block_align = 0;
  if (!layout || !gst_structure_get_int(s, "channels", &channels) ||
      !gst_structure_get_int(s, "rate", &rate) ||
      !gst_structure_get_int(s, "block_align", &block_align))
    return;
  const bool ima = std::strcmp(layout, "dvi") == 0;
  if (!ima && std::strcmp(layout, "microsoft") != 0) return;
  gint64 claimed = 0;
  if (!gst_pad_query_convert(pad, GST_FORMAT_BYTES, block_align, GST_FORMAT_TIME, &claimed)) return;
  const double f = AdpcmTimeScale(ima, channels, rate, block_align, double(claimed));
  scale.factor = f;
  if (f != 1.0) scale.mends->adpcm_rescaled = true;
}

GstPadProbeReturn OnWavOutput(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
  auto& scale = *static_cast<Scale*>(data);
  if (info->type & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
      GstCaps* caps = nullptr;
      gst_event_parse_caps(event, &caps);
      if (caps) DecideScale(pad, caps, scale);
    } else if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT && scale.factor != 1.0) {
      const GstSegment* in = nullptr;
      gst_event_parse_segment(event, &in);
      if (in && in->format == GST_FORMAT_TIME) {
        GstSegment out = *in;
        const double f = scale.factor;
        out.start = Scaled(in->start, f);
        out.stop = Scaled(in->stop, f);
        out.time = Scaled(in->time, f);
        out.position = Scaled(in->position, f);
        out.duration = Scaled(in->duration, f);
        GstEvent* replaced = gst_event_new_segment(&out);
        gst_event_set_seqnum(replaced, gst_event_get_seqnum(event));
        gst_event_unref(event);
        GST_PAD_PROBE_INFO_DATA(info) = replaced;
      }
    }
  } else if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
    if (scale.factor == 1.0) return GST_PAD_PROBE_OK;
    GstBuffer* buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
    const double f = scale.factor;
    GST_BUFFER_PTS(buffer) = Scaled(GST_BUFFER_PTS(buffer), f);
    GST_BUFFER_DTS(buffer) = Scaled(GST_BUFFER_DTS(buffer), f);
    GST_BUFFER_DURATION(buffer) = Scaled(GST_BUFFER_DURATION(buffer), f);
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
  } else if (info->type & GST_PAD_PROBE_TYPE_EVENT_UPSTREAM) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_SEEK || scale.factor == 1.0) return GST_PAD_PROBE_OK;
    gdouble rate = 1.0;
    GstFormat format;
    GstSeekFlags flags;
    GstSeekType start_type, stop_type;
    gint64 start = 0, stop = 0;
    gst_event_parse_seek(event, &rate, &format, &flags, &start_type, &start, &stop_type, &stop);
    if (format != GST_FORMAT_TIME) return GST_PAD_PROBE_OK;
    const double f = 1.0 / scale.factor;
    GstEvent* replaced =
        gst_event_new_seek(rate, format, flags, start_type,
                           start_type == GST_SEEK_TYPE_NONE ? start : Scaled(start, f), stop_type,
                           stop_type == GST_SEEK_TYPE_NONE ? stop : Scaled(stop, f));
    gst_event_set_seqnum(replaced, gst_event_get_seqnum(event));
    gst_event_unref(event);
    GST_PAD_PROBE_INFO_DATA(info) = replaced;
  } else if ((info->type & GST_PAD_PROBE_TYPE_QUERY_UPSTREAM) &&
             (info->type & GST_PAD_PROBE_TYPE_PULL) && scale.factor != 1.0) {
    // The answer on its way back.
    GstQuery* query = GST_PAD_PROBE_INFO_QUERY(info);
    GstFormat format;
    gint64 value = 0;
    if (GST_QUERY_TYPE(query) == GST_QUERY_DURATION) {
      gst_query_parse_duration(query, &format, &value);
      if (format == GST_FORMAT_TIME && value > 0)
        gst_query_set_duration(query, format, gint64(Scaled(GstClockTime(value), scale.factor)));
    } else if (GST_QUERY_TYPE(query) == GST_QUERY_POSITION) {
      gst_query_parse_position(query, &format, &value);
      if (format == GST_FORMAT_TIME && value > 0)
        gst_query_set_position(query, format, gint64(Scaled(GstClockTime(value), scale.factor)));
    }
  }
  return GST_PAD_PROBE_OK;
}

void WatchWavOutput(GstPad* pad, const std::shared_ptr<EngineMends>& mends) {
  auto* scale = new Scale;
  scale->mends = mends;
  // wavparse may have set its caps before it added the pad.
  if (GstCaps* caps = gst_pad_get_current_caps(pad)) {
    DecideScale(pad, caps, *scale);
    gst_caps_unref(caps);
  }
  // The scale lives as long as the pad; the two probes share it.
  g_object_set_data_full(G_OBJECT(pad), "morvane-time-scale", scale,
                         [](gpointer p) { delete static_cast<Scale*>(p); });
  gst_pad_add_probe(
      pad,
      GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM |
                      GST_PAD_PROBE_TYPE_EVENT_UPSTREAM),
      OnWavOutput, scale, nullptr);
  // Answers to queries pass as pulls, after the element answered.
  gst_pad_add_probe(pad,
                    GstPadProbeType(GST_PAD_PROBE_TYPE_QUERY_UPSTREAM | GST_PAD_PROBE_TYPE_PULL),
                    OnWavOutput, scale, nullptr);
}

GstPadProbeReturn OnParsedFrame(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
  auto& mends = **static_cast<std::shared_ptr<EngineMends>*>(data);
  GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
  if (!buffer || !GST_BUFFER_PTS_IS_VALID(buffer)) return GST_PAD_PROBE_OK;
  GstEvent* event = gst_pad_get_sticky_event(pad, GST_EVENT_SEGMENT, 0);
  if (!event) return GST_PAD_PROBE_OK;
  const GstSegment* segment = nullptr;
  gst_event_parse_segment(event, &segment);
  if (segment && segment->format == GST_FORMAT_TIME) {
    GstClockTime end = GST_BUFFER_PTS(buffer);
    if (GST_BUFFER_DURATION_IS_VALID(buffer)) end += GST_BUFFER_DURATION(buffer);
    const guint64 stream = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, end);
    if (GST_CLOCK_TIME_IS_VALID(stream)) {
      int64_t seen = mends.parsed_end_ns.load();
      while (int64_t(stream) > seen && !mends.parsed_end_ns.compare_exchange_weak(seen, stream)) {
      }
    }
  }
  gst_event_unref(event);
  return GST_PAD_PROBE_OK;
}

void DeleteMendsRef(gpointer data) {
  delete static_cast<std::shared_ptr<EngineMends>*>(data);
}

void DeleteMends(gpointer data, GClosure*) {
  delete static_cast<std::shared_ptr<EngineMends>*>(data);
}

void OnElementAdded(GstBin*, GstBin*, GstElement* element, gpointer data) {
  GstElementFactory* factory = gst_element_get_factory(element);
  if (!factory) return;
  const gchar* name = gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory));
  auto* mends = static_cast<std::shared_ptr<EngineMends>*>(data);
  if (std::strcmp(name, "wavparse") == 0) {
    // Its output pad is there from the start.
    if (GstPad* pad = gst_element_get_static_pad(element, "src")) {
      WatchWavOutput(pad, *mends);
      gst_object_unref(pad);
    }
  } else if (std::strcmp(name, "mpegpsdemux") == 0) {
    (*mends)->program_stream = true;
  } else if (const gchar* klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
             klass && std::strstr(klass, "Parser")) {
    if (GstPad* pad = gst_element_get_static_pad(element, "src")) {
      gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, OnParsedFrame,
                        new std::shared_ptr<EngineMends>(*mends), DeleteMendsRef);
      gst_object_unref(pad);
    }
  }
}

}  // namespace

double AdpcmTimeScale(bool ima, int channels, int rate, int block_align, double claimed_block_ns) {
  if (channels != 1 || rate <= 0 || claimed_block_ns <= 0) return 1.0;
  const int header = ima ? 4 : 7;
  if (block_align <= header) return 1.0;
  // Samples in one block: the header's sample(s) and two per data byte.
  const double samples = double(block_align - header) * 2 + (ima ? 1 : 2);
  const double real_ns = samples * 1e9 / rate;
  const double f = real_ns / claimed_block_ns;
  return std::fabs(f - 1.0) < 0.01 ? 1.0 : f;
}

void WatchForEngineFaults(GstElement* playbin, const std::shared_ptr<EngineMends>& mends) {
  g_signal_connect_data(playbin, "deep-element-added", G_CALLBACK(OnElementAdded),
                        new std::shared_ptr<EngineMends>(mends), DeleteMends, GConnectFlags(0));
}

}  // namespace morvane
