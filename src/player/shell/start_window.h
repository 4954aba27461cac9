#pragma once

// The window morvane-player shows when it is started without a project and
// its own executable carries nothing but the demo: open a project through a
// file dialog, pick one of the recently opened projects, play the demo, or
// drop an executable or a source folder on it.
//
// The window hands on only what holds a project; for anything else it says
// why in the window and stays open.

#include <QString>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace morvane {

class StartWindow : public QWidget {
 public:
  struct Callbacks {
    std::function<void(const QString& project)> open;  // a path that holds a project
    std::function<void()> demo;
    std::function<void()> closed;  // the window was closed without a choice
  };
  // Returns the path the user picked, or an empty string.
  using PathDialog = std::function<QString(QWidget* parent)>;

  StartWindow(std::vector<std::string> recent, bool demo_available, Callbacks callbacks);
  ~StartWindow() override;

  // The file dialog (executables, or a project.yaml standing for its folder)
  // and the folder dialog; tests put their own in place of Qt's.
  void SetDialogs(PathDialog file_dialog, PathDialog folder_dialog);

  // An executable or a folder offered by a dialog, the list or a drop.
  void Offer(const QString& path);

  // What the window says about the last offer that held no project; empty
  // when there was none.
  QString status() const;
  QListWidget* recent_list() const { return m_recent; }
  QPushButton* open_button() const { return m_open; }
  QPushButton* folder_button() const { return m_folder; }
  QPushButton* demo_button() const { return m_demo; }
  QWidget* drop_area() const { return m_drop; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void OfferRecent(QListWidgetItem* item);

  Callbacks m_callbacks;
  PathDialog m_file_dialog;
  PathDialog m_folder_dialog;
  QListWidget* m_recent = nullptr;
  QPushButton* m_open = nullptr;
  QPushButton* m_folder = nullptr;
  QPushButton* m_demo = nullptr;
  QWidget* m_drop = nullptr;
  QLabel* m_status = nullptr;
  bool m_chosen = false;
};

}  // namespace morvane
