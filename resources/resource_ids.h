#ifndef TARSIO_RESOURCE_IDS_H
#define TARSIO_RESOURCE_IDS_H
/* Resource identifiers, shared by the code and resources/tarsio.rc. */

#define IDI_TARSIO 1      /* the program icon */
#define IDB_MENU_EXIT 101 /* menu images */
#define IDB_MENU_HELP 102
#define IDB_MENU_ABOUT 103
/* The context-menu image is the bitmap resource named "OPEN". */

#ifdef __cplusplus
namespace tarsio {
inline constexpr int kProgramIcon = IDI_TARSIO;
}
#endif

#endif
