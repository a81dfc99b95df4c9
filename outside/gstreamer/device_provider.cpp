#include "outside/gstreamer/device_provider.h"

#include <exception>
#include <string>

#include "outside/gstreamer/machine_camera.h"

namespace gs = ksv::outside::gstreamer;

namespace {

const char* const kDeviceCaps =
    "video/x-raw, format=(string){ I420, BGR }, width=(int)320, height=(int)240, "
    "framerate=(fraction)[ 6/1, 30/1 ]; "
    "video/x-raw, format=(string){ I420, BGR }, width=(int)160, height=(int)120, "
    "framerate=(fraction)[ 6/1, 30/1 ]";

}  // namespace

// A camera as the provider lists it.
struct KsvCamDevice {
  GstDevice parent;
  gchar* deviceName;
};

struct KsvCamDeviceClass {
  GstDeviceClass parent_class;
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
G_DEFINE_TYPE(KsvCamDevice, ksv_cam_device, GST_TYPE_DEVICE)
#pragma GCC diagnostic pop

static GstElement* CreateElement(GstDevice* device, const gchar* name) {
  GstElement* element = gst_element_factory_make("ksvcamsrc", name);
  if (element != nullptr) {
    g_object_set(element, "device-name", reinterpret_cast<KsvCamDevice*>(device)->deviceName,
                 nullptr);
  }
  return element;
}

static void FinalizeDevice(GObject* object) {
  g_free(reinterpret_cast<KsvCamDevice*>(object)->deviceName);
  G_OBJECT_CLASS(ksv_cam_device_parent_class)->finalize(object);
}

static void ksv_cam_device_class_init(KsvCamDeviceClass* klass) {
  GST_DEVICE_CLASS(klass)->create_element = CreateElement;
  G_OBJECT_CLASS(klass)->finalize = FinalizeDevice;
}

static void ksv_cam_device_init(KsvCamDevice* device) { device->deviceName = nullptr; }

struct KsvCamDeviceProvider {
  GstDeviceProvider parent;
};

struct KsvCamDeviceProviderClass {
  GstDeviceProviderClass parent_class;
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
G_DEFINE_TYPE(KsvCamDeviceProvider, ksv_cam_device_provider, GST_TYPE_DEVICE_PROVIDER)
#pragma GCC diagnostic pop

static GList* Probe(GstDeviceProvider*) {
  GList* devices = nullptr;
  std::vector<gs::MachineCamera> cameras;
  try {
    cameras = gs::MachineCameras();
  } catch (const std::exception& error) {
    GST_WARNING("cannot list the machine's cameras: %s", error.what());
    return nullptr;
  }
  for (const gs::MachineCamera& camera : cameras) {
    GstStructure* properties =
        gst_structure_new("ksvcam-device", "device.name", G_TYPE_STRING, camera.deviceName.c_str(),
                          "device.api", G_TYPE_STRING, "ksvcam", nullptr);
    auto* device = reinterpret_cast<KsvCamDevice*>(
        g_object_new(ksv_cam_device_get_type(), "display-name", camera.displayName.c_str(),
                     "device-class", "Video/Source", "caps", gst_caps_from_string(kDeviceCaps),
                     "properties", properties, nullptr));
    gst_structure_free(properties);
    device->deviceName = g_strdup(camera.deviceName.c_str());
    devices = g_list_append(devices, gst_object_ref_sink(device));
  }
  return devices;
}

static void ksv_cam_device_provider_class_init(KsvCamDeviceProviderClass* klass) {
  GstDeviceProviderClass* provider = GST_DEVICE_PROVIDER_CLASS(klass);
  provider->probe = Probe;
  gst_device_provider_class_set_static_metadata(provider, "KSV camera provider", "Source/Video",
                                                "Lists the machine's RMC900 USB cameras",
                                                "KSV camera software");
}

static void ksv_cam_device_provider_init(KsvCamDeviceProvider*) {}
