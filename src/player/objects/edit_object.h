#pragma once

// `TQMEdit`: a single-line edit with the classic frame (bevels, then the
// client edge or a single line), character case, the stored password
// character and its own colours.

#include "player/objects/classic_look.h"
#include "player/objects/page_object.h"

#include <QImage>
#include <QLineEdit>

namespace morvane {

class TQMEdit : public QLineEdit, public PageObjectItem {
 public:
  TQMEdit(const PageObject& model, QWidget* owner);
  QObject* AsObject() override { return this; }
  QWidget* AsWidget() override { return this; }
  Script* EventScript(ObjectEvent event) override;
  void ShowHover(bool inside) override;

  void SetFrame(const FrameSpec& frame);
  const FrameSpec& frame_spec() const { return m_frame; }
  // 0 normal, 1 upper, 2 lower: typed and set text follows it.
  void SetCharCase(int char_case);
  void SetColours(const QColor& background, const QColor& font);
  // Height from the font when auto-size is on and the border is single.
  void AdjustHeight();

  Colour ColorNormal, ColorHover, ColorEnter, ColorNormalF, ColorHoverF, ColorEnterF;
  bool ColorEvents = false;
  int8_t Validation = 0;
  bool AutoSize = false;
  // Tabbing into the edit selects its whole text.
  bool AutoSelect = true;
  Script evntCH, evntMenter, evntMleave, evntMdown, evntMup;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  void ApplyCase();
  struct Drawn;
  Drawn WantedLook() const;
  void KeepDrawnPicture();
  FrameSpec m_frame;
  int m_char_case = 0;
  // An edit without the keyboard focus (no caret to blink) is drawn once into
  // a picture and copied until what it shows changes. A widget cannot render
  // itself inside its own paint event, so the picture is taken right after a
  // paint that found it out of date.
  struct Drawn {
    QImage image;
    QString text;
    QSize size;
    QString font;
    qint64 palette = 0;
    int frame_version = 0;
    int cursor = 0, selection = 0, flags = 0;
    bool operator==(const Drawn& o) const {
      return text == o.text && size == o.size && font == o.font && palette == o.palette &&
             frame_version == o.frame_version && cursor == o.cursor && selection == o.selection &&
             flags == o.flags;
    }
  } m_drawn;
  int m_frame_version = 0;
  bool m_drawing_for_cache = false;
  bool m_picture_pending = false;
};

}  // namespace morvane
