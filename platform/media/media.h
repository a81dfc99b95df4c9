// All of the media framework's interfaces and types, for callers that use
// most of them.
#pragma once

#include "platform/media/config_interfaces.h"
#include "platform/media/control_interfaces.h"
#include "platform/media/dispatch.h"
#include "platform/media/event_codes.h"
#include "platform/media/filter_interfaces.h"
#include "platform/media/formats.h"
#include "platform/media/graph_interfaces.h"
#include "platform/media/media_guids.h"
#include "platform/media/media_types.h"
#include "platform/media/reference_clock.h"
#include "platform/media/registration_interfaces.h"
#include "platform/media/sample_interfaces.h"
#include "platform/media/vfw_errors.h"
