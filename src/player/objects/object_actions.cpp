#include "player/objects/object_actions.h"

#include "expr/evaluator.h"
#include "platform/path_macros.h"
#include "player/assets/fonts.h"
#include "player/assets/picture_reader.h"
#include "player/objects/button_object.h"
#include "player/objects/classic_look.h"
#include "player/objects/edit_object.h"
#include "player/objects/image_object.h"
#include "player/objects/list_box_object.h"
#include "player/objects/media_objects.h"
#include "player/objects/page_objects.h"
#include "player/objects/shape_object.h"
#include "player/objects/text_object.h"
#include "player/objects/timer_object.h"
#include "player/shell/page_window.h"
#include "player/shell/player.h"
#include "player/shell/player_stage.h"
#include "util/ascii_case.h"
#include "util/code_page.h"
#include "util/colour_string.h"
#include "util/font_string.h"
#include "util/int_text.h"
#include "util/number_text.h"
#include "util/quoted_text.h"

#include <QVariant>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <vector>

namespace morvane {
namespace {

// The character set an object's texts are in: the one its last font action
// gave it, else the package's.
constexpr const char* kCharsetProperty = "MorvaneCharset";
// A timer a script enabled while its interval was 0: it ticks once it gets one.
constexpr const char* kWaitingProperty = "MorvaneEnabledWithoutInterval";

class ActionFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

QColor ToQ(uint32_t value) {
  return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

Colour ToColour(uint32_t value) {
  return Colour{uint8_t(value & 0xFF), uint8_t((value >> 8) & 0xFF), uint8_t((value >> 16) & 0xFF)};
}

// The arguments of one action and their evaluation in each kind.
class Arguments {
 public:
  Arguments(Player& player, Evaluator& evaluator, const ActionArguments& raw)
      : m_player(player), m_evaluator(evaluator), m_raw(raw) {}

  const std::string& R(size_t i) const { return m_raw[i]; }
  std::string S(size_t i) { return m_evaluator.String(m_raw[i]); }
  double D(size_t i) { return m_evaluator.Number(m_raw[i]); }
  int32_t N(size_t i) {
    const double value = D(i);
    const std::optional<int64_t> rounded = RoundHalfEven(value);
    if (!rounded || *rounded > INT32_MAX || *rounded < INT32_MIN)
      throw ConversionError(FloatToText(rounded ? double(*rounded) : value));
    return int32_t(*rounded);
  }
  bool B(size_t i) {
    const double value = D(i);
    const std::optional<int64_t> rounded = RoundHalfEven(value);
    return rounded ? *rounded > 0 : value > 0;
  }
  uint32_t C(size_t i) { return ParseColourString(AsciiUpper(S(i))); }
  std::string P(size_t i) { return ExpandPathMacros(S(i), m_player.environment().macro_folders()); }
  std::string E(size_t i) { return UncarryEventScript(S(i)); }

 private:
  Player& m_player;
  Evaluator& m_evaluator;
  const ActionArguments& m_raw;
};

int Charset(PageObjectItem& item) {
  QVariant set = item.AsObject()->property(kCharsetProperty);
  return set.isValid() ? set.toInt() : item.model().charset;
}

// Number-to-style maps; anything else gives the first value of the target.
uint8_t PenStyle(int32_t n) {
  return n >= 0 && n <= 5 ? uint8_t(n) : 1;
}
uint8_t BrushStyle(int32_t n) {
  return n >= 0 && n <= 7 ? uint8_t(n) : 1;
}
int Bevel(int32_t n) {
  return n >= 0 && n <= 3 ? n : 3;
}

// The font of a font string; the default font when it names none.
QFont FontOf(const std::optional<FontSpec>& spec, int code_page) {
  if (!spec) return WindowsFont("MS Sans Serif", 8, 1, code_page);
  QFont font = WindowsFont(spec->name, spec->size, spec->charset, code_page);
  font.setBold(spec->bold);
  font.setItalic(spec->italic);
  font.setUnderline(spec->underline);
  font.setStrikeOut(spec->strike_out);
  return font;
}

// Puts the widget at `order` among the page objects in its parent's tab
// order, the others moving up.
void SetTabOrder(PageObjects& objects, QWidget& widget, int32_t order) {
  QWidget* parent = widget.parentWidget();
  if (!parent) return;
  std::vector<QWidget*> chain;
  auto is_object = [&](QWidget* w) {
    return std::any_of(objects.objects().begin(), objects.objects().end(),
                       [w](PageObjectItem* o) { return o->AsWidget() == w; });
  };
  // The focus chain runs through the whole window; its length bounds the walk.
  QWidget* next = parent->nextInFocusChain();
  for (int guard = 0; next && next != parent && guard < 100000; ++guard) {
    // Only objects that take the focus by tabbing have a place in the order.
    if (next->parentWidget() == parent && next != &widget && (next->focusPolicy() & Qt::TabFocus) &&
        is_object(next)) {
      chain.push_back(next);
    }
    next = next->nextInFocusChain();
  }
  const size_t at = size_t(std::clamp<int64_t>(order, 0, int64_t(chain.size())));
  chain.insert(chain.begin() + ptrdiff_t(at), &widget);
  for (size_t i = 0; i + 1 < chain.size(); ++i) QWidget::setTabOrder(chain[i], chain[i + 1]);
}

std::string ReadFileBytes(Player& player, const std::string& windows_path) {
  std::optional<std::string> host = player.environment().drives().ToHost(windows_path);
  std::ifstream in;
  if (host) in.open(*host, std::ios::binary);
  if (!in)
    throw ActionFailure("Cannot open file \"" + windows_path +
                        "\". The system cannot find the file specified");
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(Player& player, const std::string& windows_path, const std::string& bytes) {
  std::optional<std::string> host = player.environment().drives().ToHost(windows_path);
  std::ofstream out;
  if (host) out.open(*host, std::ios::binary | std::ios::trunc);
  if (!out) throw ActionFailure("Cannot create file \"" + windows_path + "\". Access is denied");
  out.write(bytes.data(), std::streamsize(bytes.size()));
  out.close();
  if (!out) throw ActionFailure("Cannot write file \"" + windows_path + "\"");
}

// Destroys a component once the events under way are handled: the object
// may be the one whose event script deleted it. It leaves the page at once.
void Destroy(PageObjects& objects, std::string_view name) {
  QObject* component = objects.FindComponent(name);
  if (!component) return;
  objects.Forget(name);
  if (auto* widget = qobject_cast<QWidget*>(component)) widget->hide();
  if (auto* timer = qobject_cast<QTimer*>(component)) timer->stop();
  component->deleteLater();
}

void DeleteObject(PageObjects& objects, PageObjectItem& item, const std::string& number) {
  for (const char* prefix : {"FIL", "SND", "TRK"}) Destroy(objects, prefix + number);
  // A video's still goes with it rather than staying over the page.
  if (auto* video = dynamic_cast<TQMVideo*>(&item)) {
    if (video->Stl) {
      Destroy(objects, "IMG" + number);
      video->Stl = nullptr;
    }
  }
  Destroy(objects, "OBJ" + number);
}

void ReplaceEventScript(PageObjectItem& item, int32_t code, Script script) {
  Script* target = nullptr;
  auto pick = [&](Script& down, Script& up, Script& enter, Script& leave) {
    switch (code) {
      case 71:
        target = &down;
        break;
      case 72:
        target = &up;
        break;
      case 73:
        target = &enter;
        break;
      case 74:
        target = &leave;
        break;
      default:
        break;
    }
  };
  if (auto* t = dynamic_cast<TQMText*>(&item))
    pick(t->evntMDown, t->evntMUp, t->evntMEnter, t->evntMLeave);
  if (auto* e = dynamic_cast<TQMEdit*>(&item)) {
    pick(e->evntMdown, e->evntMup, e->evntMenter, e->evntMleave);
    if (code == 75) target = &e->evntCH;
  }
  if (auto* b = dynamic_cast<TQMButton*>(&item))
    pick(b->evntMdown, b->evntMup, b->evntMenter, b->evntMleave);
  if (auto* i = dynamic_cast<TQMImage*>(&item))
    pick(i->evntMDown, i->evntMUp, i->evntMEnter, i->evntMLeave);
  if (auto* s = dynamic_cast<TQMShape*>(&item))
    pick(s->evntMDown, s->evntMUp, s->evntMEnter, s->evntMLeave);
  if (auto* t = dynamic_cast<TQMTimer*>(&item); t && code == 76) target = &t->evntTimer;
  if (auto* s = dynamic_cast<TQMSound*>(&item)) {
    if (code == 77) target = &s->evntStart;
    if (code == 78) target = &s->evntFinish;
  }
  if (auto* v = dynamic_cast<TQMVideo*>(&item)) {
    if (code == 77) target = &v->evntStart;
    if (code == 78) target = &v->evntFinish;
  }
  if (target) *target = std::move(script);
}

void TimerAction(TQMTimer& timer, int32_t code, Arguments& a) {
  switch (code) {
    case 3: {
      const bool on = a.B(0);
      const bool running = timer.isActive() || timer.property(kWaitingProperty).toBool();
      if (on == running) return;
      timer.ResetTicks();
      timer.setProperty(kWaitingProperty, false);
      if (!on) {
        timer.stop();
      } else if (timer.interval() > 0) {
        timer.start();
      } else {
        timer.setProperty(kWaitingProperty, true);
      }
      return;
    }
    case 69: {
      // An interval of 0 stops the ticks without disabling the timer, as a
      // zero interval must not tick without pause.
      const int32_t interval = a.N(0);
      const bool running = timer.isActive() || timer.property(kWaitingProperty).toBool();
      if (interval <= 0) {
        timer.stop();
        timer.setInterval(0);
        timer.setProperty(kWaitingProperty, running);
      } else {
        timer.setInterval(interval);
        timer.setProperty(kWaitingProperty, false);
        if (running && !timer.isActive()) timer.start();
      }
      return;
    }
    case 76:
      timer.evntTimer = a.E(0);
      return;
    default:
      return;
  }
}

void ListBoxAction(Player& player, TQMListBox& list, int32_t code, Arguments& a) {
  const int cp = player.code_page();
  const int charset = Charset(list);
  auto index_error = [](int32_t n) {
    return ActionFailure("List index out of bounds (" + std::to_string(n) + ")");
  };
  auto in_range = [&](int32_t n) { return n >= 1 && n <= list.count(); };
  switch (code) {
    case 90:
      list.clear();
      list.SetItems("", charset, cp);
      break;
    case 91:
      list.AddItem(a.P(0), charset, cp);
      break;
    case 92:
      list.RemoveItem(a.N(0) - 1);
      break;
    case 93:
    case 94: {
      const int32_t n = a.N(0);
      std::string text = a.S(1);
      const int64_t at = int64_t(n) - 1 + (code == 94 ? 1 : 0);
      if (at < 0 || at > list.count() || !list.InsertItem(int(at), std::move(text), charset, cp)) {
        throw ActionFailure("Unable to insert a line");
      }
      break;
    }
    case 95:
    case 96:
      list.SetItemSelected(a.N(0) - 1, code == 95);
      list.viewport()->repaint();
      break;
    case 97:
    case 98:
      list.SetAllSelected(code == 97);
      break;
    case 99: {
      const int32_t from = a.N(0);
      const int32_t to = a.N(1);
      if (!in_range(from)) throw index_error(from - 1);
      if (!in_range(to)) throw index_error(to - 1);
      list.MoveItem(from - 1, to - 1);
      break;
    }
    case 100: {
      std::string bytes;
      for (const std::string& item : list.item_bytes()) bytes += item + "\r\n";
      WriteFileBytes(player, a.P(0), bytes);
      break;
    }
    case 101: {
      const std::string bytes = ReadFileBytes(player, a.P(0));
      list.SetItems(bytes, charset, cp);
      break;
    }
    case 102: {
      const int32_t n = a.N(0);
      std::string text = a.P(1);
      if (!in_range(n)) throw index_error(n - 1);
      list.SetItemText(n - 1, std::move(text), charset, cp);
      break;
    }
    case 104:
      list.SetColumns(a.N(0));
      break;
    default:
      return;
  }
  list.viewport()->update();
}

void ShapeAction(TQMShape& shape, int32_t code, Arguments& a) {
  switch (code) {
    case 15:
    case 45: {
      ShapeBrush brush = shape.Brush();
      brush.colour = ToQ(a.C(0));
      shape.SetBrush(brush);
      return;
    }
    case 34: {
      ShapePen pen = shape.Pen();
      pen.style = PenStyle(a.N(0));
      shape.SetPen(pen);
      return;
    }
    case 43: {
      ShapeBrush brush = shape.Brush();
      brush.style = BrushStyle(a.N(0));
      shape.SetBrush(brush);
      return;
    }
    case 44: {
      ShapePen pen = shape.Pen();
      pen.colour = ToQ(a.C(0));
      shape.SetPen(pen);
      return;
    }
    case 47: {
      ShapePen pen = shape.Pen();
      pen.inverted = a.B(0);
      shape.SetPen(pen);
      return;
    }
    case 48:
      shape.SetShape(a.B(0) ? ShapeType::stRoundRect : ShapeType::stRectangle);
      return;
    case 70: {
      if (shape.Shape() != ShapeType::stLine) return;
      const int32_t x1 = a.N(0), y1 = a.N(1), x2 = a.N(2), y2 = a.N(3);
      shape.SetReverse(!((x2 > x1 && y2 > y1) || (x2 < x1 && y2 < y1)));
      const int64_t width = std::abs(int64_t(x2) - x1);
      const int64_t height = std::abs(int64_t(y2) - y1);
      shape.setGeometry(std::min(x1, x2), std::min(y1, y2), int(std::min<int64_t>(width, INT_MAX)),
                        int(std::min<int64_t>(height, INT_MAX)));
      shape.RealLeft = shape.x();
      shape.RealTop = shape.y();
      return;
    }
    default:
      return;
  }
}

void TextAction(Player& player, TQMText& text, int32_t code, Arguments& a) {
  switch (code) {
    case 12:
      text.SetCaption(PackageText(a.S(0), Charset(text), player.code_page()));
      text.AdjustBounds();
      return;
    case 14:
      text.SetFontColour(ToQ(a.C(0)));
      break;
    case 15:
      // `ColorNormal` of a text is its resting font colour; the background
      // is not it.
      text.SetBackground(ToQ(a.C(0)));
      break;
    case 16:
      text.ColorHover = ToColour(a.C(0));
      return;
    case 17:
      text.ColorClick = ToColour(a.C(0));
      return;
    case 18:
      text.SetLayoutDigit(a.N(0));
      break;
    case 19:
      text.SetAlignmentDigit(a.N(0));
      text.AdjustBounds();
      break;
    case 20:
      text.SetWordWrap(a.B(0));
      text.AdjustBounds();
      break;
    case 22:
      text.SetTransparent(a.B(0));
      break;
    case 23:
      text.ColorEvents = a.B(0);
      return;
    case 24:
      text.SetAutoSize(a.B(0));
      text.AdjustBounds();
      break;
    default:
      return;
  }
  text.update();
}

void EditAction(Player& player, TQMEdit& edit, int32_t code, Arguments& a) {
  const QColor background = edit.palette().color(QPalette::Active, QPalette::Base);
  const QColor font = edit.palette().color(QPalette::Active, QPalette::Text);
  switch (code) {
    case 12:
      edit.setText(PackageText(a.S(0), Charset(edit), player.code_page()));
      edit.setCursorPosition(0);
      return;
    case 14:
      edit.SetColours(background, ToQ(a.C(0)));
      return;
    case 15: {
      const uint32_t c = a.C(0);
      edit.ColorNormal = ToColour(c);
      edit.SetColours(ToQ(c), font);
      return;
    }
    case 16:
    case 29:
      edit.ColorHover = ToColour(a.C(0));
      return;
    case 23:
      edit.ColorEvents = a.B(0);
      return;
    case 24:
      edit.AutoSize = a.B(0);
      edit.AdjustHeight();
      return;
    case 25: {
      const std::string text = a.S(0);
      QString c = text.empty() ? QString()
                               : PackageText(text.substr(0, 1), Charset(edit), player.code_page());
      if (c.isEmpty()) {
        edit.setEchoMode(QLineEdit::Normal);
        edit.setStyle(ClassicStyle());
      } else {
        edit.setStyle(PasswordStyle(c.at(0)));
        edit.setEchoMode(QLineEdit::Password);
      }
      return;
    }
    case 26: {
      const int32_t length = a.N(0);
      edit.setMaxLength(length > 0 ? length : 32767);
      return;
    }
    case 28: {
      const int32_t n = a.N(0);
      edit.SetCharCase(n == 1 || n == 2 ? n : 0);
      return;
    }
    case 30:
      edit.ColorHoverF = ToColour(a.C(0));
      return;
    case 31:
      edit.ColorEnter = ToColour(a.C(0));
      return;
    case 32:
      edit.ColorEnterF = ToColour(a.C(0));
      return;
    case 33:
      edit.AutoSelect = a.B(0);
      return;
    case 34:
    case 35:
    case 36:
    case 37: {
      FrameSpec frame = edit.frame_spec();
      const int32_t n = a.N(0);
      if (code == 34) frame.border = n == 0 ? 0 : 1;
      if (code == 35) frame.inner_bevel = Bevel(n);
      if (code == 36) frame.outer_bevel = Bevel(n);
      if (code == 37) frame.bevel_kind = Bevel(n);
      edit.SetFrame(frame);
      edit.AdjustHeight();
      return;
    }
    case 105:
      edit.Validation = int8_t(a.N(0));
      return;
    default:
      return;
  }
}

void ImageAction(Player& player, TQMImage& image, int32_t code, Arguments& a) {
  switch (code) {
    case 42:
      image.SetLoop(a.B(0));
      return;
    case 54:
      if (!image.animated()) return;
      if (image.paused()) {
        image.Resume();
      } else if (!image.running()) {
        image.Start();
      }
      return;
    case 55:
      image.Pause();
      return;
    case 56:
      image.Stop();
      return;
    case 103:
      image.Restart();
      return;
    case 57: {
      const std::string path = a.P(0);
      PictureData picture = ReadPicture(ReadFileBytes(player, path));
      if (picture.empty()) throw ActionFailure("Bitmap image is not valid");
      image.LoadPicture(std::move(picture));
      image.ImgPath = path;
      image.Smooth();
      return;
    }
    case 68:
      try {
        image.SetTransparentColour(ToQ(a.C(0)));
      } catch (...) {
      }
      return;
    default:
      return;
  }
}

// The rows every visual object shares (1 to 13).
bool VisualAction(Player& player, PageObjects& objects, PageObjectItem& item, QWidget& widget,
                  int32_t code, Arguments& a) {
  auto* shape = dynamic_cast<TQMShape*>(&item);
  switch (code) {
    case 1:
      widget.raise();
      return true;
    case 2:
      widget.lower();
      return true;
    case 3: {
      const bool on = a.B(0);
      widget.setEnabled(on);
      if (shape) shape->RealEnabled = on;
      return true;
    }
    case 4: {
      const bool on = a.B(0);
      widget.setVisible(on);
      if (shape) shape->RealVisible = on;
      return true;
    }
    case 5:
      widget.repaint();
      return true;
    case 6: {
      const bool on = a.B(0);
      if (auto* text = dynamic_cast<TQMText*>(&item)) {
        text->SetRightToLeft(on);
        text->update();
      } else if (auto* list = dynamic_cast<TQMListBox*>(&item)) {
        list->SetRightToLeft(on);
        list->setLayoutDirection(on ? Qt::RightToLeft : Qt::LeftToRight);
      } else {
        widget.setLayoutDirection(on ? Qt::RightToLeft : Qt::LeftToRight);
      }
      return true;
    }
    case 7: {
      const int32_t left = a.N(0);
      const int32_t top = a.N(1);
      widget.move(left, top);
      if (shape) shape->RealLeft = left, shape->RealTop = top;
      if (auto* video = dynamic_cast<TQMVideo*>(&item)) {
        if (video->Stl) video->Stl->move(left, top);
        video->hide();
      }
      return true;
    }
    case 8: {
      const int32_t width = a.N(0);
      const int32_t height = a.N(1);
      widget.resize(std::max(width, 0), std::max(height, 0));
      if (auto* text = dynamic_cast<TQMText*>(&item)) text->AdjustBounds();
      return true;
    }
    case 9: {
      const int32_t number = a.N(0);
      player.cursors().Apply(widget, number);
      const int8_t real = int8_t(number);
      if (auto* t = dynamic_cast<TQMText*>(&item)) t->RealCursor = real;
      if (auto* e = dynamic_cast<TQMEdit*>(&item)) e->RealCursor = real;
      if (auto* b = dynamic_cast<TQMButton*>(&item)) b->RealCursor = real;
      if (auto* i = dynamic_cast<TQMImage*>(&item)) i->RealCursor = real;
      if (auto* l = dynamic_cast<TQMListBox*>(&item)) l->RealCursor = real;
      if (auto* f = dynamic_cast<TQMFlash*>(&item)) f->RealCursor = real;
      if (auto* w = dynamic_cast<TQMBrowser*>(&item)) w->cursor_number = number;
      if (shape) shape->RealCursor = real;
      return true;
    }
    case 10: {
      const std::string hint = a.S(0);
      widget.setToolTip(PackageText(hint, 1, player.code_page()));
      if (shape) shape->RealHint = hint;
      return true;
    }
    case 11: {
      const int page = player.PageNumberByName(a.S(0));
      TQMForm* target = player.GetFormByNum(page);
      if (!target || widget.parentWidget() == &target->surface()) return true;
      // The object shows on the other page; it stays the component of its
      // own page, where scripts keep finding it.
      const bool visible = !widget.isHidden();
      const QRect bounds = widget.geometry();
      widget.setParent(&target->surface());
      widget.setGeometry(bounds);
      widget.setVisible(visible);
      return true;
    }
    case 13: {
      const std::optional<FontSpec> spec = ParseFontString(a.S(0));
      if (!dynamic_cast<TQMText*>(&item) && !dynamic_cast<TQMEdit*>(&item) &&
          !dynamic_cast<TQMButton*>(&item)) {
        return true;
      }
      widget.setFont(FontOf(spec, player.code_page()));
      widget.setProperty(kCharsetProperty, spec ? spec->charset : 1);
      if (auto* t = dynamic_cast<TQMText*>(&item)) t->AdjustBounds();
      if (auto* e = dynamic_cast<TQMEdit*>(&item)) e->AdjustHeight();
      widget.update();
      return true;
    }
    case 27:
      if (dynamic_cast<TQMEdit*>(&item) || dynamic_cast<TQMButton*>(&item) ||
          dynamic_cast<TQMBrowser*>(&item)) {
        const int32_t order = a.N(0);
        SetTabOrder(objects, widget, order);
        if (auto* b = dynamic_cast<TQMBrowser*>(&item)) b->tab_order = order;
      }
      return true;
    default:
      return false;
  }
}

void Apply(Player& player, PageObjects& objects, PageObjectItem& item, const std::string& number,
           int32_t code, Arguments& a) {
  if (code == 0) {
    DeleteObject(objects, item, number);
    return;
  }
  if (auto* timer = dynamic_cast<TQMTimer*>(&item)) {
    TimerAction(*timer, code, a);
    return;
  }
  if (code >= 71 && code <= 78) {
    ReplaceEventScript(item, code, a.E(0));
    return;
  }
  if (auto* sound = dynamic_cast<TQMSound*>(&item)) {
    if (code == 42) sound->Loop = a.B(0);
    return;
  }
  QWidget* widget = item.AsWidget();
  if (!widget) return;
  if (VisualAction(player, objects, item, *widget, code, a)) return;
  if (auto* text = dynamic_cast<TQMText*>(&item)) {
    TextAction(player, *text, code, a);
  } else if (auto* edit = dynamic_cast<TQMEdit*>(&item)) {
    EditAction(player, *edit, code, a);
  } else if (auto* button = dynamic_cast<TQMButton*>(&item)) {
    if (code == 12) button->setText(PackageText(a.S(0), Charset(*button), player.code_page()));
    if (code == 20) button->SetShowFocusRect(a.B(0)), button->update();
    if (code == 38) button->setDefault(a.B(0));
  } else if (auto* shape = dynamic_cast<TQMShape*>(&item)) {
    ShapeAction(*shape, code, a);
  } else if (auto* image = dynamic_cast<TQMImage*>(&item)) {
    ImageAction(player, *image, code, a);
  } else if (auto* list = dynamic_cast<TQMListBox*>(&item)) {
    ListBoxAction(player, *list, code, a);
  } else if (auto* browser = dynamic_cast<TQMBrowser*>(&item)) {
    if (code == 34) browser->Borders3D = a.B(0);
  }
}

// Steps 1, 2 and 4 of `DoObjAction` on the main thread.
void PerformObjAction(Player& player, const ObjectActionRequest& request) {
  const int page = player.PageNumberByName(request.page_name);
  TQMForm* form = player.GetFormByNum(page);
  if (!form) return;
  PageObjects& objects = form->objects();
  PageObjectItem* item = objects.FindObject(request.object);
  if (!item) return;
  std::optional<Evaluator> own;
  Evaluator* evaluator = request.evaluator;
  if (!evaluator) evaluator = &own.emplace(player.values(), player.environment());
  try {
    const std::string& tail = request.tail;
    const std::string code_text = tail.substr(0, tail.find('('));
    const ActionArguments raw =
        tail.find('(') == std::string::npos ? ActionArguments{} : SplitActionLine(tail).arguments;
    const int32_t code = StrToInt(code_text);
    Arguments arguments(player, *evaluator, raw);
    Apply(player, objects, *item, request.object, code, arguments);
  } catch (const std::exception& e) {
    player.MessageBox(ToUtf8(player.project().title, player.code_page()),
                      ToUtf8(e.what(), player.code_page()), kMbOk | kMbIconExclamation);
  }
}

}  // namespace

std::string UncarryEventScript(std::string_view carried) {
  std::string script(carried);
  for (char& c : script) {
    c = char(uint8_t(uint8_t(c) - 5));
    if (c == '\x01') c = '\r';
  }
  return script;
}

void DoObjAction(Player& player, const ObjectActionRequest& request) {
  if (request.thread > 0) {
    // `ThreadObjAction`: the request travels inside the hand-over, so two
    // workers never see each other's text, object or page.
    player.stage().RunOnMainThread([&player, &request] { PerformObjAction(player, request); });
    return;
  }
  PerformObjAction(player, request);
}

}  // namespace morvane
