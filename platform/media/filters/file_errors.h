// What a failed file call (its errno) means as a result code, for the file
// filters: the Win32 error the platform reports for the same failure.
#pragma once

#include <cerrno>

#include "include/win32_errors.h"
#include "platform/com/hresult.h"

namespace ksv::media::filters {

inline HRESULT HresultFromErrno(int error) {
  switch (error) {
    case 0: return E_FAIL;  // a failure without a reason (a short write)
    case ENOENT: return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    case ENOTDIR: return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    case EACCES:
    case EPERM:
    case EISDIR: return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    case EROFS: return HRESULT_FROM_WIN32(ERROR_WRITE_PROTECT);
    case EMFILE:
    case ENFILE: return HRESULT_FROM_WIN32(ERROR_TOO_MANY_OPEN_FILES);
    case EEXIST: return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
    case ENOSPC:
    case EDQUOT: return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
    case ENAMETOOLONG: return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    case EFBIG: return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    case ENOMEM: return E_OUTOFMEMORY;
    case EINVAL: return E_INVALIDARG;
    default: return E_FAIL;
  }
}

}  // namespace ksv::media::filters
