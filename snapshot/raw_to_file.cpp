// KXSNAPSHOT_RawToFile: checks the call, opens the snapshot file and hands
// it to the reader.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/no_throw.h"
#include "include/oksv1sna.h"
#include "snapshot/last_snapshot_path.h"
#include "snapshot/snapshot_reader.h"

extern "C" int32_t KXSNAPSHOT_RawToFile(double /*rawDataType: changes nothing*/,
                                        const char* path, int32_t mode, HGLOBAL* bitmap) {
  return ksv::support::NoThrow<int32_t>(KXSNAPSHOT_NO_BITMAP, [&]() -> int32_t {
    if (path == nullptr) return KXSNAPSHOT_REFUSED;
    ksv::snapshot::KeepSnapshotPath(path);
    if (mode != KXSNAPSHOT_MODE_CONVERT || bitmap == nullptr) return KXSNAPSHOT_REFUSED;

    *bitmap = nullptr;
    // Non-blocking so that a named pipe in the snapshot's place cannot hang the
    // caller; it is refused below like any other file that is not plain.
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return KXSNAPSHOT_CANNOT_OPEN;
    struct stat info {};
    int32_t status;
    if (fstat(fd, &info) != 0) {
      status = KXSNAPSHOT_NO_SIZE;
    } else if (!S_ISREG(info.st_mode)) {
      status = KXSNAPSHOT_CANNOT_OPEN;
    } else {
      status = ksv::snapshot::ReadSnapshotBitmap(fd, static_cast<uint64_t>(info.st_size), bitmap);
    }
    close(fd);
    return status;
  });
}
