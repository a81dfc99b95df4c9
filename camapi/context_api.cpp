// Opening and closing a camera context.
#include <atomic>
#include <cstring>
#include <new>
#include <string>

#include "camapi/camera_context.h"
#include "camapi/item_clip.h"
#include "support/no_throw.h"
#include "common/packed_bitmap.h"
#include "platform/memory/global_memory.h"
#include "platform/module/module.h"

namespace ksv::camapi {

namespace {

std::atomic<bool> ksvMode{false};

// The system keeps this library in its system folder: a program names it
// with GetModuleHandleA("OKSV1API.DLL") and hands that to KXCAMAPI_Init, so
// the clip work folder lies under $KSV_ROOT, not beside the installed file.
[[maybe_unused]] const HMODULE thisLibrary = ksv::platform::RegisterSystemModule("OKSV1API.DLL");

// The decoder as the library uses it before the first item: 320 x 240,
// 24-bit, built-in pair 2.
bool SetUpDecoder(codec::StoredFrameDecoder& decoder) {
  if (!decoder.SetUp()) return false;
  decoder.SelectQuantPair(2);
  return decoder.Prepare({320, 240}, codec::OutputCode::kBgr24);
}

// The bulk side: decoder, buffers, then the connection. Null when any of
// them cannot be had; nothing is left open then.
std::unique_ptr<BulkContext> OpenBulk() {
  auto bulk = std::make_unique<BulkContext>();
  if (!SetUpDecoder(bulk->decoder)) return nullptr;
  bulk->upSampleRate = kDefaultUpSampleRate;
  bulk->itemHook = HandleFetchedItem;
  bulk->itemBuffer.resize(kInitialItemCapacity);
  bulk->itemCapacity = kInitialItemCapacity;
  bulk->decodeBuffer.resize(kDecodeBufferBytes);
  bulk->handle = BULK_Init();
  if (bulk->handle == 0) return nullptr;
  const int count = BULK_GetImgCount(bulk->handle);
  bulk->storedCount = static_cast<uint16_t>(count < 0 ? 0 : (count > 0xFFFF ? 0xFFFF : count));
  return bulk;
}

// The clip work folder: the module's folder, "RM900Clp", "/". Empty when
// the module's file name cannot be had.
std::string ClipFolderOf(HINSTANCE module) {
  char file[KXCAMAPI_PATH_BYTES];
  const DWORD length = GetModuleFileNameA(module, file, sizeof file);
  if (length == 0 || length >= sizeof file) return {};
  std::string folder(file, length);
  const size_t slash = folder.rfind('/');
  folder = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
  return folder + kClipFolderName + "/";
}

void Teardown(::CameraContext* context) {
  if (context->frameBitmap != nullptr) GlobalFree(context->frameBitmap);
  if (context->burstBitmap != nullptr) GlobalFree(context->burstBitmap);
  context->clipWork.Release();  // this handle's work files, and no one else's
  if (context->bulk) {
    context->bulk->decoder.Release();
    if (context->bulk->handle != 0) BULK_Reset(context->bulk->handle);
  }
  delete context;
}

::CameraContext* Open(bool ksv, KXCAMAPI_BeginItemCallback begin, KXCAMAPI_EndItemCallback end,
                      intptr_t userData, HINSTANCE module, HWND window) {
  ksvMode = ksv;
  if (module == nullptr || window == nullptr) return nullptr;
  ::CameraContext* context = nullptr;
  try {
    context = new ::CameraContext;
    context->beginItem = begin;
    context->endItem = end;
    context->userData = userData;
    context->module = module;
    context->window = window;
    context->bulk = OpenBulk();
    if (!context->bulk) {
      Teardown(context);
      return nullptr;
    }
    context->bulk->burstFrameHook = SaveBurstFrame;
    context->bulk->clipFrameHook = SaveClipFrameHook;
    const std::string clipFolder = ClipFolderOf(module);
    if (clipFolder.empty()) {
      Teardown(context);
      return nullptr;
    }
    // Other handles, of this process or another, may be converting clips in
    // the work folder right now: this handle works in a sub-folder of its
    // own, and only the folders of handles that are gone are cleared. When
    // the folder cannot be written, clips fail there later as they always
    // did, and nothing is deleted.
    context->clipFolder =
        context->clipWork.Claim(clipFolder) ? context->clipWork.path() : clipFolder;
    context->frameBitmap = common::CreatePackedBitmap(320, 240, 24);
    context->burstBitmap =
        common::CreatePackedBitmap(context->burstWidth, context->burstHeight, 24);
    if (context->frameBitmap == nullptr || context->burstBitmap == nullptr) {
      Teardown(context);
      return nullptr;
    }
    return context;
  } catch (const std::exception&) {  // out of memory
    if (context != nullptr) Teardown(context);
    return nullptr;
  }
}

}  // namespace

bool KsvMode() { return ksvMode; }

bool BeginItem(CameraContext& context, int kind) {
  std::memset(context.pathBuffer, 0, sizeof context.pathBuffer);
  if (context.beginItem != nullptr) {
    context.beginItem(context.userData, kind, context.pathBuffer, &context.cancel);
  }
  context.pathBuffer[sizeof context.pathBuffer - 1] = '\0';
  return context.cancel != 0;
}

bool EndItem(CameraContext& context, DWORD status) {
  if (context.endItem != nullptr) {
    context.endItem(context.userData, status, context.pathBuffer, &context.cancel);
  }
  return context.cancel != 0;
}

}  // namespace ksv::camapi

extern "C" {

KXCAMAPI_HANDLE KXCAMAPI_Init(KXCAMAPI_BeginItemCallback begin, KXCAMAPI_EndItemCallback end,
                              intptr_t userData, HINSTANCE module, HWND window) {
  return ksv::support::NoThrow<KXCAMAPI_HANDLE>(nullptr, [&]() -> KXCAMAPI_HANDLE {
    return ksv::camapi::Open(false, begin, end, userData, module, window);
  });
}

KXCAMAPI_HANDLE KXCAMAPI_InitKSV(KXCAMAPI_BeginItemCallback begin, KXCAMAPI_EndItemCallback end,
                                 intptr_t userData, HINSTANCE module, HWND window) {
  return ksv::support::NoThrow<KXCAMAPI_HANDLE>(nullptr, [&]() -> KXCAMAPI_HANDLE {
    return ksv::camapi::Open(true, begin, end, userData, module, window);
  });
}

int KXCAMAPI_Reset(KXCAMAPI_HANDLE context) {
  return ksv::support::NoThrow<int>(static_cast<int>(KXCAMAPI_OUT_OF_MEMORY), [&]() -> int {
    if (context == nullptr) return KXCAMAPI_NO_CONTEXT;
    ksv::camapi::Teardown(context);
    return KXCAMAPI_OK;
  });
}

}  // extern "C"
