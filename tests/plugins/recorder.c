/*
 * A plug-in that records every call the player makes into it: one line per
 * call, "<instance> <export> <arguments>", appended to the file named by the
 * environment variable MORVANE_PLUGIN_LOG. Built in variants that leave
 * exports out or fault inside one:
 *
 *   ONLY_SHOW        exports Show alone
 *   NO_PARENT        no SetParentWindow
 *   FAULT_IN_PARENT  SetParentWindow writes through a null pointer
 *   FAULT_IN_DRAW    Draw at start writes through a null pointer
 */
#include <morvane/plugin.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define EXPORT MORVANE_PLUGIN_EXPORT

#define UNUSED __attribute__((unused))

static UNUSED MorvaneCanvas* kept;
static int32_t number;
static UNUSED char file[1024];

static void Note(const char* format, ...) __attribute__((format(printf, 1, 2)));

static void Note(const char* format, ...) {
  const char* path = getenv("MORVANE_PLUGIN_LOG");
  if (!path) return;
  FILE* log = fopen(path, "a");
  if (!log) return;
  /* The address of a global tells two loads of the library apart. */
  fprintf(log, "%p ", (void*)&number);
  va_list args;
  va_start(args, format);
  vfprintf(log, format, args);
  va_end(args);
  fputc('\n', log);
  fclose(log);
}

static UNUSED void Fault(void) {
  volatile int* nowhere = NULL;
  *nowhere = 1;
}

EXPORT void Show(void) {
  Note("Show");
}

#ifndef ONLY_SHOW

#ifndef NO_PARENT
EXPORT void SetParentWindow(uintptr_t window) {
  Note("SetParentWindow %s", window ? "window" : "0");
#ifdef FAULT_IN_PARENT
  Fault();
#endif
}
#endif

EXPORT void Draw(MorvaneCanvas* canvas, int32_t x, int32_t y, int32_t w, int32_t h) {
  if (canvas) kept = canvas;
  Note("Draw %s %d %d %d %d canvas %dx%d %s", canvas ? "canvas" : "null", x, y, w, h,
       kept ? kept->width : -1, kept ? kept->height : -1,
       kept && kept->pixels && kept->stride >= 4 * kept->width ? "pixels" : "none");
#ifdef FAULT_IN_DRAW
  Fault();
#endif
  /* Opaque green over the whole canvas. */
  if (kept && kept->pixels)
    for (int row = 0; row < kept->height; ++row)
      for (int col = 0; col < kept->width; ++col)
        ((uint32_t*)((char*)kept->pixels + row * kept->stride))[col] = 0xFF00C000u;
}

EXPORT void SetPath(const char* folder) {
  Note("SetPath %s", folder);
}

EXPORT void SetFile(const char* path) {
  Note("SetFile %s", path);
  strncpy(file, path, sizeof file - 1);
}

EXPORT void SetData(int32_t value) {
  Note("SetData %d", value);
  /* A number the scripts use to make the plug-in fault. */
  if (value == -13) Fault();
  number = value;
}

EXPORT const char* GetFile(void) {
  Note("GetFile");
  return file[0] ? file : NULL;
}

EXPORT int32_t GetData(void) {
  Note("GetData");
  return number;
}

EXPORT void Poke(void) {
  Note("Poke");
}

EXPORT void Crash(void) {
  Note("Crash");
  Fault();
}

/* An exported variable is no function to call. */
EXPORT int Counter = 5;

#endif
