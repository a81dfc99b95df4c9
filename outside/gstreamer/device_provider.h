// The camera provider: lists the machine's cameras as Video/Source devices
// ("RMC900 USB Camera") that make a ksvcamsrc for themselves.
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS

GType ksv_cam_device_provider_get_type(void);

G_END_DECLS
