/* A program of someone else's: downloads the pictures stored in the camera
 * into a folder through the installed camera access library, with its own
 * callbacks, as the README shows.
 *   download_pictures FOLDER
 * Prints the library's module file, then one line per picture and a count.
 * Exit status 0 only when every stored picture arrived as a JPEG file. */
#include <stdio.h>
#include <string.h>

#include <ksv/oksv1api.h>
#include <ksv/win32_calls.h>

struct Download {
  const char* folder;
  int begun;
  int written;
  int failed;
};

static void BeginPicture(intptr_t user, int kind, char* path, int32_t* cancel) {
  struct Download* download = (struct Download*)user;
  (void)cancel;
  snprintf(path, KXCAMAPI_PATH_BYTES, "%s/picture%02d-kind%d.jpg", download->folder,
           download->begun++, kind);
}

/* A file is whole when it starts and ends with the JPEG markers. */
static int IsJpegFile(const char* path) {
  unsigned char start[2] = {0, 0};
  unsigned char end[2] = {0, 0};
  FILE* file = fopen(path, "rb");
  int whole = 0;
  if (file == NULL) return 0;
  if (fread(start, 1, 2, file) == 2 && fseek(file, -2, SEEK_END) == 0 &&
      fread(end, 1, 2, file) == 2) {
    whole = start[0] == 0xFF && start[1] == 0xD8 && end[0] == 0xFF && end[1] == 0xD9;
  }
  fclose(file);
  return whole;
}

static void EndPicture(intptr_t user, DWORD status, char* path, int32_t* cancel) {
  struct Download* download = (struct Download*)user;
  (void)cancel;
  if (status == 0 && IsJpegFile(path)) {
    ++download->written;
    printf("picture %s\n", path);
  } else {
    ++download->failed;
    printf("failed %s (status %lu)\n", path, (unsigned long)status);
  }
}

int main(int argc, char** argv) {
  struct Download download = {NULL, 0, 0, 0};
  HMODULE module;
  HWND window;
  KXCAMAPI_HANDLE camera;
  char file[KXCAMAPI_PATH_BYTES];
  int high = 0;
  int low = 0;
  int bursts = 0;
  int status;

  if (argc != 2) {
    fprintf(stderr, "usage: download_pictures FOLDER\n");
    return 2;
  }
  download.folder = argv[1];
  module = GetModuleHandleA("OKSV1API.DLL");
  window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, NULL, NULL, module, NULL);
  if (module == NULL || window == NULL || GetModuleFileNameA(module, file, sizeof file) == 0) {
    fprintf(stderr, "no module or window\n");
    return 1;
  }
  printf("module %s\n", file);

  camera = KXCAMAPI_Init(BeginPicture, EndPicture, (intptr_t)&download, module, window);
  if (camera == NULL) {
    fprintf(stderr, "no camera\n");
    return 1;
  }
  if (KXCAMAPI_GetNumHQImg(camera, &high) != KXCAMAPI_OK ||
      KXCAMAPI_GetNumLQImg(camera, &low) != KXCAMAPI_OK ||
      KXCAMAPI_GetNumBurst(camera, &bursts) != KXCAMAPI_OK) {
    fprintf(stderr, "cannot count the pictures\n");
    KXCAMAPI_Reset(camera);
    return 1;
  }
  status = KXCAMAPI_Download(camera);
  KXCAMAPI_Reset(camera);
  DestroyWindow(window);

  printf("%d pictures stored, %d downloaded, %d failed, status %d\n", high + low + bursts,
         download.written, download.failed, status);
  return status == KXCAMAPI_OK && download.failed == 0 && download.written == high + low + bursts &&
                 download.written > 0
             ? 0
             : 1;
}
