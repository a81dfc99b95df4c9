#include "platform/media/filters/mpeg1/mpeg1_setup.h"

#include "platform/media/filter_ids.h"
#include "platform/media/media_guids.h"

namespace ksv::media::mpeg1 {
namespace {

// The decoders' merits are the ones the platform gives them; the video
// decoder's is above MERIT_PREFERRED on purpose there too.
constexpr DWORD kVideoDecoderMerit = 0x40000001;
constexpr DWORD kAudioDecoderMerit = 0x03680001;

const AMOVIESETUP_MEDIATYPE kSplitterInputTypes[] = {
    {&MEDIATYPE_Stream, &MEDIASUBTYPE_MPEG1Audio},
    {&MEDIATYPE_Stream, &MEDIASUBTYPE_MPEG1Video},
    {&MEDIATYPE_Stream, &MEDIASUBTYPE_MPEG1System},
    {&MEDIATYPE_Stream, &MEDIASUBTYPE_MPEG1VideoCD},
};
const AMOVIESETUP_MEDIATYPE kSplitterOutputTypes[] = {
    {&MEDIATYPE_Audio, &MEDIASUBTYPE_MPEG1Packet},
    {&MEDIATYPE_Audio, &MEDIASUBTYPE_MPEG1AudioPayload},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_MPEG1Packet},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_MPEG1Payload},
};
// {name (unnamed), rendered, output, zero, many, connects-to filter, pin, types}
const AMOVIESETUP_PIN kSplitterPins[] = {
    {nullptr, FALSE, FALSE, FALSE, FALSE, nullptr, nullptr, 4, kSplitterInputTypes},
    {nullptr, FALSE, TRUE, TRUE, TRUE, nullptr, nullptr, 4, kSplitterOutputTypes},
};

const AMOVIESETUP_MEDIATYPE kVideoInputTypes[] = {
    {&MEDIATYPE_Video, &MEDIASUBTYPE_MPEG1Packet},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_MPEG1Payload},
};
const AMOVIESETUP_MEDIATYPE kVideoOutputTypes[] = {{&MEDIATYPE_Video, &GUID_NULL}};
const AMOVIESETUP_PIN kVideoDecoderPins[] = {
    {nullptr, FALSE, FALSE, FALSE, FALSE, nullptr, nullptr, 2, kVideoInputTypes},
    {nullptr, FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1, kVideoOutputTypes},
};

const AMOVIESETUP_MEDIATYPE kAudioInputTypes[] = {
    {&MEDIATYPE_Audio, &MEDIASUBTYPE_MPEG1Packet},
    {&MEDIATYPE_Audio, &MEDIASUBTYPE_MPEG1Payload},
    {&MEDIATYPE_Audio, &MEDIASUBTYPE_MPEG1AudioPayload},
};
const AMOVIESETUP_MEDIATYPE kAudioOutputTypes[] = {{&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM}};
const AMOVIESETUP_PIN kAudioDecoderPins[] = {
    {nullptr, FALSE, FALSE, FALSE, FALSE, nullptr, nullptr, 3, kAudioInputTypes},
    {nullptr, FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1, kAudioOutputTypes},
};

}  // namespace

const AMOVIESETUP_FILTER kSplitterSetup = {&CLSID_MPEG1Splitter, kSplitterName, MERIT_NORMAL, 2,
                                           kSplitterPins};
const AMOVIESETUP_FILTER kVideoDecoderSetup = {&CLSID_CMpegVideoCodec, kVideoDecoderName,
                                               kVideoDecoderMerit, 2, kVideoDecoderPins};
const AMOVIESETUP_FILTER kAudioDecoderSetup = {&CLSID_CMpegAudioCodec, kAudioDecoderName,
                                               kAudioDecoderMerit, 2, kAudioDecoderPins};

}  // namespace ksv::media::mpeg1
