#pragma once

// `TQMForm`: the window of one page. Page 1 is the main window. Page objects
// go on `surface()`, which lies inside a scroll area when the page has scroll
// bars.

#include "package/project_model.h"
#include "player/shell/page_look.h"

#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <string>

class QScrollArea;

namespace morvane {

class Player;
class PageObjects;

class TQMForm : public QWidget {
 public:
  TQMForm(Player& player, int number, const Page& page);
  ~TQMForm() override;

  int number() const { return m_number; }
  const Page& page() const { return m_page; }
  QWidget& surface() { return *m_surface; }
  // The page's components and objects, looked up by name ignoring case.
  PageObjects& objects() { return *m_objects; }
  // "", "hide" or "close".
  const std::string& closing_state() const { return m_closing_state; }

  // Applies the page record: border kind and icons, client size, position,
  // colours, transparency. Called once every page exists.
  void ApplyPageGeometry();
  // The picture of the client area as the page draws it.
  QImage Picture();
  // While a show transition plays the page is not fully shown yet: the next
  // show leaves the show timer to ReleaseShowTimer(), which starts it when
  // the page was fully shown.
  void HoldShowTimer() { m_show_timer_held = true; }
  void ReleaseShowTimer(bool start);
  // The exit request of a worker thread: the show timer, set to 2 ms, ends
  // the program when it fires.
  void RequestExit();
  // Background, colours and transparency; repaint after changing them.
  PageLook& look() { return m_look; }
  // Cuts the key colour of the look out of the window, or nothing when off.
  void UpdateColourKeyMask();
  // Shows or hides a scroll bar; the page gets a scroll area on first need.
  void SetScrollBar(Qt::Orientation orientation, bool on);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  friend class PageSurface;
  void LoadBackground();
  void PaintPage(QPainter& painter, const QRect& area);
  void OnShowTimer();

  Player& m_player;
  int m_number;
  const Page& m_page;
  QWidget* m_surface = nullptr;
  QScrollArea* m_scroll = nullptr;
  PageLook m_look;
  QTimer m_show_timer;
  bool m_show_timer_held = false;
  std::string m_closing_state;
  std::unique_ptr<PageObjects> m_objects;
};

}  // namespace morvane
