// The four name lists of the media graph library (video and audio capture
// devices, video and audio compressors), and the checked choice of a name
// from one: a name people type must be one the list holds, so that a typo
// is an error rather than a silent change of plan (the library itself
// falls back to an uncompressed file for a compressor it cannot find).
#pragma once

#include <string>
#include <vector>

namespace ksv::ksvcam {

enum class NameList { VideoDevices, AudioDevices, VideoCompressors, AudioCompressors };

// The list's names in the library's order; empty when it holds none.
std::vector<std::string> ListNames(NameList list);
// "video capture device" ...
const char* NameListItem(NameList list);

// `wanted` when the list holds it (throws UsageError naming `option` and
// the choices when it does not); for an empty `wanted`, the list's first
// name, or "" when the list is empty.
std::string ChooseName(NameList list, const std::string& wanted, const char* option);

}  // namespace ksv::ksvcam
