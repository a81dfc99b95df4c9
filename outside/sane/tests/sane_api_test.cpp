// The backend through the SANE API as the standard defines it, reached the
// way every SANE program reaches it: libsane (the dll backend) finds it
// through SANE_CONFIG_DIR and LD_LIBRARY_PATH, which sane_test.sh sets.
//   sane_api_test api STORED     the calls and their status codes; STORED is
//                                the number of pictures the camera stores
//   sane_api_test compare A B    each picture in folder A matches a picture
//                                of folder B of its size at 40 dB or more
// Prints each failed check and a closing "N passed, N failed" line.
#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/picture/picture_file.h"
#include "support/picture/psnr.h"

namespace {

int passed = 0, failed = 0;

void Check(bool ok, const std::string& what) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    std::fprintf(stderr, "sane api test: %s\n", what.c_str());
  }
}

std::string Name(SANE_Status status) { return sane_strstatus(status); }

void CheckStatus(SANE_Status got, SANE_Status wanted, const std::string& call) {
  Check(got == wanted, call + " gave \"" + Name(got) + "\", not \"" + Name(wanted) + "\"");
}

SANE_Int FindOption(SANE_Handle handle, const char* name) {
  for (SANE_Int i = 1;; ++i) {
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle, i);
    if (d == nullptr) return -1;
    if (d->name != nullptr && std::strcmp(d->name, name) == 0) return i;
  }
}

SANE_Status SetText(SANE_Handle handle, SANE_Int option, const char* text, SANE_Int* info = nullptr) {
  char value[64] = {};
  std::snprintf(value, sizeof value, "%s", text);
  return sane_control_option(handle, option, SANE_ACTION_SET_VALUE, value, info);
}

// Reads the frame of a started scan to its end: its bytes, or -1 when a
// read failed.
long ReadFrame(SANE_Handle handle, std::vector<uint8_t>* bytes = nullptr) {
  long total = 0;
  SANE_Byte buffer[7000];  // not a whole number of lines: reads cross them
  for (;;) {
    SANE_Int length = 0;
    const SANE_Status status = sane_read(handle, buffer, sizeof buffer, &length);
    if (status == SANE_STATUS_EOF) return total;
    if (status != SANE_STATUS_GOOD) return -1;
    if (bytes != nullptr) bytes->insert(bytes->end(), buffer, buffer + length);
    total += length;
  }
}

void Api(int stored) {
  SANE_Int version = 0;
  CheckStatus(sane_init(&version, nullptr), SANE_STATUS_GOOD, "sane_init");
  Check(SANE_VERSION_MAJOR(version) == SANE_CURRENT_MAJOR, "sane_init gave another major version");

  const SANE_Device** devices = nullptr;
  CheckStatus(sane_get_devices(&devices, SANE_FALSE), SANE_STATUS_GOOD, "sane_get_devices");
  bool listed = false;
  for (int i = 0; devices != nullptr && devices[i] != nullptr; ++i) {
    listed = listed || (std::strcmp(devices[i]->name, "ksvcam:ksvcam") == 0 &&
                        std::strcmp(devices[i]->type, "still camera") == 0);
  }
  Check(listed, "sane_get_devices does not list the still camera \"ksvcam:ksvcam\"");

  SANE_Handle handle = nullptr, second = nullptr;
  CheckStatus(sane_open("ksvcam", &handle), SANE_STATUS_GOOD, "sane_open");
  if (handle == nullptr) return;
  CheckStatus(sane_open("ksvcam", &second), SANE_STATUS_DEVICE_BUSY, "a second sane_open of the one camera");
  CheckStatus(sane_open("ksvcam:none", &second), SANE_STATUS_INVAL, "sane_open of a device that is not there");

  // ---- Options
  SANE_Word count = 0;
  CheckStatus(sane_control_option(handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr), SANE_STATUS_GOOD,
              "getting the option count");
  Check(sane_get_option_descriptor(handle, count) == nullptr, "a descriptor past the option count");
  const SANE_Int source = FindOption(handle, SANE_NAME_SCAN_SOURCE);
  const SANE_Int mode = FindOption(handle, SANE_NAME_SCAN_MODE);
  const SANE_Int resolution = FindOption(handle, SANE_NAME_SCAN_RESOLUTION);
  const SANE_Int size = FindOption(handle, "size");
  Check(source > 0 && mode > 0 && resolution > 0 && size > 0 && count == 5,
        "the options are not the count, source, mode, resolution and size");
  if (source < 0 || mode < 0 || resolution < 0 || size < 0) return;
  char text[64] = {};
  sane_control_option(handle, mode, SANE_ACTION_GET_VALUE, text, nullptr);
  Check(std::strcmp(text, SANE_VALUE_SCAN_MODE_COLOR) == 0, std::string("the mode is ") + text + ", not Color");
  CheckStatus(SetText(handle, mode, "Gray"), SANE_STATUS_INVAL, "setting the mode Gray");
  CheckStatus(SetText(handle, source, "Flatbed"), SANE_STATUS_INVAL, "setting the source Flatbed");
  SANE_Word dpi = 300;
  SANE_Int info = 0;
  CheckStatus(sane_control_option(handle, resolution, SANE_ACTION_SET_VALUE, &dpi, &info), SANE_STATUS_GOOD,
              "setting the resolution 300");
  Check(dpi == 72 && (info & SANE_INFO_INEXACT) != 0, "a resolution of 300 was not set to 72 and said inexact");
  CheckStatus(SetText(handle, size, "320x240", &info), SANE_STATUS_GOOD, "setting the size 320x240");
  Check((info & SANE_INFO_RELOAD_PARAMS) != 0, "a new size does not ask for the parameters again");

  // ---- The live camera: a frame cancelled in its middle, then a whole one
  SANE_Parameters parameters{};
  CheckStatus(sane_start(handle), SANE_STATUS_GOOD, "sane_start of the live camera");
  CheckStatus(sane_get_parameters(handle, &parameters), SANE_STATUS_GOOD, "sane_get_parameters");
  Check(parameters.format == SANE_FRAME_RGB && parameters.depth == 8 && parameters.last_frame == SANE_TRUE &&
            parameters.pixels_per_line == 320 && parameters.lines == 240 && parameters.bytes_per_line == 960,
        "the live frame is not 320 x 240 8-bit RGB in one frame");
  SANE_Byte line[960];
  SANE_Int length = 0;
  CheckStatus(sane_read(handle, line, sizeof line, &length), SANE_STATUS_GOOD, "sane_read of the first line");
  Check(length == 960, "the first read did not give the whole first line");
  sane_cancel(handle);
  CheckStatus(sane_read(handle, line, sizeof line, &length), SANE_STATUS_CANCELLED, "sane_read after sane_cancel");
  Check(length == 0, "sane_read after sane_cancel gave bytes");
  CheckStatus(sane_start(handle), SANE_STATUS_GOOD, "sane_start after a cancelled frame");
  std::vector<uint8_t> live;
  Check(ReadFrame(handle, &live) == 320 * 240 * 3, "the live frame is not 320 x 240 x 3 bytes");
  Check(std::any_of(live.begin(), live.end(), [](uint8_t b) { return b > 16; }), "the live frame is black");
  // The camera's test picture moves: a second snapshot is a new picture,
  // not the first one handed on again.
  Check(live.size() >= sizeof line && !std::equal(line, line + sizeof line, live.begin()),
        "the second live frame begins as the first: the first snapshot was handed on again");
  sane_cancel(handle);

  // ---- The stored pictures: every one, then no more
  CheckStatus(SetText(handle, source, "Camera memory", &info), SANE_STATUS_GOOD, "setting the source Camera memory");
  Check((info & SANE_INFO_RELOAD_OPTIONS) != 0, "a new source does not ask for the options again");
  const SANE_Option_Descriptor* sizeDescriptor = sane_get_option_descriptor(handle, size);
  Check(sizeDescriptor != nullptr && (sizeDescriptor->cap & SANE_CAP_INACTIVE) != 0,
        "the size stays active for the stored pictures");
  CheckStatus(SetText(handle, size, "160x120"), SANE_STATUS_INVAL, "setting the inactive size");
  int frames = 0;
  for (SANE_Status status; (status = sane_start(handle)) == SANE_STATUS_GOOD; ++frames) {
    sane_get_parameters(handle, &parameters);
    const long bytes = ReadFrame(handle);
    Check(bytes == static_cast<long>(parameters.bytes_per_line) * parameters.lines,
          "stored picture " + std::to_string(frames + 1) + " is not the bytes its parameters promise");
    sane_cancel(handle);
    if (frames > stored) break;
  }
  Check(frames == stored,
        "the camera memory gave " + std::to_string(frames) + " frames, not " + std::to_string(stored));
  CheckStatus(sane_start(handle), SANE_STATUS_NO_DOCS, "a second sane_start after the last stored picture");
  // Choosing the source again starts over.
  CheckStatus(SetText(handle, source, "Camera memory"), SANE_STATUS_GOOD, "choosing Camera memory again");
  CheckStatus(sane_start(handle), SANE_STATUS_GOOD, "sane_start of a new batch");
  sane_cancel(handle);

  CheckStatus(sane_set_io_mode(handle, SANE_TRUE), SANE_STATUS_UNSUPPORTED, "non-blocking sane_set_io_mode");
  sane_close(handle);
  CheckStatus(sane_open("", &handle), SANE_STATUS_GOOD, "sane_open of the first device after sane_close");
  sane_close(handle);
  sane_exit();
}

std::vector<std::filesystem::path> Pictures(const std::string& folder) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (ksv::picture::FormatOfName(entry.path())) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

void Compare(const std::string& taken, const std::string& reference) {
  std::vector<ksv::picture::RgbPicture> references;
  for (const auto& file : Pictures(reference)) references.push_back(ksv::picture::ReadPicture(file));
  std::vector<bool> used(references.size(), false);
  const auto files = Pictures(taken);
  Check(files.size() == references.size(), std::to_string(files.size()) + " pictures taken, " +
                                               std::to_string(references.size()) + " downloaded");
  double worst = HUGE_VAL;
  for (const auto& file : files) {
    const ksv::picture::RgbPicture picture = ksv::picture::ReadPicture(file);
    double best = 0;
    size_t bestIndex = references.size();
    for (size_t i = 0; i < references.size(); ++i) {
      if (used[i] || references[i].width != picture.width || references[i].height != picture.height) continue;
      const double psnr = ksv::picture::Psnr(references[i], picture);
      if (psnr > best) best = psnr, bestIndex = i;
    }
    Check(best >= 40, file.filename().string() + " matches no downloaded picture at 40 dB (best " +
                          std::to_string(best) + " dB)");
    if (bestIndex < references.size()) used[bestIndex] = true;
    worst = std::min(worst, best);
  }
  std::printf("%zu pictures; the worst match %.1f dB (inf: the same pixels)\n", files.size(), worst);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "api" && argc == 3) {
    Api(std::atoi(argv[2]));
  } else if (mode == "compare" && argc == 4) {
    Compare(argv[2], argv[3]);
  } else {
    std::fprintf(stderr, "usage: sane_api_test api STORED | compare FOLDER REFERENCE_FOLDER\n");
    return 2;
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
