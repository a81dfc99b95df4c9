// The simulated microphone as this machine's hardware. `ksvcam setup` lists
// its hardware module (lib/ksv/ksvsimmic.so beside ksvcam's bin/ folder) in
// the machine's device list, so the audio input category shows it and a
// capture graph can record from it (KSV_MICROPHONE names the WAV file it
// hears; without one it hears a test tone).
#pragma once

#include <filesystem>

namespace ksv::ksvcam {

inline constexpr const char* kSimulatedMicrophoneName = "KSV Simulated Microphone";

// Where the module lies beside this program (in ModuleFolder(), media_setup.h).
std::filesystem::path SimulatedMicrophoneModule();

// Lists the module; throws CommandFailure when it is missing.
void ListSimulatedMicrophone();
// Removes it from the list; false when it was not listed.
bool UnlistSimulatedMicrophone();

}  // namespace ksv::ksvcam
