// `ksvcam decode FRAME --size WxH -o OUT`: decodes one compressed frame file
// into a picture file.
#pragma once

#include "apps/ksvcam/console.h"
#include "apps/ksvcam/decode_plan.h"

namespace CLI {
class App;
}

namespace ksv::ksvcam {

// Adds the `decode` subcommand to `app`; parsing fills `options`.
CLI::App& AddDecodeCommand(CLI::App& app, DecodeOptions& options);

// Runs the decode. Returns the exit status; throws UsageError or
// CommandFailure for the dispatcher to report.
int RunDecode(const DecodeOptions& options, Console& console);

}  // namespace ksv::ksvcam
