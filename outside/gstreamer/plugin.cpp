// The plug-in's entry: registers ksvcamsrc and the camera provider.
#include <gst/gst.h>

#include "outside/gstreamer/device_provider.h"
#include "outside/gstreamer/ksvcam_src.h"

#define PACKAGE "ksvcam"
#define VERSION "0.1.0"

static gboolean PluginInit(GstPlugin* plugin) {
  return gst_element_register(plugin, "ksvcamsrc", GST_RANK_NONE, ksv_cam_src_get_type()) &&
         gst_device_provider_register(plugin, "ksvcamdeviceprovider", GST_RANK_PRIMARY,
                                      ksv_cam_device_provider_get_type());
}

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, ksvcam,
                  "The KSV camera's live video source and device provider", PluginInit, VERSION,
                  "Proprietary", "ksv", "the KSV camera software")
