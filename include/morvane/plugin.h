/*
 * morvane/plugin.h - the contract between Morvane Player and a plug-in library.
 *
 * A plug-in is a shared library (ELF .so) with C exports. A plug-in window on a
 * page names the library in its Path; shortly after the page is built the
 * player loads the library and calls, in this order and each only when the
 * library exports it:
 *
 *     SetParentWindow(window)           first
 *     Draw(canvas, 0, 0, width, height)
 *     SetPath(project folder)
 *     Show()                            last
 *
 * Scripts then reach the library through object actions: 65 sends a file
 * (SetFile) or a number (SetData), 67 reads them back (GetFile, GetData), 66
 * calls any export by name, and 8 resizes the window and calls
 * Draw(NULL, 0, 0, width, height). Every export is optional.
 *
 * Every call comes on the player's main thread, one at a time; a call that
 * blocks blocks the player. Strings are zero-terminated UTF-8; host paths are
 * the host's own paths ("/home/ann/project/notes.txt"). See docs/plugins.md
 * for the whole contract.
 */
#ifndef MORVANE_PLUGIN_H
#define MORVANE_PLUGIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The version of this contract. */
#define MORVANE_PLUGIN_API_VERSION 1

/* Marks a function as an export the player can find, whatever visibility the
 * library is built with (-fvisibility=hidden is a good default). */
#if defined(__GNUC__) || defined(__clang__)
#define MORVANE_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define MORVANE_PLUGIN_EXPORT
#endif

/*
 * What the plug-in draws into: the window's pixels, shown by the player in
 * the plug-in window after each call into the plug-in returns.
 *
 * A pixel is a 32-bit value 0xAARRGGBB (alpha, red, green, blue; not
 * premultiplied): 0xFF0000FF is opaque blue. Alpha 0 lets the page show
 * through; a fresh canvas is all 0 (transparent). Row y starts at
 * (uint8_t*)pixels + y * stride.
 *
 * The pointer handed to the first Draw stays valid for the life of the
 * window and may be kept; draw into it during any call from the player. When
 * the window is resized the player updates the fields in place (the old
 * pixels are kept at the top left, the new area is transparent) before it
 * calls Draw(NULL, ...), so read pixels, width, height and stride again each
 * time. pixels is NULL when the window is empty (no width or no height).
 */
typedef struct MorvaneCanvas {
  uint32_t* pixels;
  int32_t width;
  int32_t height;
  int32_t stride; /* bytes from one row to the next, at least 4 * width */
} MorvaneCanvas;

/* The exports, by the names the player looks up. */

/* window: the native window id of the plug-in window (an X11 window on X11),
 * 0 where there is none (Wayland, headless runs). A fault in this call ends
 * the player. */
typedef void (*MorvaneSetParentWindowFn)(uintptr_t window);

/* At start: canvas, 0, 0 and the window's width and height. On every resize
 * (object action 8): NULL, 0, 0 and the new width and height. */
typedef void (*MorvaneDrawFn)(MorvaneCanvas* canvas, int32_t x, int32_t y, int32_t w, int32_t h);

/* The project's folder as a host path, without a trailing slash. */
typedef void (*MorvaneSetPathFn)(const char* folder);

typedef void (*MorvaneShowFn)(void);

/* Action 65 with a path: the host path the script's path names (the text as
 * the script gave it when it names no host file). The string lives only
 * during the call: copy it to keep it. */
typedef void (*MorvaneSetFileFn)(const char* path);

/* Action 65 with a number: the number rounded to an integer. */
typedef void (*MorvaneSetDataFn)(int32_t value);

/* Action 67 into a string variable. The player copies the string at once and
 * never frees it; return storage that outlives the call (a static buffer).
 * NULL reads as "". An absolute host path reaches the script as the Windows
 * path scripts use for that file. */
typedef const char* (*MorvaneGetFileFn)(void);

/* Action 67 into a numeric variable, or into a truth variable (true when the
 * value is greater than 0). */
typedef int32_t (*MorvaneGetDataFn)(void);

/* Action 66 calls any exported function of the library by its name, as this
 * type; its result, if any, is ignored. */
typedef void (*MorvaneAnyFn)(void);

#ifdef __cplusplus
}
#endif

#endif /* MORVANE_PLUGIN_H */
