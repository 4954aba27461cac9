#pragma once

// `TQMLoad`: the small window that shows while the project is read.

#include <QWidget>

class QProgressBar;

namespace morvane {

class TQMLoad : public QWidget {
 public:
  TQMLoad();
  void SetProgress(int position, int maximum);

 private:
  QProgressBar* m_progress;
};

}  // namespace morvane
