// The format choice dialog driven as a person would (through the input
// seam, from the chooser), the metric callers size their buffer by, and
// the format table.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/acm/acm_formats.h"
#include "platform/acm/format_chooser.h"
#include "platform/acm/msacm.h"
#include "platform/ui/dialogs/dialogs.h"
#include "platform/ui/input.h"

namespace ksv::platform::acm {
namespace {

namespace input = ui::input;

// Restores "nobody chooses" when a test ends.
struct ChooserScope {
  explicit ChooserScope(FormatChooser chooser) { SetFormatChooser(std::move(chooser)); }
  ~ChooserScope() { SetFormatChooser({}); }
};

struct Request {
  ACMFORMATCHOOSEA choose{};
  alignas(4) uint8_t buffer[64] = {};
  Request(DWORD size, const std::vector<uint8_t>& current) {
    std::memcpy(buffer, current.data(), current.size());
    choose.cbStruct = sizeof choose;
    choose.fdwStyle = ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT;
    choose.pwfx = reinterpret_cast<WAVEFORMATEX*>(buffer);
    choose.cbwfx = size;
    choose.fdwEnum = ACM_FORMATENUMF_HARDWARE | ACM_FORMATENUMF_INPUT;
  }
};

int RowOf(WORD tag, DWORD rate, WORD channels) {
  const auto formats = ListedFormats();
  for (size_t i = 0; i < formats.size(); ++i) {
    if (formats[i] == MakeFormat(tag, rate, channels)) return static_cast<int>(i);
  }
  return -1;
}

TEST(AcmMetrics, TheLargestFormatIsImaAdpcmWithItsSamplesPerBlock) {
  DWORD size = 0;
  ASSERT_EQ(acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &size), MMSYSERR_NOERROR);
  EXPECT_EQ(size, 20u);
  EXPECT_EQ(acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, nullptr), MMSYSERR_INVALPARAM);
  EXPECT_EQ(acmMetrics(nullptr, 99, &size), MMSYSERR_NOTSUPPORTED);

  const WAVEFORMATEX ima = HeaderOf(MakeFormat(kWaveFormatImaAdpcm, 22050, 2));
  EXPECT_EQ(ima.nBlockAlign, 1024);
  EXPECT_EQ(ima.wBitsPerSample, 4);
  EXPECT_EQ(ima.cbSize, 2);
  EXPECT_EQ(MakeFormat(kWaveFormatImaAdpcm, 22050, 2)[18], 1017 & 0xFF);
  EXPECT_EQ(ima.nAvgBytesPerSec, 22050u * 1024 / 1017);
  const WAVEFORMATEX alaw = HeaderOf(MakeFormat(kWaveFormatALaw, 8000, 2));
  EXPECT_EQ(alaw.nBlockAlign, 2);
  EXPECT_EQ(alaw.nAvgBytesPerSec, 16000u);
  EXPECT_TRUE(MakeFormat(0x55, 8000, 1).empty());
  EXPECT_TRUE(MakeFormat(WAVE_FORMAT_PCM, 8000, 3).empty());
  EXPECT_EQ(DescribeFormat(HeaderOf(MakeFormat(WAVE_FORMAT_PCM, 11025, 1))), "11.025 kHz, 16 Bit, Mono");
}

// A person picks IMA ADPCM 22 kHz stereo from the list and presses Enter.
TEST(FormatChoose, TheChosenFormatFillsTheCallersBuffer) {
  const int row = RowOf(kWaveFormatImaAdpcm, 22050, 2);
  ASSERT_GE(row, 0);
  ChooserScope scope([row](HWND dialog) {
    input::ChooseItem(GetDlgItem(dialog, kFormatListId), row);
    input::PressKey(VK_RETURN);
  });
  Request request(20, MakeFormat(WAVE_FORMAT_PCM, 8000, 1));
  ASSERT_EQ(acmFormatChooseA(&request.choose), MMSYSERR_NOERROR);
  const std::vector<uint8_t> expected = MakeFormat(kWaveFormatImaAdpcm, 22050, 2);
  EXPECT_EQ(std::vector<uint8_t>(request.buffer, request.buffer + 20), expected);
  EXPECT_STREQ(request.choose.szFormatTag, "IMA ADPCM");
  EXPECT_STREQ(request.choose.szFormat, "22.050 kHz, 4 Bit, Stereo");
  EXPECT_EQ(request.buffer[20], 0) << "nothing written past the format";

  // The same choice into a buffer too small for it: nothing is written.
  Request small(18, MakeFormat(WAVE_FORMAT_PCM, 8000, 1));
  EXPECT_EQ(acmFormatChooseA(&small.choose), ACMERR_NOTPOSSIBLE);
  EXPECT_EQ(HeaderOf(std::vector<uint8_t>(small.buffer, small.buffer + 18)).wFormatTag, WAVE_FORMAT_PCM);
}

// OK at once keeps the caller's format (the dialog starts on it), also
// when the list is cut down to one tag; the owner is disabled meanwhile.
TEST(FormatChoose, TheDialogStartsOnTheCallersFormat) {
  const std::vector<uint8_t> current = MakeFormat(kWaveFormatMuLaw, 11025, 2);
  bool ownerDisabled = false;
  HWND owner = CreateWindowExA(0, "Static", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ChooserScope scope([&](HWND dialog) {
    ownerDisabled = !IsWindowEnabled(owner);
    input::Click(GetDlgItem(dialog, IDOK));
  });
  for (const bool onlyMuLaw : {false, true}) {
    Request request(18, current);
    request.choose.hwndOwner = owner;
    WAVEFORMATEX only = HeaderOf(current);
    if (onlyMuLaw) {
      request.choose.fdwEnum |= ACM_FORMATENUMF_WFORMATTAG;
      request.choose.pwfxEnum = &only;
    }
    ASSERT_EQ(acmFormatChooseA(&request.choose), MMSYSERR_NOERROR);
    EXPECT_EQ(std::vector<uint8_t>(request.buffer, request.buffer + 18), current);
    EXPECT_STREQ(request.choose.szFormatTag, "CCITT u-Law");
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
  }
  DestroyWindow(owner);
}

TEST(FormatChoose, CancelCloseAndNobodyToChooseAreCancelled) {
  const std::vector<uint8_t> current = MakeFormat(WAVE_FORMAT_PCM, 44100, 2);
  {
    Request request(20, current);
    EXPECT_EQ(acmFormatChooseA(&request.choose), ACMERR_CANCELED) << "no chooser: nobody is there";
  }
  for (const auto& act : {FormatChooser([](HWND) { input::PressKey(VK_ESCAPE); }),
                          FormatChooser([](HWND dialog) {
                            input::ChooseItem(GetDlgItem(dialog, kFormatListId), 3);
                            PostMessageA(dialog, WM_CLOSE, 0, 0);
                          })}) {
    ChooserScope scope(act);
    Request request(20, current);
    EXPECT_EQ(acmFormatChooseA(&request.choose), ACMERR_CANCELED);
    EXPECT_EQ(std::vector<uint8_t>(request.buffer, request.buffer + 18), current) << "untouched";
  }
  ChooserScope scope([](HWND) { FAIL() << "no dialog for a bad request"; });
  Request bad(20, current);
  bad.choose.cbStruct = 232;
  EXPECT_EQ(acmFormatChooseA(&bad.choose), MMSYSERR_INVALPARAM);
  Request noEnum(20, current);
  noEnum.choose.fdwEnum = ACM_FORMATENUMF_NCHANNELS;
  EXPECT_EQ(acmFormatChooseA(&noEnum.choose), MMSYSERR_INVALPARAM);
  Request hook(20, current);
  hook.choose.fdwStyle |= ACMFORMATCHOOSE_STYLEF_ENABLEHOOK;
  EXPECT_EQ(acmFormatChooseA(&hook.choose), MMSYSERR_NOTSUPPORTED);
}

}  // namespace
}  // namespace ksv::platform::acm
