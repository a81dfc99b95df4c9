// Checks of the files a media subcommand names, made before any graph is
// built, so that what would only fail as "cannot build" or "the graph does
// not run" is said in words naming the file.
#pragma once

#include <initializer_list>
#include <string>

namespace ksv::ksvcam {

enum class MediaKind { Wav, Avi, Mpeg1 };

// Throws CommandFailure when `path` is not a regular file ("no file 'x'")
// or is none of `kinds` by its first bytes ("'notes.txt' is not a WAV
// file", "... not a WAV, AVI or MPEG-1 file").
void CheckMediaInput(const std::string& path, std::initializer_list<MediaKind> kinds);

// Throws CommandFailure when `path` cannot be written ("cannot write
// 'x.wav': Read-only file system"). Leaves no file behind.
void CheckWritableOutput(const std::string& path);

}  // namespace ksv::ksvcam
