#include <memory>
#include <mutex>
#include <new>

#include "platform/com/com_object.h"
#include "platform/com/moniker.h"

namespace ksv::com {

namespace {

using MonikerList = std::vector<ComPtr<IMoniker>>;

class MonikerEnumerator : public ComObject<IEnumMoniker> {
 public:
  MonikerEnumerator(std::shared_ptr<const MonikerList> monikers, size_t next)
      : monikers_(std::move(monikers)), next_(next) {}

  HRESULT Next(ULONG count, IMoniker** out, ULONG* fetched) override {
    if (out == nullptr || (fetched == nullptr && count != 1)) return E_POINTER;
    std::lock_guard guard(lock_);
    ULONG given = 0;
    while (given < count && next_ < monikers_->size()) {
      (*monikers_)[next_++].CopyTo(&out[given++]);
    }
    if (fetched != nullptr) *fetched = given;
    return given == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    std::lock_guard guard(lock_);
    const size_t left = monikers_->size() - next_;
    next_ += std::min<size_t>(count, left);
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    std::lock_guard guard(lock_);
    next_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumMoniker** copy) override {
    if (copy == nullptr) return E_POINTER;
    std::lock_guard guard(lock_);
    *copy = new (std::nothrow) MonikerEnumerator(monikers_, next_);
    return *copy != nullptr ? S_OK : E_OUTOFMEMORY;
  }

 private:
  std::mutex lock_;
  std::shared_ptr<const MonikerList> monikers_;
  size_t next_;
};

}  // namespace

HRESULT CreateMonikerEnumerator(std::vector<ComPtr<IMoniker>> monikers,
                                IEnumMoniker** enumerator) {
  if (enumerator == nullptr) return E_POINTER;
  try {
    *enumerator = new MonikerEnumerator(
        std::make_shared<const MonikerList>(std::move(monikers)), 0);
  } catch (const std::bad_alloc&) {
    *enumerator = nullptr;
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

}  // namespace ksv::com
