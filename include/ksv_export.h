/* The one export macro of the system's shared libraries and plug-ins. They
 * are built with hidden visibility, so only what is marked KSV_EXPORT is in
 * their dynamic symbol table: the C functions their users link against. */
#ifndef KSV_INCLUDE_KSV_EXPORT_H
#define KSV_INCLUDE_KSV_EXPORT_H

#define KSV_EXPORT __attribute__((visibility("default")))

#endif /* KSV_INCLUDE_KSV_EXPORT_H */
