// All of the base classes, for a filter's sources.
#pragma once

#include "platform/media/base/allocator.h"
#include "platform/media/base/com_base.h"
#include "platform/media/base/factory.h"
#include "platform/media/base/filter.h"
#include "platform/media/base/media_type.h"
#include "platform/media/base/pins.h"
#include "platform/media/base/renderer.h"
#include "platform/media/base/source.h"
#include "platform/media/base/sync.h"
#include "platform/media/base/transform.h"
#include "platform/media/media.h"
