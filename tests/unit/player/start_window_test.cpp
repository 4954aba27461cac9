// The start window, the recent projects and how the player starts without a
// project, on the offscreen platform.

#include "package/container.h"
#include "package/native_container.h"
#include "player/shell/launcher.h"
#include "player/shell/page_window.h"
#include "player/shell/player.h"
#include "player/shell/recent_projects.h"
#include "player/shell/start_window.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "support/qt_app.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

const std::string kFixtures = MORVANE_SOURCE_DIR "/tests/fixtures/player";
const std::string kBinaryDir = MORVANE_BINARY_DIR;

class StartTest : public test::QtAppSuite {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_dir = fs::temp_directory_path() /
            ("morvane-start-" + std::string(info->name()) + "-" + std::to_string(getpid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
    setenv("MORVANE_PREFIX", (m_dir / "prefix").c_str(), 1);
  }
  void TearDown() override {
    m_window.reset();
    if (!HasFailure()) fs::remove_all(m_dir);
  }

  // A window with callbacks that note what was chosen.
  StartWindow& Window(std::vector<std::string> recent, bool demo = true) {
    StartWindow::Callbacks callbacks;
    callbacks.open = [this](const QString& path) { m_opened = path.toStdString(); };
    callbacks.demo = [this] { m_demo = true; };
    callbacks.closed = [this] { m_closed = true; };
    m_window = std::make_unique<StartWindow>(std::move(recent), demo, callbacks);
    m_window->show();
    return *m_window;
  }

  static void Drop(QWidget* target, const QString& path) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    const QPoint centre = target->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(centre, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
  }

  fs::path m_dir;
  std::unique_ptr<StartWindow> m_window;
  std::optional<std::string> m_opened;
  bool m_demo = false;
  bool m_closed = false;
};

TEST_F(StartTest, RecentProjectsAreKeptNewestFirstOnceEach) {
  const std::string file = (m_dir / "config" / "morvane-player" / "recent-projects").string();
  RecentProjects recent(file);
  EXPECT_TRUE(recent.Load().empty());
  for (int i = 0; i < 12; ++i) ASSERT_TRUE(recent.Add("/cd/game" + std::to_string(i) + ".exe"));
  ASSERT_TRUE(recent.Add("/cd/game5.exe"));
  std::vector<std::string> expected{"/cd/game5.exe"};
  for (int i = 11; expected.size() < RecentProjects::kMaxEntries; --i) {
    if (i != 5) expected.push_back("/cd/game" + std::to_string(i) + ".exe");
  }
  EXPECT_EQ(recent.Load(), expected);
  // Relative paths and folder paths with a slash are stored as one absolute path.
  const fs::path cwd = fs::current_path();
  fs::current_path(m_dir);
  recent.Add("projects/tour/");
  fs::current_path(cwd);
  EXPECT_EQ(recent.Load().front(), (m_dir / "projects" / "tour").string());
  // Nothing fails where the list cannot be written.
  EXPECT_FALSE(RecentProjects("/proc/no-such-folder/recent").Add("/cd/game.exe"));

  setenv("XDG_CONFIG_HOME", "/home/me/.cfg", 1);
  EXPECT_EQ(RecentProjects::DefaultFile(), "/home/me/.cfg/morvane-player/recent-projects");
  setenv("XDG_CONFIG_HOME", "relative", 1);  // ignored, as the XDG rules ask
  setenv("HOME", "/home/me", 1);
  EXPECT_EQ(RecentProjects::DefaultFile(), "/home/me/.config/morvane-player/recent-projects");
}

TEST_F(StartTest, TheListGreysMissingProjectsAndOpensTheOthers) {
  const std::string pages = kFixtures + "/pages";
  StartWindow& window = Window({(m_dir / "gone.exe").string(), pages});
  QListWidget* list = window.recent_list();
  ASSERT_EQ(list->count(), 2);
  EXPECT_FALSE(list->item(0)->flags() & Qt::ItemIsEnabled);
  EXPECT_TRUE(list->item(1)->flags() & Qt::ItemIsEnabled);
  list->setCurrentRow(1);
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(m_opened, pages);
}

TEST_F(StartTest, OnlyWhatHoldsAProjectIsHandedOn) {
  StartWindow& window = Window({});
  fs::create_directories(m_dir / "photos");
  std::ofstream(m_dir / "notes.exe") << "not an executable";
  struct Case {
    std::string path;
    std::string status;  // empty: handed on
  };
  const Case cases[] = {
      {kBinaryDir + "/morvane-player-bare", "morvane-player-bare is not a Morvane project"},
      {(m_dir / "photos").string(), "photos is not a Morvane project"},
      {(m_dir / "gone.exe").string(), "gone.exe cannot be found"},
      {(m_dir / "notes.exe").string(), "notes.exe cannot be opened: "},
      {kFixtures + "/pages", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    m_opened.reset();
    Drop(window.drop_area(), QString::fromStdString(c.path));
    if (c.status.empty()) {
      EXPECT_EQ(m_opened, c.path);
      EXPECT_EQ(window.status(), "");
    } else {
      EXPECT_FALSE(m_opened);
      EXPECT_TRUE(window.status().startsWith(QString::fromStdString(c.status)))
          << window.status().toStdString();
    }
  }
  EXPECT_FALSE(m_closed);
}

TEST_F(StartTest, DialogsOpenExecutablesAndFoldersAndProjectYamlStandsForItsFolder) {
  StartWindow& window = Window({});
  QString answer;
  window.SetDialogs([&](QWidget*) { return answer; }, [&](QWidget*) { return answer; });
  answer = QString::fromStdString(kFixtures + "/pages/project.yaml");
  QTest::mouseClick(window.open_button(), Qt::LeftButton);
  EXPECT_EQ(m_opened, kFixtures + "/pages");
  m_opened.reset();
  answer = QString::fromStdString(kFixtures + "/objects");
  QTest::mouseClick(window.folder_button(), Qt::LeftButton);
  EXPECT_EQ(m_opened, kFixtures + "/objects");
  m_opened.reset();
  answer.clear();  // cancelled
  QTest::mouseClick(window.open_button(), Qt::LeftButton);
  EXPECT_FALSE(m_opened);
  EXPECT_EQ(window.status(), "");
}

TEST_F(StartTest, TheDemoButtonAndClosingTheWindow) {
  StartWindow& window = Window({}, /*demo=*/false);
  EXPECT_FALSE(window.demo_button()->isEnabled());
  StartWindow& with_demo = Window({}, /*demo=*/true);
  QTest::mouseClick(with_demo.demo_button(), Qt::LeftButton);
  EXPECT_TRUE(m_demo);
  EXPECT_FALSE(m_closed);
  Window({}).close();
  EXPECT_TRUE(m_closed);
}

// --- the launcher: what starts when

class LaunchTest : public StartTest {
 protected:
  Launcher& Launch(const std::string& self, PlayerOptions options = {}) {
    options.audio = "none";
    m_launcher = std::make_unique<Launcher>(options, std::vector<std::string>{"morvane-player"},
                                            self, RecentProjects(recent_file()));
    m_launched = m_launcher->Launch();
    return *m_launcher;
  }
  void TearDown() override {
    m_launcher.reset();
    StartTest::TearDown();
  }
  std::string recent_file() const { return (m_dir / "recent-projects").string(); }
  std::vector<std::string> Recent() const { return RecentProjects(recent_file()).Load(); }

  std::unique_ptr<Launcher> m_launcher;
  bool m_launched = false;
};

TEST_F(LaunchTest, TheDemoPlayerWithoutAProjectShowsTheStartWindowWhoseChoiceRuns) {
  Launcher& launcher = Launch(kBinaryDir + "/morvane-player");
  ASSERT_TRUE(m_launched);
  ASSERT_NE(launcher.start_window(), nullptr);
  EXPECT_TRUE(launcher.start_window()->isVisible());
  EXPECT_TRUE(launcher.start_window()->demo_button()->isEnabled());
  EXPECT_EQ(launcher.player(), nullptr);

  const std::string pages = kFixtures + "/pages";
  Drop(launcher.start_window()->drop_area(), QString::fromStdString(pages));
  EXPECT_EQ(launcher.start_window(), nullptr);
  ASSERT_NE(launcher.player(), nullptr);
  EXPECT_EQ(launcher.player()->project().title, "Page Test");
  EXPECT_TRUE(launcher.player()->GetFormByNum(1)->isVisible());
  EXPECT_EQ(Recent(), std::vector<std::string>{pages});
}

TEST_F(LaunchTest, WhatRunsWithoutTheStartWindow) {
  // The demo, asked for.
  PlayerOptions demo;
  demo.demo = true;
  Launch(kBinaryDir + "/morvane-player", demo);
  ASSERT_TRUE(m_launched);
  EXPECT_EQ(m_launcher->start_window(), nullptr);
  ASSERT_NE(m_launcher->player(), nullptr);
  EXPECT_EQ(m_launcher->player()->project().title, "Morvane Demo");
  // A player carrying a project of its own runs it.
  std::unique_ptr<Container> pages = OpenContainer(kFixtures + "/pages");
  std::vector<std::pair<std::string, std::string>> resources;
  for (const std::string& name : pages->ResourceNames())
    resources.emplace_back(name, *pages->Resource(name));
  const std::string packed = (m_dir / "page-test").string();
  WriteNativeExecutable(kBinaryDir + "/morvane-player-bare", resources, pages->Trailer(), packed);
  Launch(packed);
  ASSERT_TRUE(m_launched);
  EXPECT_EQ(m_launcher->start_window(), nullptr);
  EXPECT_EQ(m_launcher->player()->project().title, "Page Test");
  // A project named by path; headless, it is not added to the recent ones.
  PlayerOptions headless;
  headless.headless = true;
  headless.project = kFixtures + "/pages";
  Launch(kBinaryDir + "/morvane-player", headless);
  ASSERT_TRUE(m_launched);
  EXPECT_EQ(m_launcher->player()->project().title, "Page Test");
  // Nor did the demo or the player's own project go there.
  EXPECT_TRUE(Recent().empty());
}

TEST_F(LaunchTest, ThePlayerWithoutADemoOffersNoneAndRefusesDemo) {
  Launcher& launcher = Launch(kBinaryDir + "/morvane-player-bare");
  ASSERT_TRUE(m_launched);
  ASSERT_NE(launcher.start_window(), nullptr);
  EXPECT_FALSE(launcher.start_window()->demo_button()->isEnabled());
  PlayerOptions demo;
  demo.demo = true;
  Launch(kBinaryDir + "/morvane-player-bare", demo);
  EXPECT_FALSE(m_launched);
  EXPECT_EQ(m_launcher->exit_code(), 2);
}

}  // namespace
}  // namespace morvane
