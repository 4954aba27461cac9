// The desktop's answers: Qt's message boxes and dialogs, shown over the page
// that asks.

#include "expr/environment.h"
#include "player/assets/fonts.h"
#include "player/player.h"
#include "player/shell/dialogs.h"
#include "player/shell/player.h"
#include "player/shell/user_host.h"
#include "script/message_box.h"
#include "util/code_page.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QMessageBox>
#include <QPushButton>

#include <utility>

namespace morvane {
namespace {

QMessageBox::StandardButton QtButton(int result) {
  switch (result) {
    case 1:
      return QMessageBox::Ok;
    case 2:
      return QMessageBox::Cancel;
    case 3:
      return QMessageBox::Abort;
    case 4:
      return QMessageBox::Retry;
    case 5:
      return QMessageBox::Ignore;
    case 6:
      return QMessageBox::Yes;
    case 7:
      return QMessageBox::No;
    case 10:
      return QMessageBox::Retry;
    case 11:
      return QMessageBox::Ignore;
    default:
      return QMessageBox::Ok;
  }
}

class DesktopUser final : public UserHost {
 public:
  explicit DesktopUser(Player& player) : m_player(player) {}

  int MessageBox(std::string_view caption, std::string_view text, int flags, int default_result,
                 QWidget* owner) override {
    QMessageBox box(owner && owner->isVisible() ? owner : nullptr);
    box.setWindowTitle(QString::fromUtf8(caption.data(), qsizetype(caption.size())));
    box.setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
    switch (flags & 0xf0) {
      case kMbIconError:
        box.setIcon(QMessageBox::Critical);
        break;
      case kMbIconQuestion:
        box.setIcon(QMessageBox::Question);
        break;
      case kMbIconExclamation:
        box.setIcon(QMessageBox::Warning);
        break;
      case kMbIconInformation:
        box.setIcon(QMessageBox::Information);
        break;
      default:
        break;
    }
    std::vector<std::pair<QAbstractButton*, int>> buttons;
    for (int id : message_box::Buttons(flags)) {
      QAbstractButton* b = box.addButton(QtButton(id));
      if (id == 10) b->setText(QStringLiteral("Try Again"));
      if (id == 11) b->setText(QStringLiteral("Continue"));
      buttons.emplace_back(b, id);
      if (id == default_result) box.setDefaultButton(static_cast<QPushButton*>(b));
    }
    box.exec();
    int result = default_result;
    for (auto& [b, id] : buttons) {
      if (box.clickedButton() == b) result = id;
    }
    return result;
  }

  std::vector<std::string> OpenFiles(const OpenFileRequest& request,
                                     const DialogStart& start) override {
    QFileDialog dialog(start.parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    SetFilters(dialog, request.filter);
    StartIn(dialog, start);
    std::vector<std::string> chosen;
    if (dialog.exec() == QDialog::Accepted) {
      for (const QString& host : dialog.selectedFiles()) {
        if (std::optional<std::string> path = WindowsOf(host)) chosen.push_back(*path);
      }
    }
    return chosen;
  }

  std::optional<std::string> SaveFile(const SaveFileRequest& request,
                                      const DialogStart& start) override {
    QFileDialog dialog(start.parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    SetFilters(dialog, request.filter);
    if (!request.default_extension.empty()) {
      dialog.setDefaultSuffix(Utf(request.default_extension));
    }
    StartIn(dialog, start);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return WindowsOf(dialog.selectedFiles().front());
  }

  std::optional<std::string> Folder(const FolderRequest& request, QWidget* parent) override {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    // The folder tree shows files only when asked; no new-folder button unless asked.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::ShowDirsOnly, !request.show_files);
    dialog.setOption(QFileDialog::ReadOnly, !request.new_folder_button);
    if (!request.caption.empty()) dialog.setWindowTitle(Utf(request.caption));
    if (!request.prompt.empty()) dialog.setLabelText(QFileDialog::LookIn, Utf(request.prompt));
    const QString start = HostOf(request.initial_folder);
    if (!start.isEmpty()) dialog.setDirectory(start);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return WindowsOf(dialog.selectedFiles().front());
  }

  std::optional<uint32_t> Colour(uint32_t start, QWidget* parent) override {
    const QColor colour = QColorDialog::getColor(
        QColor(int(start & 0xFF), int((start >> 8) & 0xFF), int((start >> 16) & 0xFF)), parent);
    if (!colour.isValid()) return std::nullopt;
    return uint32_t(colour.red()) | (uint32_t(colour.green()) << 8) |
           (uint32_t(colour.blue()) << 16);
  }

  std::optional<FontChoice> Font(const FontChoice& initial, QWidget* parent) override {
    const int cp = m_player.code_page();
    QFont start = WindowsFont(initial.name, initial.size, initial.charset, cp);
    start.setBold(initial.bold);
    start.setItalic(initial.italic);
    start.setUnderline(initial.underline);
    start.setStrikeOut(initial.strike_out);
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, start, parent);
    if (!ok) return std::nullopt;
    FontChoice result = initial;
    result.name = FromUtf8(font.family().toStdString(), cp);
    result.size = font.pointSize() > 0 ? font.pointSize() : QFontInfo(font).pointSize();
    result.bold = font.bold();
    result.italic = font.italic();
    result.underline = font.underline();
    result.strike_out = font.strikeOut();
    return result;
  }

 private:
  QString Utf(std::string_view bytes) const {
    return QString::fromStdString(ToUtf8(bytes, m_player.code_page()));
  }

  // A Windows path as a host path for Qt; empty when it names nothing mapped.
  QString HostOf(const std::string& windows_path) const {
    if (windows_path.empty()) return {};
    std::optional<std::string> host = m_player.environment().drives().ToHost(windows_path);
    return host ? QString::fromStdString(*host) : QString();
  }

  std::optional<std::string> WindowsOf(const QString& host_path) const {
    return m_player.environment().drives().ToWindows(host_path.toStdString());
  }

  void SetFilters(QFileDialog& dialog, std::string_view filter) const {
    QStringList filters;
    for (const std::string& f : NameFilters(filter)) filters << Utf(f);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
  }

  void StartIn(QFileDialog& dialog, const DialogStart& start) const {
    const QString host_folder = HostOf(start.folder);
    if (!host_folder.isEmpty()) dialog.setDirectory(host_folder);
    if (start.file.empty()) return;
    const bool has_folder = start.file.find_first_of("\\/:") != std::string::npos;
    dialog.selectFile(has_folder ? HostOf(start.file) : Utf(start.file));
  }

  Player& m_player;
};

}  // namespace

std::unique_ptr<UserHost> MakeDesktopUser(Player& player) {
  return std::make_unique<DesktopUser>(player);
}

}  // namespace morvane
