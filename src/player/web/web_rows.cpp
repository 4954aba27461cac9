// The browser and Flash rows: objects from their records, the templates,
// objects made by scripts, the browser and Flash actions, and the refresh
// that follows every action on a browser.

#include "player/web/web_rows.h"

#include "expr/environment.h"
#include "platform/drive_table.h"
#include "platform/path_macros.h"
#include "platform/sandbox_policy.h"
#include "player/assets/cursors.h"
#include "player/automation/options.h"
#include "player/automation/trace.h"
#include "player/objects/object_class.h"
#include "player/player.h"
#include "player/shell/page_printer.h"
#include "player/shell/page_window.h"
#include "player/shell/player_stage.h"
#include "player/web/web_engine_loader.h"
#include "player/web/web_objects.h"
#include "util/code_page.h"

#include <QEventLoop>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTimer>
#include <QUrl>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace morvane {
namespace {

TQMBrowser& Browser(ObjectActionCall& c) {
  return static_cast<TQMBrowser&>(c.item);
}

TQMFlash& Flash(ObjectActionCall& c) {
  return static_cast<TQMFlash&>(c.item);
}

// An address as the view takes it: an address with a scheme of its own as it
// is, a Windows path of the project through the drive table as a file: URL.
std::string AddressOf(Player& player, const std::string& text) {
  const std::string utf8 = ToUtf8(text, player.code_page());
  size_t colon = utf8.find(':');
  bool scheme = colon != std::string::npos && colon >= 2;
  for (size_t i = 0; scheme && i < colon; ++i) {
    const unsigned char c = utf8[i];
    scheme = std::isalpha(c) || (i > 0 && (std::isdigit(c) || c == '+' || c == '-' || c == '.'));
  }
  if (scheme || utf8.empty()) return utf8;
  std::optional<std::string> host = player.environment().drives().ToHost(text);
  if (!host) return utf8;
  return QUrl::fromLocalFile(QString::fromStdString(*host)).toEncoded().toStdString();
}

void Navigate(Player& player, TQMBrowser& b, const std::string& address) {
  if (WebView* v = b.view()) v->Navigate(AddressOf(player, address));
}

// Actions 86 and 88 wait for the document, handling events meanwhile.
void WaitForDocument(TQMBrowser& b) {
  QPointer<TQMBrowser> alive(&b);
  QEventLoop wait;
  QTimer poll;
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, &wait, [&] {
    if (!alive || !alive->view() || !alive->view()->loading()) wait.quit();
  });
  poll.start();
  if (alive->view() && alive->view()->loading()) wait.exec();
}

void PrintDocument(ObjectActionCall& c) {
  TQMBrowser& b = Browser(c);
  Player& player = c.player;
  WaitForDocument(b);
  WebView* v = b.view();
  if (!v) return;
  const std::string& folder = player.options().print_to_dir;
  std::string name = "OBJ" + c.number;
  std::shared_ptr<QPrinter> printer;
  std::string file;
  if (!folder.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    file = NextPrintFile(folder);
    printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QString::fromStdString(file));
  } else {
    QPrinterInfo info;
    if (!player.headless()) info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
      std::fprintf(stderr, "morvane-player: no printer; %s was not printed\n", name.c_str());
      player.trace().Write("print", {{"object", name}, {"printer", std::string()}});
      return;
    }
    printer = std::make_shared<QPrinter>(info, QPrinter::HighResolution);
  }
  // The engine prints in the background; the printer lives until it is done.
  v->Print(*printer, [&player, printer, name, file](bool ok) {
    if (!ok) std::fprintf(stderr, "morvane-player: printing %s failed\n", name.c_str());
    player.trace().Write("print", {{"object", name}, {"file", ok ? file : std::string()}});
  });
}

void PrintPreview(ObjectActionCall& c) {
  TQMBrowser& b = Browser(c);
  if (c.player.headless()) {
    c.player.trace().Write(
        "dialog", {{"kind", std::string("print-preview")}, {"result", std::string("cancel")}});
    return;
  }
  WaitForDocument(b);
  if (!b.view()) return;
  QPrinter printer(QPrinter::HighResolution);
  QPrintPreviewDialog dialog(&printer, &b);
  QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter* p) {
    // The preview paints synchronously; the engine prints in the background.
    QEventLoop wait;
    b.view()->Print(*p, [&wait](bool) { wait.quit(); });
    wait.exec();
  });
  dialog.exec();
}

void PageSetup(ObjectActionCall& c) {
  TQMBrowser& b = Browser(c);
  WaitForDocument(b);
  if (c.player.headless()) {
    c.player.trace().Write(
        "dialog", {{"kind", std::string("page-setup")}, {"result", std::string("cancel")}});
    return;
  }
  QPrinter printer;
  QPageSetupDialog dialog(&printer, &b);
  dialog.exec();
}

void Download(ObjectActionCall& c) {
  const std::string url = c.args.S(0);
  const std::string path = c.args.P(1);
  // Offline, nothing leaves the browser; otherwise the outcome is not reported.
  if (Browser(c).Offline) return;
  const SandboxPolicy& sandbox = c.player.environment().sandbox();
  if (!sandbox.AllowsNetwork()) return sandbox.Refuse(SandboxRefusal::kDownload, url);
  try {
    c.player.stage().Download(c.player.environment().drives(), url, path);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "morvane-player: download of %s failed: %s\n",
                 ToUtf8(url, c.player.code_page()).c_str(),
                 ToUtf8(e.what(), c.player.code_page()).c_str());
  }
}

// The refresh after every action on a browser (but deletion). It is left
// out where it would undo the action: while a navigation is pending (the
// one 49, 81 and 82 start would be cancelled by it), after a stop, and
// while the document is being printed.
void RefreshAfterAction(Player&, PageObjectItem& item, int32_t code) {
  auto& b = static_cast<TQMBrowser&>(item);
  WebView* v = b.view();
  if (!v || v->loading()) return;
  if (code == 83 || code == 84 || (code >= 86 && code <= 88)) return;
  v->Refresh();
}

void BuildBrowser(ObjectBuilder& b, const PageObject& o) {
  auto* w = new TQMBrowser(o, &b.surface);
  w->setVisible(o.visible);
  b.TabStop(*w, o);
  w->RegisterAsDropTarget = o.drop_target;
  w->ContextMenu = o.context_menu;
  w->Offline = o.offline;
  w->Selectable = o.selectable;
  w->Borders3D = o.borders_3d;
  w->ScrollBars = o.scroll_bars;
  b.Place(*w, o);
  w->tab_order = o.tab_order;
  w->cursor_number = o.cursor;
  b.player.cursors().Apply(*w, o.cursor);
  w->DefPath = ExpandPathMacros(o.file, b.player.environment().macro_folders());
  b.Hint(*w, o);
  w->evntBN = o.evntBN, w->evntAN = o.evntAN, w->evntNW = o.evntNW, w->evntPC = o.evntPC;
  w->evntSC = o.evntSC, w->evntTC = o.evntTC, w->evntAC = o.evntAC;
  b.DoubleBuffer(*w);
  w->setVisible(o.visible);
  w->Attach(b.player);
  b.Add(*w);
  // The start address once the event loop runs, as the page's navigation
  // timer does.
  if (!w->DefPath.empty()) {
    Player& player = b.player;
    QTimer::singleShot(0, w, [&player, w] { Navigate(player, *w, w->DefPath); });
  }
}

void BuildFlash(ObjectBuilder& b, const PageObject& o) {
  // Without the Flash player the start-up has ended or skips the object.
  // The engine itself loads with the object's view.
  if (!FlashFilesPresent()) return;
  auto* f = new TQMFlash(o, &b.surface);
  f->setVisible(o.visible);
  f->Menu = o.context_menu;
  f->Quality = o.quality;
  f->ScaleMode = o.scale_mode;
  f->BGColor = QString::asprintf("%02X%02X%02X", o.background_colour.r, o.background_colour.g,
                                 o.background_colour.b);
  b.Place(*f, o);
  b.player.cursors().Apply(*f, o.cursor);
  f->SetCursorNumber(o.cursor);
  f->Movie = ExpandPathMacros(o.file, b.player.environment().macro_folders());
  f->FrameNum = o.frame;
  b.Hint(*f, o);
  f->evntFS = o.evntFS, f->evntFC = o.evntFC;
  f->Playing = o.playing;
  f->Loop = o.loop;
  f->Attach(b.player);
  f->setVisible(o.visible);
  b.Add(*f);
}

ObjectClass FlashRow() {
  ObjectClass row{ObjectKind::Flash, "TQMFlash"};
  row.build = BuildFlash;
  // The Flash template lives on the main window only.
  row.make_template = [](ObjectBuilder& b, const PageObject& defaults) -> QObject* {
    if (b.form_number() != 1) return nullptr;
    return new TQMFlash(defaults, &b.surface);
  };
  row.create_words = {"flash"};
  row.create = [](ObjectBuilder& b, const PageObject& model, std::string_view) -> PageObjectItem* {
    if (!FlashAvailable(b.player)) return nullptr;
    auto* f = new TQMFlash(model, &b.surface);
    f->Attach(b.player);
    return f;
  };
  row.actions = {
      {42, "B", [](ObjectActionCall& c) { Flash(c).Loop = c.args.B(0); }},
      {54, "",
       [](ObjectActionCall& c) {
         Flash(c).Playing = true;
         if (WebView* v = Flash(c).view()) v->PlayMovie();
       }},
      {56, "",
       [](ObjectActionCall& c) {
         Flash(c).Playing = false;
         if (WebView* v = Flash(c).view()) v->StopMovie();
       }},
      {57, "P",
       [](ObjectActionCall& c) {
         Flash(c).Movie = c.args.P(0);
         Flash(c).LoadMovie();
       }},
      {58, "B",
       [](ObjectActionCall& c) {
         Flash(c).Menu = c.args.B(0);
         if (WebView* v = Flash(c).view()) v->SetMovieMenu(Flash(c).Menu);
       }},
      {59, "N", [](ObjectActionCall& c) { Flash(c).Quality = c.args.N(0); }},
      {60, "N", [](ObjectActionCall& c) { Flash(c).ScaleMode = c.args.N(0); }},
      {61, "N", [](ObjectActionCall& c) { Flash(c).FrameNum = c.args.N(0); }},
      {80, "SS",
       [](ObjectActionCall& c) {
         c.args.S(0);
         c.args.S(1);
       }},
      {103, "",
       [](ObjectActionCall& c) {
         if (WebView* v = Flash(c).view()) v->RewindMovie();
       }},
  };
  return row;
}

ObjectClass BrowserRow() {
  ObjectClass row{ObjectKind::Browser, "TQMBrowser"};
  row.build = BuildBrowser;
  row.make_template = [](ObjectBuilder& b, const PageObject& defaults) -> QObject* {
    return new TQMBrowser(defaults, &b.surface);
  };
  row.create_words = {"browser"};
  row.create = [](ObjectBuilder& b, const PageObject& model, std::string_view) -> PageObjectItem* {
    auto* w = new TQMBrowser(model, &b.surface);
    w->Attach(b.player);
    return w;
  };
  row.after_action = RefreshAfterAction;
  row.actions = {
      {27, "N",
       [](ObjectActionCall& c) {
         const int32_t order = c.args.N(0);
         Browser(c).tab_order = order;
         TabOrderAction(c);
       }},
      {34, "B", [](ObjectActionCall& c) { Browser(c).SetBorders3D(c.args.B(0)); }},
      {49, "P", [](ObjectActionCall& c) { Navigate(c.player, Browser(c), c.args.P(0)); }},
      {58, "B",
       [](ObjectActionCall& c) {
         Browser(c).ContextMenu = c.args.B(0);
         Browser(c).ApplyOptions();
       }},
      {62, "B",
       [](ObjectActionCall& c) {
         Browser(c).Offline = c.args.B(0);
         Browser(c).ApplyOptions();
       }},
      {63, "B",
       [](ObjectActionCall& c) {
         Browser(c).Selectable = c.args.B(0);
         Browser(c).ApplyOptions();
       }},
      {64, "B",
       [](ObjectActionCall& c) {
         Browser(c).ScrollBars = c.args.B(0);
         Browser(c).ApplyOptions();
       }},
      {81, "",
       [](ObjectActionCall& c) {
         if (WebView* v = Browser(c).view()) v->Back();
       }},
      {82, "",
       [](ObjectActionCall& c) {
         if (WebView* v = Browser(c).view()) v->Forward();
       }},
      {83, "",
       [](ObjectActionCall& c) {
         if (WebView* v = Browser(c).view()) v->Reload();
       }},
      {84, "",
       [](ObjectActionCall& c) {
         if (WebView* v = Browser(c).view()) v->Stop();
       }},
      {85, "SP", Download},
      {86, "", PrintDocument},
      {87, "", PrintPreview},
      {88, "", PageSetup},
  };
  return row;
}

}  // namespace

bool FlashAvailable(Player& player) {
  if (FindRuffleFolder().empty()) return false;
  WebEngine* engine = LoadWebEngine(player);
  return engine && engine->flash_available();
}

bool FlashFilesPresent() {
  return !FindRuffleFolder().empty() && WebModulePresent();
}

void RegisterWebClasses() {
  RegisterObjectClass(FlashRow());
  RegisterObjectClass(BrowserRow());
}

}  // namespace morvane
