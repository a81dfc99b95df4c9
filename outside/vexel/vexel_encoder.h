// The Vexel 5 video encoder: RGB24 or I420 video in, Motion JPEG ("MJPG")
// out, every frame a whole JPEG and a key frame. The quality comes from its
// settings (vexel_settings.h): the per-user QuickCompress value or a
// settings record's, unless a client sets one through IVexelEncode. The
// per-user settings are read (and their defaults written) when the
// encoder is made.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

#include "include/vexel5.h"
#include "outside/vexel/vexel_settings.h"
#include "platform/media/base/transform.h"
#include "platform/media/codecs/mjpeg_codec.h"
#include "platform/media/registration_interfaces.h"

namespace ksv::vexel {

class VexelEncoder final : public CTransformFilter, public IVexelEncode {
 public:
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);
  static const AMOVIESETUP_FILTER* Setup();

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT CheckInputType(const CMediaType* input) override;
  HRESULT CheckTransform(const CMediaType* input, const CMediaType* output) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT StartStreaming() override;
  HRESULT StopStreaming() override;
  HRESULT Transform(IMediaSample* input, IMediaSample* output) override;

  // IVexelEncode.
  HRESULT GetVersion(DWORD* version) override;
  HRESULT SetQuality(LONG quality) override;
  HRESULT GetQuality(LONG* quality) override;
  HRESULT ReloadSettings() override;
  HRESULT GetQuickCompress(DWORD* enabled) override;
  HRESULT GetSettings(BYTE* record, DWORD size) override;
  HRESULT SetSettings(const BYTE* record) override;

 private:
  VexelEncoder();
  // The JPEG quality (1..100) the next frame gets, and whether quick
  // compression is on (settingsLock_ held).
  int Quality();
  bool QuickCompress() const;

  std::mutex settingsLock_;  // clients tune while frames flow
  UserSettings user_;
  SettingsRecord record_;
  std::optional<bool> recordQuick_;  // a record's QuickCompress overrides the user's
  int quality_ = 0;           // set by hand; 0: the settings choose
  // The streaming thread's.
  std::unique_ptr<media::codecs::MjpegEncoder> encoder_;
};

}  // namespace ksv::vexel
