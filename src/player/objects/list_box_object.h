#pragma once

// `TQMListBox`: an owner-drawn list box with a fixed item height of 16
// pixels, optional columns, the classic frame and its selection colours.

#include "player/objects/classic_look.h"
#include "player/objects/page_object.h"
#include "player/objects/pointer_rules.h"

#include <QListWidget>

#include <string>
#include <vector>

namespace morvane {

class TQMListBox : public QListWidget, public PageObjectItem {
 public:
  static constexpr int kItemHeight = 16;

  TQMListBox(const PageObject& model, QWidget* owner);
  QObject* AsObject() override { return this; }
  QWidget* AsWidget() override { return this; }
  ObjectSnapshot Snapshot() override;
  Script* EventScript(ObjectEvent event) override;

  void SetFrame(const FrameSpec& frame);
  void SetColours(const QColor& background, const QColor& font);
  void SetColumns(int columns);
  void SetSorted(bool on) { m_sorted = on; }
  void SetMultiSelect(bool on);
  // The drawing order of the items and the layout direction.
  void SetRightToLeft(bool on) override;
  // Replaces the items: package bytes, one per line (CR LF, CR or LF).
  void SetItems(std::string_view raw, int charset, int project_code_page);

  // The items as package bytes, in list order, and their editing; indexes
  // from 0. Texts are drawn through the code page of `charset`.
  const std::vector<std::string>& item_bytes() const { return m_items; }
  // A sorted list puts the item in its place; false when `index` is past the end.
  bool InsertItem(int index, std::string bytes, int charset, int project_code_page);
  // Appends, or puts the item in its place in a sorted list.
  void AddItem(std::string bytes, int charset, int project_code_page);
  void RemoveItem(int index);
  void SetItemText(int index, std::string bytes, int charset, int project_code_page);
  void MoveItem(int from, int to);
  // The selection: one item unless multiple selection is on.
  void SetItemSelected(int index, bool on);
  void SetAllSelected(bool on);
  bool sorted() const { return m_sorted; }

  int columns() const { return m_columns; }
  bool right_to_left() const { return m_right_to_left; }
  bool multi_select() const { return m_multi_select; }
  const QColor& font_colour() const { return m_font_colour; }
  const QColor& background() const { return m_background; }

  Colour SelColor, SelFColor;
  Script evntMenter, evntMleave, evntMdown, evntMup, evntdbl;

 protected:
  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  FrameSpec m_frame;
  int m_columns = 0;
  bool m_sorted = false, m_multi_select = false, m_right_to_left = false;
  QColor m_font_colour{0, 0, 0}, m_background{255, 255, 255};
  std::vector<std::string> m_items;  // package bytes, in list order
};

// Splits package text into lines as a string list takes them: a final line
// break adds no empty line.
std::vector<std::string> SplitLines(std::string_view raw);

// The click of a list box: an item picked by the pointer or the keyboard.
void ClickList(PointerDesk& desk, TQMListBox& list);

}  // namespace morvane
