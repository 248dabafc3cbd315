#include "ui/Pictures.h"

namespace {

struct CachedPicture {
    bool used = false;
    Ref<Picture> picture;
};

Ref<Picture> cached(CachedPicture& cache, const char* fileName) {
    if (!cache.used) {
        cache.used = true;
        cache.picture = nullptr;
    }
    if (!cache.picture) cache.picture = RuntimeGetPictureFromResourceManager(fileName);
    return cache.picture;
}

}  // namespace

#define BREVOLAN_PICTURE(accessor, file) \
    Ref<Picture> accessor() {            \
        static CachedPicture cache;      \
        return cached(cache, file);      \
    }

BREVOLAN_PICTURE(_x_mac, "mac.png")
BREVOLAN_PICTURE(_x_csv, "csv.png")
BREVOLAN_PICTURE(_x_linux, "linux.png")
BREVOLAN_PICTURE(_x_brevolan, "brevolan.png")
BREVOLAN_PICTURE(_x_windows, "windows.png")
BREVOLAN_PICTURE(_x_settings, "settings.png")
BREVOLAN_PICTURE(_x_arrow, "arrow.png")
BREVOLAN_PICTURE(_x_about_16, "about_16.gif")
BREVOLAN_PICTURE(_x_exit_16, "exit_16.png")
BREVOLAN_PICTURE(_x_help_16, "help_16.png")
BREVOLAN_PICTURE(_x_elephant, "elephant.png")
