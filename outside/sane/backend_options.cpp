#include "outside/sane/backend_options.h"

#include <strings.h>

#include <algorithm>

#include <cstring>

namespace ksv::outside::sane {
namespace {

// The names the string-list options show and take.
constexpr SANE_String_Const kSources[] = {"Camera", "Camera memory", nullptr};
constexpr SANE_String_Const kModes[] = {SANE_VALUE_SCAN_MODE_COLOR, nullptr};
constexpr SANE_String_Const kSizes[] = {"640x480", "320x240", "160x120", nullptr};
constexpr Size kSizeValues[] = {{640, 480}, {320, 240}, {160, 120}};
// A camera's pictures have no size on paper: the resolution is nominal,
// the one written into the picture files.
constexpr SANE_Word kResolutions[] = {1, 72};

size_t LongestOf(const SANE_String_Const* list) {
  size_t longest = 0;
  for (; *list != nullptr; ++list) longest = std::max(longest, std::strlen(*list) + 1);
  return longest;
}

// The index of `text` in `list`, in any letter case; -1 when absent.
int IndexIn(const SANE_String_Const* list, const char* text) {
  for (int i = 0; list[i] != nullptr; ++i) {
    if (strcasecmp(list[i], text) == 0) return i;
  }
  return -1;
}

SANE_Option_Descriptor StringList(SANE_String_Const name, SANE_String_Const title, SANE_String_Const desc,
                                  const SANE_String_Const* list) {
  SANE_Option_Descriptor d{};
  d.name = name;
  d.title = title;
  d.desc = desc;
  d.type = SANE_TYPE_STRING;
  d.unit = SANE_UNIT_NONE;
  d.size = static_cast<SANE_Int>(LongestOf(list));
  d.cap = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
  d.constraint_type = SANE_CONSTRAINT_STRING_LIST;
  d.constraint.string_list = list;
  return d;
}

}  // namespace

Options::Options() {
  SANE_Option_Descriptor& count = descriptors_[kCountOption];
  count.name = "";
  count.title = SANE_TITLE_NUM_OPTIONS;
  count.desc = SANE_DESC_NUM_OPTIONS;
  count.type = SANE_TYPE_INT;
  count.unit = SANE_UNIT_NONE;
  count.size = sizeof(SANE_Word);
  count.cap = SANE_CAP_SOFT_DETECT;
  count.constraint_type = SANE_CONSTRAINT_NONE;

  descriptors_[kSourceOption] =
      StringList(SANE_NAME_SCAN_SOURCE, SANE_TITLE_SCAN_SOURCE,
                 "Camera: a snapshot of the live picture. Camera memory: the pictures the camera "
                 "stores, one frame each (--batch takes them all).",
                 kSources);
  descriptors_[kModeOption] = StringList(SANE_NAME_SCAN_MODE, SANE_TITLE_SCAN_MODE, SANE_DESC_SCAN_MODE, kModes);

  SANE_Option_Descriptor& resolution = descriptors_[kResolutionOption];
  resolution.name = SANE_NAME_SCAN_RESOLUTION;
  resolution.title = SANE_TITLE_SCAN_RESOLUTION;
  resolution.desc = "The nominal resolution written into picture files (a camera's pictures have no size "
                    "on paper); the picture size sets the pixels.";
  resolution.type = SANE_TYPE_INT;
  resolution.unit = SANE_UNIT_DPI;
  resolution.size = sizeof(SANE_Word);
  resolution.cap = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
  resolution.constraint_type = SANE_CONSTRAINT_WORD_LIST;
  resolution.constraint.word_list = kResolutions;

  descriptors_[kSizeOption] = StringList("size", "Picture size",
                                         "The live picture's size in pixels (the stored pictures keep "
                                         "their own)",
                                         kSizes);
  UpdateActive();
}

void Options::UpdateActive() {
  SANE_Int& cap = descriptors_[kSizeOption].cap;
  if (source_ == Source::kCamera) {
    cap &= ~SANE_CAP_INACTIVE;
  } else {
    cap |= SANE_CAP_INACTIVE;
  }
}

const SANE_Option_Descriptor* Options::Descriptor(SANE_Int option) const {
  if (option < 0 || option >= kOptionCount) return nullptr;
  return &descriptors_[static_cast<size_t>(option)];
}

Size Options::size() const { return kSizeValues[size_]; }

SANE_Status Options::Control(SANE_Int option, SANE_Action action, void* value, SANE_Int* info) {
  if (info != nullptr) *info = 0;
  if (option < 0 || option >= kOptionCount || value == nullptr) return SANE_STATUS_INVAL;
  const SANE_Option_Descriptor& d = descriptors_[static_cast<size_t>(option)];
  if ((d.cap & SANE_CAP_INACTIVE) != 0) return SANE_STATUS_INVAL;

  if (action == SANE_ACTION_GET_VALUE) {
    auto* word = static_cast<SANE_Word*>(value);
    auto* text = static_cast<char*>(value);
    switch (option) {
      case kCountOption: *word = kOptionCount; break;
      case kSourceOption: std::strcpy(text, kSources[source_ == Source::kCamera ? 0 : 1]); break;
      case kModeOption: std::strcpy(text, kModes[0]); break;
      case kResolutionOption: *word = resolution_; break;
      case kSizeOption: std::strcpy(text, kSizes[size_]); break;
    }
    return SANE_STATUS_GOOD;
  }
  // Nothing here chooses its own value.
  if (action != SANE_ACTION_SET_VALUE || (d.cap & SANE_CAP_SOFT_SELECT) == 0) return SANE_STATUS_INVAL;

  if (option == kResolutionOption) {
    const SANE_Word wanted = *static_cast<const SANE_Word*>(value);
    if (wanted != kResolutions[1]) {
      // The one resolution there is: the value is set to it, and the
      // caller told.
      *static_cast<SANE_Word*>(value) = kResolutions[1];
      if (info != nullptr) *info |= SANE_INFO_INEXACT;
    }
    resolution_ = kResolutions[1];
    return SANE_STATUS_GOOD;
  }
  const char* text = static_cast<const char*>(value);
  const SANE_String_Const* list = d.constraint.string_list;
  const int index = IndexIn(list, text);
  if (index < 0) return SANE_STATUS_INVAL;
  if (option == kSourceOption) {
    const Source chosen = index == 0 ? Source::kCamera : Source::kCameraMemory;
    if (chosen != source_ && info != nullptr) *info |= SANE_INFO_RELOAD_OPTIONS | SANE_INFO_RELOAD_PARAMS;
    source_ = chosen;
    UpdateActive();
  } else if (option == kSizeOption) {
    if (index != size_ && info != nullptr) *info |= SANE_INFO_RELOAD_PARAMS;
    size_ = index;
  }
  return SANE_STATUS_GOOD;
}

}  // namespace ksv::outside::sane
