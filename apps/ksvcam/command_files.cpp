#include "apps/ksvcam/command_files.h"

#include <sys/stat.h>

#include "apps/ksvcam/console.h"

namespace ksv::ksvcam {
namespace {

const std::string& Checked(const std::string& path, const std::vector<std::string>& inputs) {
  CheckOutputPath(path, inputs);
  return path;
}

}  // namespace

void RequireRegularFile(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) throw CommandFailure("no file " + Quoted(path));
  if (S_ISDIR(status.st_mode)) throw CommandFailure(Quoted(path) + " is a folder, not a file");
  if (!S_ISREG(status.st_mode)) {
    throw CommandFailure(Quoted(path) + " is not a regular file (a pipe or a device): it cannot "
                         "be read as a media file");
  }
}

void CheckOutputPath(const std::string& output, const std::vector<std::string>& inputs) {
  struct stat out {};
  if (::stat(output.c_str(), &out) != 0) return;  // nothing there to lose
  if (S_ISDIR(out.st_mode)) {
    throw UsageError(Quoted(output) + " is a folder; name a file to write");
  }
  for (const std::string& input : inputs) {
    struct stat in {};
    if (!input.empty() && ::stat(input.c_str(), &in) == 0 && in.st_dev == out.st_dev &&
        in.st_ino == out.st_ino) {
      throw UsageError("the output " + Quoted(output) + " is the input " + Quoted(input) +
                       "; write to another file");
    }
  }
}

OutputFile::OutputFile(const std::string& path, const std::vector<std::string>& inputs) try
    : path_(Checked(path, inputs)), file_(path), cleanup_(file_.temporary()) {
} catch (const picture::FileError& failure) {
  throw CommandFailure(failure.what());
}

void OutputFile::Commit() {
  try {
    file_.Commit();
  } catch (const picture::FileError& failure) {
    throw CommandFailure(failure.what());
  }
}

}  // namespace ksv::ksvcam
