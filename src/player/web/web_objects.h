#pragma once

// Browser and Flash objects. Each hosts one view of the web engine, made
// the first time the object is shown or driven (templates and objects of
// pages nobody opened never make one, and the engine loads with the first
// view), and turns the view's notifications into its event scripts with
// their event variables.

#include "player/objects/page_object.h"
#include "player/web/web_engine.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <string>

namespace morvane {

class Player;

// What both kinds share: the view laid over the client area and the runs of
// their event scripts.
class WebObject : public QWidget, public PageObjectItem, public WebViewEvents {
 public:
  WebObject(const PageObject& model, QWidget* owner);
  ~WebObject() override;
  QObject* AsObject() override { return this; }
  QWidget* AsWidget() override { return this; }

  // The view, made on first use; nothing without a web engine.
  WebView* view();
  // Whether the view was asked for already.
  bool attached() const { return m_attached; }

  // --- WebViewEvents; the kinds answer the notifications they have.
  bool BeforeNavigate(const Navigation&) override { return true; }
  void NavigateComplete(const std::string&) override {}
  bool NewWindow(const std::string&) override { return false; }
  void ProgressChange(int, int) override {}
  void StatusTextChange(const std::string&) override {}
  void TitleChange(const std::string&) override {}
  void FlashCommand(const std::string&, const std::string&) override {}
  void FlashCall(const std::string&) override {}

 protected:
  // The player the object works for; the view comes later.
  void Bind(Player& player) { m_player = &player; }
  virtual std::unique_ptr<WebView> MakeView(WebEngine& engine) = 0;
  virtual int Margin() const { return 0; }
  // The view exists now (or never will): what waited for it.
  virtual void Attached() {}
  void showEvent(QShowEvent* event) override;
  void SetMargin(int margin);
  // Runs an event script in the window the object's scripts run in.
  void RunEvent(const Script& script);
  void SetString(const char* name, const std::string& utf8);
  void Trace(const char* what, const std::string& detail = {});
  Player* player() const { return m_player; }

 private:
  Player* m_player = nullptr;
  bool m_attached = false;
  std::unique_ptr<WebView> m_view;
};

class TQMBrowser : public WebObject {
 public:
  TQMBrowser(const PageObject& model, QWidget* owner);

  // The object's view comes with the options of the record; it stays an
  // empty page when there is no engine.
  void Attach(Player& player) { Bind(player); }
  void SetCursorNumber(int32_t number) override { cursor_number = number; }

  bool BeforeNavigate(const Navigation& navigation) override;
  void NavigateComplete(const std::string& url) override;
  bool NewWindow(const std::string& url) override;
  void ProgressChange(int progress, int progress_max) override;
  void StatusTextChange(const std::string& text) override;
  void TitleChange(const std::string& title) override;

  void SetBorders3D(bool on);
  void ApplyOptions();

  Script evntBN, evntAN, evntNW, evntPC, evntSC, evntTC, evntAC;
  std::string DefPath;
  bool Offline = false, Silent = false, RegisterAsDropTarget = false;
  bool ContextMenu = true, Selectable = true, Borders3D = true, ScrollBars = true;
  int32_t tab_order = 0;
  int32_t cursor_number = 0;

 protected:
  std::unique_ptr<WebView> MakeView(WebEngine& engine) override;
  int Margin() const override { return Borders3D ? 2 : 0; }
  void Attached() override { ApplyOptions(); }
  void paintEvent(QPaintEvent*) override;
};

class TQMFlash : public WebObject {
 public:
  TQMFlash(const PageObject& model, QWidget* owner);

  void Attach(Player& player) { Bind(player); }
  // Shows the movie file `Movie` (a Windows path) with the settings.
  void LoadMovie();

  void FlashCommand(const std::string& command, const std::string& args) override;
  void FlashCall(const std::string& request) override;

  Script evntFS, evntFC;
  std::string Movie;
  bool Playing = false, Loop = false, Menu = true;
  int Quality = 1, ScaleMode = 0;
  int32_t FrameNum = 0;
  QString BGColor;  // six hexadecimal digits, red green blue

 protected:
  std::unique_ptr<WebView> MakeView(WebEngine& engine) override;
  // The movie of the record plays once there is a view.
  void Attached() override;
};

}  // namespace morvane
