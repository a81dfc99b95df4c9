// ksvcamsrc: the camera as a live GStreamer source. It brings the machine's
// camera up in its own process (machine_camera.h), offers the outputs the
// driver's intersection accepts (I420 and BGR, 320x240 and 160x120, 6 to 30
// frames per second), and pushes each frame the driver delivers, stamped on
// the pipeline clock with the time the bus completed it, in buffers of a
// pool (nothing is allocated per frame). The picture controls are
// properties and a GstColorBalance; the snapshot button is posted on the
// bus as the element message "ksvcam-snapshot".
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS

GType ksv_cam_src_get_type(void);

G_END_DECLS
