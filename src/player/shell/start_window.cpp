#include "player/shell/start_window.h"

#include "package/project_probe.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <filesystem>

namespace morvane {
namespace {

// The one local file or folder a drag carries, or an empty string.
QString DraggedPath(const QMimeData* mime) {
  if (!mime || !mime->hasUrls()) return {};
  const QList<QUrl> urls = mime->urls();
  if (urls.size() != 1 || !urls.front().isLocalFile()) return {};
  return urls.front().toLocalFile();
}

class DropArea : public QLabel {
 public:
  DropArea(std::function<void(const QString&)> offer, QWidget* parent)
      : QLabel(parent), m_offer(std::move(offer)) {
    setText("Drop a project executable or source folder here");
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setMinimumHeight(72);
    setAcceptDrops(true);
  }

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override {
    if (!DraggedPath(event->mimeData()).isEmpty()) event->acceptProposedAction();
  }
  void dragMoveEvent(QDragMoveEvent* event) override {
    if (!DraggedPath(event->mimeData()).isEmpty()) event->acceptProposedAction();
  }
  void dropEvent(QDropEvent* event) override {
    const QString path = DraggedPath(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    m_offer(path);
  }

 private:
  std::function<void(const QString&)> m_offer;
};

QString DisplayName(const QString& path) {
  const QString name = QFileInfo(path).fileName();
  return name.isEmpty() ? path : name;
}

}  // namespace

StartWindow::StartWindow(std::vector<std::string> recent, bool demo_available,
                         Callbacks callbacks)
    : m_callbacks(std::move(callbacks)) {
  setWindowTitle("Morvane Player");
  setWindowIcon(QIcon::fromTheme("morvane-player"));
  setObjectName("StartWindow");
  auto* layout = new QVBoxLayout(this);

  auto* heading = new QLabel("Open a Morvane project", this);
  QFont font = heading->font();
  font.setPointSizeF(font.pointSizeF() * 1.3);
  font.setBold(true);
  heading->setFont(font);
  layout->addWidget(heading);

  auto* buttons = new QHBoxLayout;
  m_open = new QPushButton("Open project…", this);
  m_open->setToolTip("A project executable, or the project.yaml of a source folder");
  m_folder = new QPushButton("Open source folder…", this);
  m_demo = new QPushButton("Play the demo", this);
  m_demo->setEnabled(demo_available);
  if (!demo_available) m_demo->setToolTip("This player carries no demo");
  buttons->addWidget(m_open);
  buttons->addWidget(m_folder);
  buttons->addStretch(1);
  buttons->addWidget(m_demo);
  layout->addLayout(buttons);

  layout->addWidget(new QLabel("Recent projects", this));
  m_recent = new QListWidget(this);
  m_recent->setMinimumHeight(120);
  for (const std::string& entry : recent) {
    const QString path = QString::fromStdString(entry);
    auto* item = new QListWidgetItem(path, m_recent);
    item->setData(Qt::UserRole, path);
    std::error_code ec;
    if (!std::filesystem::exists(entry, ec)) {
      // Kept in the list, as the disc or the drive may come back.
      item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
      item->setToolTip("Not found: " + path);
    } else {
      item->setToolTip(path);
    }
  }
  if (recent.empty()) {
    auto* item = new QListWidgetItem("No project opened yet", m_recent);
    item->setFlags(Qt::NoItemFlags);
  }
  layout->addWidget(m_recent, 1);

  m_drop = new DropArea([this](const QString& path) { Offer(path); }, this);
  layout->addWidget(m_drop);

  m_status = new QLabel(this);
  m_status->setWordWrap(true);
  m_status->setStyleSheet("color: #b00020;");
  m_status->hide();
  layout->addWidget(m_status);

  m_file_dialog = [](QWidget* parent) {
    QString path = QFileDialog::getOpenFileName(
        parent, "Open a project", QString(),
        "Morvane projects (*.exe *.EXE project.yaml);;All files (*)");
    return path;
  };
  m_folder_dialog = [](QWidget* parent) {
    return QFileDialog::getExistingDirectory(parent, "Open a project source folder");
  };
  connect(m_open, &QPushButton::clicked, this, [this] {
    QString path = m_file_dialog(this);
    // A source folder is opened through its project.yaml.
    if (QFileInfo(path).fileName() == "project.yaml") path = QFileInfo(path).absolutePath();
    if (!path.isEmpty()) Offer(path);
  });
  connect(m_folder, &QPushButton::clicked, this, [this] {
    const QString path = m_folder_dialog(this);
    if (!path.isEmpty()) Offer(path);
  });
  connect(m_demo, &QPushButton::clicked, this, [this] {
    m_chosen = true;
    if (m_callbacks.demo) m_callbacks.demo();
  });
  connect(m_recent, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { OfferRecent(item); });
  resize(520, 420);
}

StartWindow::~StartWindow() = default;

void StartWindow::SetDialogs(PathDialog file_dialog, PathDialog folder_dialog) {
  m_file_dialog = std::move(file_dialog);
  m_folder_dialog = std::move(folder_dialog);
}

void StartWindow::OfferRecent(QListWidgetItem* item) {
  if (!item || !(item->flags() & Qt::ItemIsEnabled)) return;
  const QString path = item->data(Qt::UserRole).toString();
  if (!path.isEmpty()) Offer(path);
}

void StartWindow::Offer(const QString& path) {
  const std::string host = path.toStdString();
  std::error_code ec;
  QString why;
  if (!std::filesystem::exists(host, ec)) {
    why = DisplayName(path) + " cannot be found";
  } else {
    const ProbedProject probed = ProbeProject(host);
    if (probed.kind == ProjectKind::kProject) {
      m_status->hide();
      m_status->clear();
      m_chosen = true;
      if (m_callbacks.open) m_callbacks.open(path);
      return;
    }
    why = probed.kind == ProjectKind::kNoProject
              ? QString::fromStdString(NotAProjectText(host))
              : DisplayName(path) + " cannot be opened: " + QString::fromStdString(probed.error);
  }
  m_status->setText(why);
  m_status->show();
}

QString StartWindow::status() const {
  return m_status->isHidden() ? QString() : m_status->text();
}

void StartWindow::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (!m_chosen && m_callbacks.closed) m_callbacks.closed();
}

}  // namespace morvane
