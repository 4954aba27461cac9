#include "player/objects/list_box_object.h"

#include "player/assets/fonts.h"
#include "util/text_lines.h"

#include <QApplication>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <algorithm>
#include <numeric>

namespace morvane {
namespace {

// The item drawing of the list box: the widened fill, the text five pixels
// in (right to left: five pixels from the column's right edge), centred by
// whole halves, and the focus rectangle on the item rectangle as given.
class ItemDrawing : public QStyledItemDelegate {
 public:
  explicit ItemDrawing(TQMListBox& list) : QStyledItemDelegate(&list), m_list(list) {}

  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
    int client = m_list.viewport()->width();
    int w = m_list.columns() > 0 ? client / m_list.columns() : client;
    return QSize(std::max(w, 1), TQMListBox::kItemHeight);
  }

  void paint(QPainter* p, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    bool selected = option.state & QStyle::State_Selected;
    if (!selected && m_list.multi_select() && index == m_list.currentIndex() &&
        (QApplication::mouseButtons() & Qt::LeftButton)) {
      selected = true;
    }
    QRect item = option.rect;
    QColor fill = selected ? ToQColor(m_list.SelColor) : m_list.background();
    p->save();
    p->fillRect(item.adjusted(-1, -1, 1, 1), fill);
    p->setPen(selected ? ToQColor(m_list.SelFColor) : m_list.font_colour());
    p->setFont(m_list.font());
    QFontMetrics metrics(m_list.font());
    QString text = index.data(Qt::DisplayRole).toString();
    int text_width = metrics.horizontalAdvance(text);
    int text_height = metrics.height();
    int client = m_list.viewport()->width();
    int x = item.left() + 5;
    if (m_list.right_to_left()) {
      x = m_list.columns() > 0 ? item.left() + client / m_list.columns() - text_width - 5
                               : item.left() + client - text_width - 5;
      p->setLayoutDirection(Qt::RightToLeft);
    }
    int y = item.top() + item.height() / 2 - text_height / 2 - 1;
    p->drawText(QRect(x, y, text_width + 1, text_height), Qt::AlignLeft | Qt::AlignAbsolute, text);
    p->restore();
    if (option.state & QStyle::State_HasFocus) DrawFocusRect(*p, item);
  }

 private:
  TQMListBox& m_list;
};

}  // namespace

std::vector<std::string> SplitLines(std::string_view raw) {
  const std::vector<std::string_view> lines = LinesOf(raw);
  return {lines.begin(), lines.end()};
}

TQMListBox::TQMListBox(const PageObject& model, QWidget* owner)
    : QListWidget(owner), PageObjectItem(model) {
  setStyle(ClassicStyle());
  verticalScrollBar()->setStyle(ClassicStyle());
  horizontalScrollBar()->setStyle(ClassicStyle());
  setFrameShape(QFrame::NoFrame);
  setItemDelegate(new ItemDrawing(*this));
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setFocusPolicy(Qt::StrongFocus);
  resize(121, 97);
  SetFrame(m_frame);
  SetColours(m_background, m_font_colour);
}

void TQMListBox::SetFrame(const FrameSpec& frame) {
  m_frame = frame;
  // The frame's room is kept by the scroll area's own frame, which is then
  // painted over in the classic way.
  setFrameStyle(frame.Width() > 0 ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
  setLineWidth(frame.Width());
  setMidLineWidth(0);
  update();
}

void TQMListBox::SetColours(const QColor& background, const QColor& font) {
  m_background = background;
  m_font_colour = font;
  QPalette p = palette();
  p.setColor(QPalette::Base, background);
  p.setColor(QPalette::Window, background);
  p.setColor(QPalette::Text, font);
  setPalette(p);
  viewport()->update();
}

void TQMListBox::SetColumns(int columns) {
  m_columns = std::max(columns, 0);
  if (m_columns > 0) {
    // Items run down a column and on into the next, scrolling sideways.
    setFlow(QListView::TopToBottom);
    setWrapping(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  } else {
    setFlow(QListView::TopToBottom);
    setWrapping(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  }
  doItemsLayout();
}

void TQMListBox::SetMultiSelect(bool on) {
  m_multi_select = on;
  setSelectionMode(on ? QAbstractItemView::MultiSelection : QAbstractItemView::SingleSelection);
}

void TQMListBox::SetItems(std::string_view raw, int charset, int project_code_page) {
  std::vector<std::string> lines = SplitLines(raw);
  if (m_sorted) {
    // Sorted as the list box sorts: ignoring case.
    std::vector<QString> texts;
    for (const std::string& l : lines) texts.push_back(PackageText(l, charset, project_code_page));
    std::vector<size_t> order(lines.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      return texts[a].compare(texts[b], Qt::CaseInsensitive) < 0;
    });
    std::vector<std::string> sorted;
    for (size_t i : order) sorted.push_back(lines[i]);
    lines = std::move(sorted);
  }
  clear();
  m_items = lines;
  for (const std::string& line : lines) {
    auto* item = new QListWidgetItem(PackageText(line, charset, project_code_page));
    addItem(item);
  }
}

bool TQMListBox::InsertItem(int index, std::string bytes, int charset, int project_code_page) {
  if (index < 0 || index > count()) return false;
  insertItem(index, PackageText(bytes, charset, project_code_page));
  m_items.insert(m_items.begin() + index, std::move(bytes));
  return true;
}

void TQMListBox::AddItem(std::string bytes, int charset, int project_code_page) {
  int index = count();
  if (m_sorted) {
    QString text = PackageText(bytes, charset, project_code_page);
    index = 0;
    while (index < count() && item(index)->text().compare(text, Qt::CaseInsensitive) <= 0) ++index;
  }
  InsertItem(index, std::move(bytes), charset, project_code_page);
}

void TQMListBox::RemoveItem(int index) {
  if (index < 0 || index >= count()) return;
  delete takeItem(index);
  m_items.erase(m_items.begin() + index);
}

void TQMListBox::SetItemText(int index, std::string bytes, int charset, int project_code_page) {
  if (index < 0 || index >= count()) return;
  item(index)->setText(PackageText(bytes, charset, project_code_page));
  m_items[size_t(index)] = std::move(bytes);
}

void TQMListBox::MoveItem(int from, int to) {
  if (from < 0 || from >= count() || to < 0 || to >= count() || from == to) return;
  QListWidgetItem* moved = takeItem(from);
  insertItem(to, moved);
  std::string bytes = std::move(m_items[size_t(from)]);
  m_items.erase(m_items.begin() + from);
  m_items.insert(m_items.begin() + to, std::move(bytes));
}

void TQMListBox::SetItemSelected(int index, bool on) {
  if (index < 0 || index >= count()) return;
  if (!m_multi_select) {
    if (on) {
      setCurrentRow(index);
      item(index)->setSelected(true);
    } else if (currentRow() == index) {
      clearSelection();
      setCurrentRow(-1);
    }
    return;
  }
  item(index)->setSelected(on);
}

void TQMListBox::SetAllSelected(bool on) {
  if (!m_multi_select) {
    // A single-selection list can only lose its selection this way.
    if (!on) clearSelection();
    return;
  }
  for (int i = 0; i < count(); ++i) item(i)->setSelected(on);
}

ObjectSnapshot TQMListBox::Snapshot() {
  ObjectSnapshot s = PageObjectItem::Snapshot();
  s.list_items = m_items;
  s.list_selected.resize(m_items.size());
  for (size_t i = 0; i < m_items.size() && int(i) < count(); ++i) {
    s.list_selected[i] = item(int(i))->isSelected();
  }
  return s;
}

bool TQMListBox::event(QEvent* e) {
  if (e->type() == QEvent::Paint) {
    QPainter p(this);
    DrawFrame(p, rect(), m_frame);
    return true;
  }
  return QListWidget::event(e);
}

void TQMListBox::resizeEvent(QResizeEvent* e) {
  QListWidget::resizeEvent(e);
  if (m_columns > 0) doItemsLayout();
}

}  // namespace morvane
