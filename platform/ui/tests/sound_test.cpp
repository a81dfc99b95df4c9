// Sounds on a simulated clock: nothing is heard, and a synchronous sound
// takes its duration on the clock.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/kernel/performance_counter.h"
#include "platform/resources/resources.h"
#include "platform/sound/sound.h"

namespace {

using ksv::platform::kernel::ScopedPerformanceCounter;
using ksv::platform::kernel::SimulatedPerformanceCounter;

TEST(Sound, AWaveResourcePlaysForItsDurationOnTheSimulatedClock) {
  SimulatedPerformanceCounter clock(10'000'000);  // 100-ns ticks
  const ScopedPerformanceCounter installed(clock);
  const HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(141), "WAVE");
  ASSERT_NE(found, nullptr);
  const auto* click = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));

  // 2,000 frames at 8 kHz.
  EXPECT_TRUE(sndPlaySoundA(click, SND_MEMORY | SND_SYNC));
  EXPECT_EQ(clock.Counter(), 2'500'000);

  // Asynchronously it returns at once and plays on: SND_NOSTOP is refused
  // until it has ended.
  EXPECT_TRUE(sndPlaySoundA(click, SND_MEMORY | SND_ASYNC));
  EXPECT_EQ(clock.Counter(), 2'500'000);
  EXPECT_FALSE(sndPlaySoundA(click, SND_MEMORY | SND_ASYNC | SND_NOSTOP));
  clock.Advance(2'500'000);
  EXPECT_TRUE(sndPlaySoundA(click, SND_MEMORY | SND_ASYNC | SND_NOSTOP));
  EXPECT_TRUE(sndPlaySoundA(nullptr, 0)) << "stops it";
  EXPECT_TRUE(sndPlaySoundA(click, SND_MEMORY | SND_ASYNC | SND_NOSTOP));
  EXPECT_TRUE(MessageBeep(MB_OK));
  EXPECT_EQ(clock.Counter(), 5'000'000) << "the beep does not wait";

  // What is not a PCM WAVE image in memory fails at once.
  EXPECT_FALSE(sndPlaySoundA("click.wav", SND_SYNC)) << "file names are not played";
  std::vector<char> notPcm(click, click + SizeofResource(nullptr, found));
  notPcm[20] = 2;  // the format tag: not PCM
  EXPECT_FALSE(sndPlaySoundA(notPcm.data(), SND_MEMORY | SND_SYNC));
  std::vector<char> riffOfNothing = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'};
  EXPECT_FALSE(sndPlaySoundA(riffOfNothing.data(), SND_MEMORY | SND_SYNC));
  EXPECT_EQ(clock.Counter(), 5'000'000);
}

}  // namespace
