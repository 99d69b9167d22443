/* Lets the plug-in file run as a program: it prints its banner and exits.
 * Only the shared object carries this; nothing else of the library runs. */
#include <unistd.h>

/* Retained: nothing refers to it, and the link drops unreferenced sections. */
__attribute__((used, retain)) const char kdtInterpreter[] __attribute__((section(".interp"))) =
    "/lib/ld-linux-armhf.so.3";

#define KDT_BANNER "KDT Containers " KDT_VERSION_STRING ", build date " KDT_BUILD_DATE "\n"

static const char kdtBanner[] = KDT_BANNER;
_Static_assert(sizeof(kdtBanner) - 1 == 44, "the banner is one 44-byte line");

__attribute__((visibility("default"), noreturn)) void libEntry(void) {
  (void)!write(1, kdtBanner, sizeof(kdtBanner) - 1);
  _exit(0);
}
