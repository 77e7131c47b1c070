/* The one declaration of macOS's <sys/xattr.h> that the plug-in uses, for the
 * Zig toolchain of tools/macos-check.sh, whose macOS headers lack the file.
 * Found after the real include paths (-idirafter): a toolchain that has the
 * header uses its own. C linkage, as in macOS's header: a C++ declaration
 * would leave a mangled name that no macOS library defines. */
#ifndef VELKORA_MACOS_CHECK_SYS_XATTR_H
#define VELKORA_MACOS_CHECK_SYS_XATTR_H
#include <sys/types.h>
#ifdef __cplusplus
extern "C" {
#endif
ssize_t flistxattr(int fd, char *namebuf, size_t size, int options);
#ifdef __cplusplus
}
#endif
#endif
