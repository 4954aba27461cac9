/*
 * gauge: an example Morvane Player plug-in.
 *
 * It draws a gauge: a panel in one of four colours, a bar as long as the
 * number it keeps (0 to 100) and the number in large digits. It keeps a file
 * path and a number for the scripts, and exports one function of its own,
 * NextColour, that scripts call with object action 66.
 *
 *   10(3,"Gauge").65(42)                   SetData(42): the bar and digits show 42
 *   10(3,"Gauge").65("[src]notes.txt")     SetFile("/home/ann/project/notes.txt")
 *   10(3,"Gauge").67("#n")                 #n = GetData()
 *   10(3,"Gauge").67("$f")                 $f = GetFile(), as a Windows path again
 *   10(3,"Gauge").66("NextColour")         the panel takes the next colour
 *   10(3,"Gauge").8(300,80)                resize: Draw(NULL, 0, 0, 300, 80)
 *
 * Build it as a shared library from C with the player's header:
 *
 *   cc -shared -fPIC -fvisibility=hidden gauge.c -o gauge.so
 *
 * and name gauge.so (or gauge.dll, for a project made on Windows) in the
 * plug-in window's Path.
 */
#include <morvane/plugin.h>

#include <stddef.h>
#include <string.h>

/* Everything the plug-in keeps. The player loads the library once for each
 * plug-in window, so each window has its own copy of these. */
static MorvaneCanvas* canvas;  /* valid for the life of the window */
static int32_t number;
static char file[4096];
static char folder[4096];
static int colour;
static uintptr_t parent;

static const uint32_t kPanels[] = {0xFF1E3A5Fu, 0xFF2E5E3Au, 0xFF5E2E4Au, 0xFF5E4A1Eu};
static const uint32_t kBar = 0xFFF0C040u;
static const uint32_t kDigits = 0xFFFFFFFFu;

/* Digits 0 to 9 and '-', 3 wide and 5 high, one row a byte (bit 2 left). */
static const unsigned char kFont[11][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
    {0, 0, 7, 0, 0},
};

static void Fill(int x, int y, int w, int h, uint32_t pixel) {
  if (!canvas || !canvas->pixels) return;
  for (int row = y < 0 ? 0 : y; row < y + h && row < canvas->height; ++row) {
    uint32_t* line = (uint32_t*)((unsigned char*)canvas->pixels + (size_t)row * canvas->stride);
    for (int col = x < 0 ? 0 : x; col < x + w && col < canvas->width; ++col) line[col] = pixel;
  }
}

static void Glyph(int glyph, int x, int y, int scale) {
  for (int row = 0; row < 5; ++row)
    for (int col = 0; col < 3; ++col)
      if (kFont[glyph][row] & (4 >> col))
        Fill(x + col * scale, y + row * scale, scale, scale, kDigits);
}

static void Render(void) {
  if (!canvas || !canvas->pixels) return;
  const int w = canvas->width, h = canvas->height;
  Fill(0, 0, w, h, kPanels[colour]);
  /* The bar along the bottom quarter. */
  int shown = number < 0 ? 0 : number > 100 ? 100 : number;
  Fill(4, h - h / 4, (w - 8) * shown / 100, h / 4 - 4, kBar);
  /* The number, as large as the upper part allows. */
  char text[16];
  int length = 0;
  long value = number;
  unsigned long magnitude = value < 0 ? 0ul - (unsigned long)value : (unsigned long)value;
  do {
    text[length++] = (char)('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude && length < 12);
  if (value < 0) text[length++] = '-';
  int scale = (h - h / 4 - 8) / 5;
  if (scale * 4 * length > w - 8) scale = (w - 8) / (4 * length);
  if (scale < 1) return;
  int x = (w - scale * (4 * length - 1)) / 2;
  for (int i = length - 1; i >= 0; --i, x += 4 * scale)
    Glyph(text[i] == '-' ? 10 : text[i] - '0', x, 4, scale);
}

static void Copy(char* to, size_t size, const char* from) {
  if (!from) from = "";
  strncpy(to, from, size - 1);
  to[size - 1] = '\0';
}

MORVANE_PLUGIN_EXPORT void SetParentWindow(uintptr_t window) {
  /* An X11 window id, or 0: this plug-in draws into its canvas only. */
  parent = window;
}

MORVANE_PLUGIN_EXPORT void Draw(MorvaneCanvas* c, int32_t x, int32_t y, int32_t w, int32_t h) {
  /* At start the canvas, on a resize NULL: the kept canvas has the new size. */
  if (c) canvas = c;
  Render();
}

MORVANE_PLUGIN_EXPORT void SetPath(const char* project_folder) {
  Copy(folder, sizeof folder, project_folder);
}

MORVANE_PLUGIN_EXPORT void Show(void) {
  Render();
}

MORVANE_PLUGIN_EXPORT void SetFile(const char* path) {
  Copy(file, sizeof file, path);
}

MORVANE_PLUGIN_EXPORT void SetData(int32_t value) {
  number = value;
  Render();
}

MORVANE_PLUGIN_EXPORT const char* GetFile(void) {
  return file;
}

MORVANE_PLUGIN_EXPORT int32_t GetData(void) {
  return number;
}

/* The plug-in's own function, for action 66. */
MORVANE_PLUGIN_EXPORT void NextColour(void) {
  colour = (colour + 1) % (int)(sizeof kPanels / sizeof kPanels[0]);
  Render();
}
