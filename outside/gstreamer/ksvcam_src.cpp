#include "outside/gstreamer/ksvcam_src.h"

#include <gst/base/gstpushsrc.h>
#include <gst/video/colorbalance.h>
#include <gst/video/video.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "codec/frame_format.h"
#include "outside/gstreamer/button_watch.h"
#include "outside/gstreamer/machine_camera.h"
#include "outside/gstreamer/picture_controls.h"
#include "platform/kernel/performance_counter.h"
#include "platform/kernel/status_text.h"
#include "platform/usbcamd/ks_format.h"
#include "support/no_throw.h"

namespace gs = ksv::outside::gstreamer;
namespace usb = ksv::platform::usbcamd;

GST_DEBUG_CATEGORY_STATIC(ksvcamsrc_debug);
#define GST_CAT_DEFAULT ksvcamsrc_debug

namespace {

constexpr uint32_t kReadBuffers = 4;
constexpr uint32_t kButtonPollFrames = 15;  // about twice a second at 30 frames per second
constexpr int kNoValue = -1;

const char* const kTemplateCaps =
    "video/x-raw, format=(string){ I420, BGR }, width=(int)320, height=(int)240, "
    "framerate=(fraction)[ 6/1, 30/1 ]; "
    "video/x-raw, format=(string){ I420, BGR }, width=(int)160, height=(int)120, "
    "framerate=(fraction)[ 6/1, 30/1 ]";

// What the element holds beside its GObject part.
struct SourceState {
  std::mutex lock;  // camera and controls against the property setters
  std::string deviceName;
  std::array<int, gs::kPictureControls.size()> wanted{kNoValue, kNoValue, kNoValue, kNoValue};
  std::unique_ptr<gs::HostedCamera> camera;
  std::unique_ptr<gs::ButtonWatch> button;
  // The stream, set by set_caps; the streaming thread's from then on.
  GstVideoInfo info{};
  bool streaming = false;
  std::atomic<bool> reopen = false;  // a read was cancelled: the stream is opened again
  usb::KS_DATAFORMAT_VIDEOINFOHEADER format{};
  std::vector<uint8_t> bottomUp;  // a 24-bit frame as the driver returns it
  uint64_t frames = 0;
};

}  // namespace

struct KsvCamSrc {
  GstPushSrc parent;
  SourceState* state;
};

struct KsvCamSrcClass {
  GstPushSrcClass parent_class;
};

enum { PROP_0, PROP_DEVICE_NAME, PROP_CONTROL_FIRST };

static void ksv_cam_src_color_balance_init(GstColorBalanceInterface* iface);

// GObject's type macros cast as C does.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
G_DEFINE_TYPE_WITH_CODE(KsvCamSrc, ksv_cam_src, GST_TYPE_PUSH_SRC,
                        G_IMPLEMENT_INTERFACE(GST_TYPE_COLOR_BALANCE,
                                              ksv_cam_src_color_balance_init))
#pragma GCC diagnostic pop

namespace {

KsvCamSrc* Self(gpointer object) { return reinterpret_cast<KsvCamSrc*>(object); }

// ---- Controls

int ControlValue(KsvCamSrc* self, size_t control) {
  SourceState& s = *self->state;
  std::lock_guard guard(s.lock);
  if (s.camera) {
    if (const auto value = gs::ReadControl(s.camera->Stack(), control)) return *value;
  }
  return s.wanted[control];
}

void SetControlValue(KsvCamSrc* self, size_t control, int value) {
  SourceState& s = *self->state;
  bool changed = false;
  {
    std::lock_guard guard(s.lock);
    s.wanted[control] = value;
    if (s.camera && value != kNoValue) {
      changed = gs::WriteControl(s.camera->Stack(), control, value);
      if (!changed) {
        GST_WARNING_OBJECT(self, "the camera refused %s = %d", gs::kPictureControls[control].name,
                           value);
      }
    }
  }
  if (changed) {
    for (const GList* item = gst_color_balance_list_channels(GST_COLOR_BALANCE(self)); item != nullptr;
         item = item->next) {
      auto* channel = GST_COLOR_BALANCE_CHANNEL(item->data);
      if (g_str_equal(channel->label, gs::kPictureControls[control].label)) {
        gst_color_balance_value_changed(GST_COLOR_BALANCE(self), channel, value);
      }
    }
  }
}

GList* Channels() {
  static GList* channels = [] {
    GList* list = nullptr;
    for (const gs::PictureControl& control : gs::kPictureControls) {
      auto* channel = GST_COLOR_BALANCE_CHANNEL(g_object_new(GST_TYPE_COLOR_BALANCE_CHANNEL, nullptr));
      channel->label = g_strdup(control.label);
      channel->min_value = control.minimum;
      channel->max_value = control.maximum;
      list = g_list_append(list, channel);
    }
    return list;
  }();
  return channels;
}

ssize_t ChannelControl(GstColorBalanceChannel* channel) {
  for (size_t i = 0; i < gs::kPictureControls.size(); ++i) {
    if (g_str_equal(channel->label, gs::kPictureControls[i].label)) return static_cast<ssize_t>(i);
  }
  return -1;
}

// ---- Properties

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* spec) {
  KsvCamSrc* self = Self(object);
  if (id == PROP_DEVICE_NAME) {
    std::lock_guard guard(self->state->lock);
    const char* name = g_value_get_string(value);
    self->state->deviceName = name != nullptr ? name : "";
  } else if (id >= PROP_CONTROL_FIRST && id < PROP_CONTROL_FIRST + gs::kPictureControls.size()) {
    SetControlValue(self, id - PROP_CONTROL_FIRST, g_value_get_int(value));
  } else {
    G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
  }
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* spec) {
  KsvCamSrc* self = Self(object);
  if (id == PROP_DEVICE_NAME) {
    std::lock_guard guard(self->state->lock);
    g_value_set_string(value, self->state->deviceName.c_str());
  } else if (id >= PROP_CONTROL_FIRST && id < PROP_CONTROL_FIRST + gs::kPictureControls.size()) {
    g_value_set_int(value, ControlValue(self, id - PROP_CONTROL_FIRST));
  } else {
    G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
  }
}

// Posts "ksvcam-snapshot" for a press the driver published since the last look.
void WatchButton(KsvCamSrc* self, SourceState& s) {
  if (!s.button || s.frames % kButtonPollFrames != 0 || !s.button->NewPress()) return;
  gst_element_post_message(
      GST_ELEMENT(self),
      gst_message_new_element(GST_OBJECT(self),
                              gst_structure_new("ksvcam-snapshot", "frame", G_TYPE_UINT64,
                                                static_cast<guint64>(s.frames), nullptr)));
}

// ---- The camera's life

gboolean Start(GstBaseSrc* source) {
  KsvCamSrc* self = Self(source);
  SourceState& s = *self->state;
  std::lock_guard guard(s.lock);
  try {
    s.camera = gs::HostedCamera::Open(s.deviceName);
  } catch (const gs::CameraError& error) {
    switch (error.problem()) {
      case gs::CameraProblem::kMissing:
        GST_ELEMENT_ERROR(self, RESOURCE, NOT_FOUND, ("%s", error.what()), (nullptr));
        break;
      case gs::CameraProblem::kInUse:
        GST_ELEMENT_ERROR(self, RESOURCE, BUSY, ("%s", error.what()), (nullptr));
        break;
      case gs::CameraProblem::kFailed:
        GST_ELEMENT_ERROR(self, RESOURCE, OPEN_READ, ("%s", error.what()), (nullptr));
        break;
    }
    return FALSE;
  } catch (const std::exception& error) {
    GST_ELEMENT_ERROR(self, RESOURCE, OPEN_READ, ("the camera does not start: %s", error.what()),
                      (nullptr));
    return FALSE;
  }
  for (size_t i = 0; i < s.wanted.size(); ++i) {
    if (s.wanted[i] != kNoValue && !gs::WriteControl(s.camera->Stack(), i, s.wanted[i])) {
      GST_WARNING_OBJECT(self, "the camera refused %s = %d", gs::kPictureControls[i].name, s.wanted[i]);
    }
  }
  try {
    s.button = std::make_unique<gs::ButtonWatch>();
  } catch (const std::exception& error) {
    GST_WARNING_OBJECT(self, "no snapshot button messages: %s", error.what());
  }
  s.frames = 0;
  GST_INFO_OBJECT(self, "camera '%s' started", s.camera->DeviceName().c_str());
  for (const gs::CameraOutput& output : s.camera->Outputs()) {
    GST_DEBUG_OBJECT(self, "output %ux%u %s, intervals %" G_GINT64_FORMAT " to %" G_GINT64_FORMAT,
                     output.width, output.height, output.rgb ? "BGR" : "I420",
                     output.shortestInterval, output.longestInterval);
  }
  return TRUE;
}

gboolean Stop(GstBaseSrc* source) {
  SourceState& s = *Self(source)->state;
  std::lock_guard guard(s.lock);
  if (s.camera) {
    const auto counters = s.camera->Stack().Counters();
    GST_INFO_OBJECT(Self(source),
                    "%" G_GUINT64_FORMAT " frames pushed; the bus completed %" G_GUINT64_FORMAT
                    ", %" G_GUINT64_FORMAT " lost for want of a read buffer",
                    s.frames, counters.framesCompleted, counters.framesWithoutReader);
    s.camera->Stack().CloseStream();
  }
  s.camera.reset();
  s.button.reset();
  s.streaming = false;
  return TRUE;
}

GstCaps* CapsOf(const std::vector<gs::CameraOutput>& outputs) {
  GstCaps* caps = gst_caps_new_empty();
  for (const gs::CameraOutput& output : outputs) {
    // Frame rates the range allows, within what the source offers; the
    // driver's intervals are whole 100-ns units (1666666 for 6 a second).
    const double fastestRate = 1e7 / static_cast<double>(std::max<int64_t>(output.shortestInterval, 1));
    const double slowestRate = 1e7 / static_cast<double>(std::max<int64_t>(output.longestInterval, 1));
    const int fastest = std::min(30, static_cast<int>(std::floor(fastestRate + 0.01)));
    const int slowest = std::max(6, static_cast<int>(std::ceil(slowestRate - 0.01)));
    if (slowest > fastest) continue;
    gst_caps_append_structure(
        caps, gst_structure_new("video/x-raw", "format", G_TYPE_STRING, output.rgb ? "BGR" : "I420",
                                "width", G_TYPE_INT, static_cast<int>(output.width), "height",
                                G_TYPE_INT, static_cast<int>(output.height), "framerate",
                                GST_TYPE_FRACTION_RANGE, slowest, 1, fastest, 1, nullptr));
  }
  return caps;
}

GstCaps* GetCaps(GstBaseSrc* source, GstCaps* filter) {
  SourceState& s = *Self(source)->state;
  GstCaps* caps = nullptr;
  {
    std::lock_guard guard(s.lock);
    caps = s.camera ? CapsOf(s.camera->Outputs())
                    : gst_pad_get_pad_template_caps(GST_BASE_SRC_PAD(source));
  }
  if (filter != nullptr) {
    GstCaps* both = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
    gst_caps_unref(caps);
    caps = both;
  }
  return caps;
}

GstCaps* Fixate(GstBaseSrc* source, GstCaps* caps) {
  caps = gst_caps_make_writable(caps);
  caps = gst_caps_truncate(caps);
  GstStructure* structure = gst_caps_get_structure(caps, 0);
  gst_structure_fixate_field_nearest_int(structure, "width", 320);
  gst_structure_fixate_field_nearest_int(structure, "height", 240);
  gst_structure_fixate_field_nearest_fraction(structure, "framerate", 30, 1);
  gst_structure_fixate_field_string(structure, "format", "I420");
  return GST_BASE_SRC_CLASS(ksv_cam_src_parent_class)->fixate(source, caps);
}

// Opens the stream in the format of s.info; false with an error posted.
bool OpenStream(KsvCamSrc* self, SourceState& s) {
  const ksv::platform::kernel::NTSTATUS status = s.camera->Stack().OpenStream(s.format, kReadBuffers);
  if (ksv::platform::kernel::NT_SUCCESS(status)) return true;
  if (status == ksv::platform::kernel::STATUS_INSUFFICIENT_RESOURCES) {
    GST_ELEMENT_ERROR(self, RESOURCE, OPEN_READ,
                      ("the USB bus refused the bandwidth the camera's stream needs"),
                      ("opening the stream: %s", ksv::platform::kernel::StatusText(status).c_str()));
  } else {
    GST_ELEMENT_ERROR(self, RESOURCE, OPEN_READ, ("the camera's stream does not open"),
                      ("%s", ksv::platform::kernel::StatusText(status).c_str()));
  }
  return false;
}

gboolean SetCaps(GstBaseSrc* source, GstCaps* caps) {
  KsvCamSrc* self = Self(source);
  SourceState& s = *self->state;
  GstVideoInfo info;
  if (!gst_video_info_from_caps(&info, caps) || GST_VIDEO_INFO_FPS_N(&info) <= 0) return FALSE;
  std::lock_guard guard(s.lock);
  if (!s.camera) return FALSE;
  const bool rgb = GST_VIDEO_INFO_FORMAT(&info) == GST_VIDEO_FORMAT_BGR;
  const int64_t interval = gst_util_uint64_scale_int_round(10'000'000, GST_VIDEO_INFO_FPS_D(&info),
                                                           GST_VIDEO_INFO_FPS_N(&info));
  if (s.streaming) s.camera->Stack().CloseStream();
  s.streaming = false;
  s.info = info;
  s.format = usb::MakeVideoFormat(GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info),
                                  rgb ? 24 : 12, rgb ? ksv::codec::kCompressionRgb
                                                     : ksv::codec::kCompressionI420,
                                  interval);
  s.bottomUp.assign(rgb ? s.format.DataFormat.SampleSize : 0, 0);
  if (!OpenStream(self, s)) return FALSE;
  s.streaming = true;
  s.reopen = false;
  GST_INFO_OBJECT(self, "streaming %" GST_PTR_FORMAT, static_cast<void*>(caps));
  // The latency follows the frame rate: the pipeline asks again.
  gst_element_post_message(GST_ELEMENT(self), gst_message_new_latency(GST_OBJECT(self)));
  return TRUE;
}

// The camera offers nothing the pipeline takes: say what it offers.
gboolean Negotiate(GstBaseSrc* source) {
  if (GST_BASE_SRC_CLASS(ksv_cam_src_parent_class)->negotiate(source)) return TRUE;
  GstCaps* offered = gst_pad_query_caps(GST_BASE_SRC_PAD(source), nullptr);
  GstCaps* wanted = gst_pad_peer_query_caps(GST_BASE_SRC_PAD(source), nullptr);
  gchar* offeredText = gst_caps_to_string(offered);
  gchar* wantedText = gst_caps_to_string(wanted);
  GST_ELEMENT_ERROR(source, STREAM, FORMAT,
                    ("the camera offers no format the pipeline accepts: it sends I420 or BGR at "
                     "320x240 or 160x120, 6 to 30 frames per second"),
                    ("the camera offers %s; downstream accepts %s", offeredText, wantedText));
  g_free(offeredText);
  g_free(wantedText);
  gst_caps_unref(offered);
  gst_caps_unref(wanted);
  return FALSE;
}

gboolean DecideAllocation(GstBaseSrc* source, GstQuery* query) {
  SourceState& s = *Self(source)->state;
  GstCaps* caps = nullptr;
  gst_query_parse_allocation(query, &caps, nullptr);
  const guint size = static_cast<guint>(GST_VIDEO_INFO_SIZE(&s.info));
  GstBufferPool* pool = nullptr;
  guint minimum = kReadBuffers;
  guint maximum = 0;
  const bool offered = gst_query_get_n_allocation_pools(query) > 0;
  if (offered) {
    guint offeredSize = 0;
    gst_query_parse_nth_allocation_pool(query, 0, &pool, &offeredSize, &minimum, &maximum);
    if (pool != nullptr && offeredSize < size) gst_clear_object(&pool);
    minimum = std::max(minimum, kReadBuffers);
  }
  if (pool == nullptr) pool = gst_video_buffer_pool_new();
  GstStructure* config = gst_buffer_pool_get_config(pool);
  gst_buffer_pool_config_set_params(config, caps, size, minimum, maximum);
  if (!gst_buffer_pool_set_config(pool, config)) {
    // A downstream pool that will not take the source's frames: its own.
    gst_object_unref(pool);
    pool = gst_video_buffer_pool_new();
    config = gst_buffer_pool_get_config(pool);
    gst_buffer_pool_config_set_params(config, caps, size, minimum, maximum);
    gst_buffer_pool_set_config(pool, config);
  }
  if (offered) {
    gst_query_set_nth_allocation_pool(query, 0, pool, size, minimum, maximum);
  } else {
    gst_query_add_allocation_pool(query, pool, size, minimum, maximum);
  }
  gst_object_unref(pool);
  return GST_BASE_SRC_CLASS(ksv_cam_src_parent_class)->decide_allocation(source, query);
}

gboolean Query(GstBaseSrc* source, GstQuery* query) {
  SourceState& s = *Self(source)->state;
  if (GST_QUERY_TYPE(query) == GST_QUERY_LATENCY) {
    if (!s.streaming || GST_VIDEO_INFO_FPS_N(&s.info) <= 0) return FALSE;
    // A frame reaches the pipeline once the bus has completed it: one frame
    // late at least; the driver holds up to all its read buffers.
    const GstClockTime frame = gst_util_uint64_scale_int(GST_SECOND, GST_VIDEO_INFO_FPS_D(&s.info),
                                                         GST_VIDEO_INFO_FPS_N(&s.info));
    gst_query_set_latency(query, TRUE, frame, frame * kReadBuffers);
    return TRUE;
  }
  return GST_BASE_SRC_CLASS(ksv_cam_src_parent_class)->query(source, query);
}

gboolean Unlock(GstBaseSrc* source) {
  SourceState& s = *Self(source)->state;
  std::lock_guard guard(s.lock);
  if (s.camera) s.camera->Stack().CancelRead();
  s.reopen = true;
  return TRUE;
}

// The pipeline clock's time of the counter reading `completed` (100 ns).
GstClockTime StampOf(KsvCamSrc* self, int64_t completed) {
  GstClock* clock = gst_element_get_clock(GST_ELEMENT(self));
  if (clock == nullptr) return GST_CLOCK_TIME_NONE;
  const GstClockTime now = gst_clock_get_time(clock);
  const int64_t age = std::max<int64_t>(0, ksv::platform::kernel::PerformanceCounterNow100ns() - completed) * 100;
  gst_object_unref(clock);
  const GstClockTime base = gst_element_get_base_time(GST_ELEMENT(self));
  const GstClockTime taken = now > static_cast<GstClockTime>(age) ? now - static_cast<GstClockTime>(age) : 0;
  return taken > base ? taken - base : 0;
}

GstFlowReturn Fill(GstPushSrc* source, GstBuffer* buffer) {
  KsvCamSrc* self = Self(source);
  SourceState& s = *self->state;
  if (s.reopen) {
    std::lock_guard guard(s.lock);
    s.camera->Stack().CloseStream();
    s.streaming = false;
    if (!OpenStream(self, s)) return GST_FLOW_ERROR;
    s.streaming = true;
    s.reopen = false;
  }
  GstVideoFrame frame;
  if (!gst_video_frame_map(&frame, &s.info, buffer, GST_MAP_WRITE)) return GST_FLOW_ERROR;
  const bool rgb = !s.bottomUp.empty();
  int64_t completed = 0;
  std::optional<uint32_t> bytes;
  if (rgb) {
    bytes = s.camera->Stack().ReadFrame(s.bottomUp, &completed);
  } else {
    // The driver's I420 planes are those of GstVideoInfo: read in place.
    bytes = s.camera->Stack().ReadFrame(
        std::span(static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                  GST_VIDEO_INFO_SIZE(&s.info)),
        &completed);
  }
  if (!bytes) {
    gst_video_frame_unmap(&frame);
    return GST_FLOW_FLUSHING;
  }
  if (rgb) {
    // The driver's 24-bit frames are bottom-up; GStreamer's are top-down.
    const uint32_t height = GST_VIDEO_INFO_HEIGHT(&s.info);
    const size_t row = s.bottomUp.size() / height;
    const auto stride = static_cast<size_t>(GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0));
    auto* out = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    for (uint32_t y = 0; y < height; ++y) {
      std::memcpy(out + y * stride, s.bottomUp.data() + (height - 1 - y) * row, std::min(row, stride));
    }
  }
  gst_video_frame_unmap(&frame);
  ++s.frames;
  GST_BUFFER_PTS(buffer) = StampOf(self, completed);
  GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
  GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale_int(
      GST_SECOND, GST_VIDEO_INFO_FPS_D(&s.info), GST_VIDEO_INFO_FPS_N(&s.info));
  GST_BUFFER_OFFSET(buffer) = s.frames - 1;
  GST_BUFFER_OFFSET_END(buffer) = s.frames;
  WatchButton(self, s);
  return GST_FLOW_OK;
}

void Finalize(GObject* object) {
  delete Self(object)->state;
  G_OBJECT_CLASS(ksv_cam_src_parent_class)->finalize(object);
}

// ---- GstColorBalance

const GList* ListChannels(GstColorBalance*) { return Channels(); }

void SetBalance(GstColorBalance* balance, GstColorBalanceChannel* channel, gint value) {
  const ssize_t control = ChannelControl(channel);
  if (control >= 0) SetControlValue(Self(balance), static_cast<size_t>(control), value);
}

gint GetBalance(GstColorBalance* balance, GstColorBalanceChannel* channel) {
  const ssize_t control = ChannelControl(channel);
  return control < 0 ? 0 : ControlValue(Self(balance), static_cast<size_t>(control));
}

GstColorBalanceType BalanceType(GstColorBalance*) { return GST_COLOR_BALANCE_HARDWARE; }

}  // namespace

static void ksv_cam_src_color_balance_init(GstColorBalanceInterface* iface) {
  iface->list_channels = ListChannels;
  iface->set_value = SetBalance;
  iface->get_value = GetBalance;
  iface->get_balance_type = BalanceType;
}

static void ksv_cam_src_class_init(KsvCamSrcClass* klass) {
  GObjectClass* object = G_OBJECT_CLASS(klass);
  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  GstBaseSrcClass* base = GST_BASE_SRC_CLASS(klass);
  GstPushSrcClass* push = GST_PUSH_SRC_CLASS(klass);

  object->set_property = SetProperty;
  object->get_property = GetProperty;
  object->finalize = Finalize;
  g_object_class_install_property(
      object, PROP_DEVICE_NAME,
      g_param_spec_string("device-name", "Device name",
                          "The camera to stream from, by its device name (see "
                          "gst-device-monitor-1.0 Video/Source); empty: the first camera",
                          "", static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
  for (size_t i = 0; i < gs::kPictureControls.size(); ++i) {
    const gs::PictureControl& control = gs::kPictureControls[i];
    g_object_class_install_property(
        object, static_cast<guint>(PROP_CONTROL_FIRST + i),
        g_param_spec_int(control.name, control.name,
                         "The camera's picture control, applied live and kept for later runs "
                         "(as ksvcam controls keeps it); -1 leaves the value the camera keeps",
                         kNoValue, control.maximum, kNoValue,
                         static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS |
                                                  GST_PARAM_MUTABLE_PLAYING)));
  }

  gst_element_class_set_static_metadata(element, "KSV camera source", "Source/Video/Hardware",
                                        "Live video from the RMC900 USB camera through its driver",
                                        "KSV camera software");
  gst_element_class_add_pad_template(
      element, gst_pad_template_new("src", GST_PAD_SRC, GST_PAD_ALWAYS,
                                    gst_caps_from_string(kTemplateCaps)));

  // Nothing thrown (out of memory above all) crosses into GStreamer: a
  // call that throws fails.
  using ksv::support::NoThrow;
  base->start = [](GstBaseSrc* s) { return NoThrow<gboolean>(FALSE, [&] { return Start(s); }); };
  base->stop = [](GstBaseSrc* s) { return NoThrow<gboolean>(FALSE, [&] { return Stop(s); }); };
  base->get_caps = [](GstBaseSrc* s, GstCaps* filter) {
    return NoThrow<GstCaps*>(nullptr, [&] { return GetCaps(s, filter); });
  };
  base->fixate = Fixate;
  base->set_caps = [](GstBaseSrc* s, GstCaps* caps) {
    return NoThrow<gboolean>(FALSE, [&] { return SetCaps(s, caps); });
  };
  base->negotiate = Negotiate;
  base->decide_allocation = DecideAllocation;
  base->query = [](GstBaseSrc* s, GstQuery* q) {
    return NoThrow<gboolean>(FALSE, [&] { return Query(s, q); });
  };
  base->unlock = [](GstBaseSrc* s) { return NoThrow<gboolean>(FALSE, [&] { return Unlock(s); }); };
  push->fill = [](GstPushSrc* s, GstBuffer* b) {
    return NoThrow<GstFlowReturn>(GST_FLOW_ERROR, [&] { return Fill(s, b); });
  };

  GST_DEBUG_CATEGORY_INIT(ksvcamsrc_debug, "ksvcamsrc", 0, "KSV camera source");
}

static void ksv_cam_src_init(KsvCamSrc* self) {
  self->state = new SourceState;
  gst_base_src_set_live(GST_BASE_SRC(self), TRUE);
  gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
}
