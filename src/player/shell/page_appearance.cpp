#include "player/shell/page_appearance.h"

#include "expr/eval_error.h"
#include "player/assets/background.h"
#include "player/assets/fonts.h"
#include "player/objects/page_objects.h"
#include "player/shell/page_window.h"
#include "player/shell/player.h"
#include "util/fd_io.h"

#include <QWindow>

#include <algorithm>
#include <filesystem>

namespace morvane {
namespace {

constexpr Qt::WindowFlags kIconHints = Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                       Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                       Qt::WindowContextHelpButtonHint;

QRgb ColourOf(uint32_t colour) {
  return qRgb(int(colour & 0xff), int((colour >> 8) & 0xff), int((colour >> 16) & 0xff));
}

// Changes the flags of a window that exists in place: re-creating it would
// hide and show the page, and that runs its close and show scripts.
void SetFlags(QWidget& window, Qt::WindowFlags flags) {
  if (flags == window.windowFlags()) return;
  if (QWindow* handle = window.windowHandle()) {
    window.overrideWindowFlags(flags);
    handle->setFlags(flags);
  } else {
    window.setWindowFlags(flags);
  }
}

bool Borderless(const QWidget& window) {
  return window.windowFlags().testFlag(Qt::FramelessWindowHint);
}

bool Sizeable(const QWidget& window) {
  return window.minimumSize() != window.maximumSize();
}

void SetSizeable(QWidget& window, bool on) {
  if (on) {
    window.setMinimumSize(0, 0);
    window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  } else {
    window.setFixedSize(window.size());
  }
}

// The border icons the look asks for, as far as the border shows them.
void ApplyIcons(TQMForm& page) {
  Qt::WindowFlags flags = page.windowFlags() & ~kIconHints;
  const PageLook& look = page.look();
  if (!Borderless(page) && look.system_menu) {
    flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (look.minimize_icon) flags |= Qt::WindowMinimizeButtonHint;
    if (look.maximize_icon && Sizeable(page)) flags |= Qt::WindowMaximizeButtonHint;
    if (look.help_icon) flags |= Qt::WindowContextHelpButtonHint;
  }
  SetFlags(page, flags);
}

// 0 single, 1 tool window, anything else no border. Keeps the client size.
void SetBorder(TQMForm& page, int kind) {
  Qt::WindowFlags flags = page.windowFlags() & ~Qt::WindowType_Mask;
  flags &= ~(Qt::FramelessWindowHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  if (kind >= 2) {
    flags |= Qt::Window | Qt::FramelessWindowHint;
  } else {
    flags |= (kind == 1 ? Qt::Tool : Qt::Window) | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  }
  SetFlags(page, flags);
  // Single and tool-window borders are fixed; 68 makes them sizeable again.
  if (kind < 2) SetSizeable(page, false);
  ApplyIcons(page);
}

// Width and height are the window's outer size, frame included.
void SetOuterSize(TQMForm& page, int width, int height) {
  QSize frame = page.frameGeometry().size() - page.geometry().size();
  QSize client(std::clamp(width - frame.width(), 1, 16384),
               std::clamp(height - frame.height(), 1, 16384));
  if (Sizeable(page))
    page.resize(client);
  else
    page.setFixedSize(client);
}

void FocusObject(TQMForm& page, const std::string& object) {
  QWidget* target = qobject_cast<QWidget*>(page.objects().FindComponent("OBJ" + object));
  if (!target) {
    if (QWidget* focus = page.focusWidget()) focus->clearFocus();
    return;
  }
  if (!target->isVisible() || !target->isEnabled()) {
    throw ScriptError("Cannot focus a disabled or invisible window");
  }
  target->setFocus(Qt::OtherFocusReason);
}

// The picture of a file a script names (a Windows path, no macros).
QImage LoadPictureFile(Player& player, const std::string& path) {
  std::optional<std::string> host = player.environment().drives().ToHost(path);
  std::error_code ec;
  if (!host || !std::filesystem::is_regular_file(*host, ec)) {
    throw ScriptError("Cannot open file \"" + path +
                      "\". The system cannot find the file specified.");
  }
  std::optional<std::string> bytes = ReadRegularFile(*host);
  if (!bytes) throw ScriptError("Cannot open file \"" + path + "\". Access is denied.");
  QImage image = DecodeBackground(*bytes);
  if (image.isNull()) throw ScriptError("Bitmap image is not valid");
  return image;
}

// The codes that change the background component; false for the others.
bool ChangeBackground(Player& player, PageBackground& background, const AppearanceChange& c) {
  BackgroundFilters f = background.filters();
  switch (c.code) {
    case 81:
      background.SetPicture(LoadPictureFile(player, c.text));
      return true;
    case 82:
      background.SetDrawStyle(c.number);
      return true;
    case 83:
      background.SetSmooth(c.on);
      return true;
    case 84:
      f.grayscale = c.on;
      break;
    case 85:
      f.flip_horizontal = c.on;
      break;
    case 86:
      f.flip_vertical = c.on;
      break;
    case 87:
      f.emboss = c.on;
      break;
    case 88:
      f.invert = c.on;
      break;
    case 89:
      background.SetTransparent(c.on);
      return true;
    case 90:
      background.SetTransparentColour(ColourOf(c.colour));
      return true;
    case 91:
      f.lightness = c.number;
      break;
    case 92:
      f.blur = c.number;
      break;
    case 93:
      f.contrast = c.number;
      break;
    case 94:
      f.saturation = c.number;
      break;
    case 95:
      f.sharpen = c.number;
      break;
    case 96:
      f.sponge = c.number;
      break;
    default:
      return false;
  }
  background.SetFilters(f);
  return true;
}

}  // namespace

void ApplyPageAppearance(Player& player, TQMForm& page, const AppearanceChange& c) {
  PageLook& look = page.look();
  bool repaint = false;
  switch (c.code) {
    case 57:
      FocusObject(page, c.text);
      break;
    case 59:
      page.setWindowTitle(PackageText(c.text, 1, player.code_page()));
      break;
    case 60:
      page.move(c.number, c.second);
      break;
    case 61:
      SetOuterSize(page, c.number, c.second);
      break;
    case 62:
      page.setLayoutDirection(c.on ? Qt::RightToLeft : Qt::LeftToRight);
      break;
    case 64:
      look.system_menu = c.on;
      ApplyIcons(page);
      break;
    case 65:
      look.minimize_icon = c.on;
      ApplyIcons(page);
      break;
    case 66:
      look.maximize_icon = c.on;
      ApplyIcons(page);
      break;
    case 67:
      look.help_icon = c.on;
      ApplyIcons(page);
      break;
    case 68:
      // Only single and tool-window borders have a sizeable form.
      if (Borderless(page)) break;
      SetSizeable(page, c.on);
      ApplyIcons(page);
      break;
    case 69:
      SetFlags(page, c.on ? page.windowFlags() | Qt::WindowStaysOnTopHint
                          : page.windowFlags() & ~Qt::WindowStaysOnTopHint);
      break;
    case 70:
      look.frame_shape = c.on;
      repaint = true;
      break;
    case 71:
      if (c.number < 0 || c.number > 3) break;
      SetBorder(page, c.number);
      if (c.number == 2) player.SetDragByBackground(true);
      if (c.number == 3) player.SetDragByBackground(false);
      break;
    case 73:
      page.SetScrollBar(Qt::Horizontal, c.on);
      break;
    case 74:
      page.SetScrollBar(Qt::Vertical, c.on);
      break;
    case 75:
      look.alpha_blend = c.on;
      page.setWindowOpacity(look.Opacity());
      break;
    case 76:
      look.alpha = c.number & 0xff;
      page.setWindowOpacity(look.Opacity());
      break;
    case 77:
      look.colour_key = c.on;
      repaint = true;
      break;
    case 78:
      look.key_colour = ColourOf(c.colour);
      repaint = true;
      break;
    case 79:
      // Qt always paints through a back buffer; the setting is only kept.
      look.double_buffered = c.on;
      break;
    case 80:
      look.colour = QColor(ColourOf(c.colour));
      repaint = true;
      break;
    case 100:
      page.setEnabled(c.on);
      break;
    case 101:
      player.cursors().Apply(page.surface(), c.number);
      break;
    default:
      repaint = ChangeBackground(player, look.background, c);
      break;
  }
  if (!repaint) return;
  page.surface().update();
  if (look.colour_key || c.code == 77) page.UpdateColourKeyMask();
}

}  // namespace morvane
