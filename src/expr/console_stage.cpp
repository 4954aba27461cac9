#include "expr/console_stage.h"

#include "util/ascii_case.h"

namespace morvane {

void ConsoleStage::SetPages(std::vector<Page> pages, int32_t current) {
  std::lock_guard lock(m_mutex);
  m_pages = std::move(pages);
  m_current = current;
}

void ConsoleStage::SetPointer(StagePoint point) {
  std::lock_guard lock(m_mutex);
  m_pointer = point;
}

void ConsoleStage::SetKeyState(int32_t virtual_key, int16_t state) {
  std::lock_guard lock(m_mutex);
  m_keys[virtual_key] = state;
}

void ConsoleStage::SetClipboardText(std::string text) {
  std::lock_guard lock(m_mutex);
  m_clipboard = std::move(text);
}

void ConsoleStage::SetCommandLine(std::vector<std::string> command_line) {
  std::lock_guard lock(m_mutex);
  m_command_line = std::move(command_line);
}

StagePoint ConsoleStage::PointerPosition() {
  std::lock_guard lock(m_mutex);
  return m_pointer;
}

int16_t ConsoleStage::KeyState(int32_t virtual_key) {
  std::lock_guard lock(m_mutex);
  const auto it = m_keys.find(virtual_key);
  return it == m_keys.end() ? 0 : it->second;
}

std::string ConsoleStage::ClipboardText() {
  std::lock_guard lock(m_mutex);
  return m_clipboard;
}

std::vector<std::string> ConsoleStage::CommandLine() {
  std::lock_guard lock(m_mutex);
  return m_command_line;
}

int32_t ConsoleStage::CurrentPage() {
  std::lock_guard lock(m_mutex);
  return m_current;
}

int32_t ConsoleStage::PageCount() {
  std::lock_guard lock(m_mutex);
  return static_cast<int32_t>(m_pages.size());
}

const ConsoleStage::Page* ConsoleStage::PageAt(int32_t page) const {
  if (page < 1 || page > static_cast<int32_t>(m_pages.size())) return nullptr;
  return &m_pages[static_cast<size_t>(page - 1)];
}

std::optional<std::string> ConsoleStage::PageName(int32_t page) {
  std::lock_guard lock(m_mutex);
  const Page* p = PageAt(page);
  if (!p) return std::nullopt;
  return p->name;
}

std::optional<int32_t> ConsoleStage::PageByName(std::string_view name) {
  std::lock_guard lock(m_mutex);
  for (size_t i = 0; i < m_pages.size(); ++i) {
    if (EqualsIgnoreCase(m_pages[i].name, name)) return static_cast<int32_t>(i + 1);
  }
  return std::nullopt;
}

std::optional<StageSize> ConsoleStage::PageClientSize(int32_t page) {
  std::lock_guard lock(m_mutex);
  const Page* p = PageAt(page);
  if (!p) return std::nullopt;
  return p->client_size;
}

std::optional<StagePoint> ConsoleStage::PageWindowOrigin(int32_t page) {
  std::lock_guard lock(m_mutex);
  const Page* p = PageAt(page);
  if (!p) return std::nullopt;
  return p->window_origin;
}

std::optional<StagePoint> ConsoleStage::PageClientOrigin(int32_t page) {
  std::lock_guard lock(m_mutex);
  const Page* p = PageAt(page);
  if (!p) return std::nullopt;
  return p->client_origin;
}

std::optional<ObjectSnapshot> ConsoleStage::CurrentPageObject(std::string_view number) {
  std::lock_guard lock(m_mutex);
  const Page* p = PageAt(m_current);
  if (!p) return std::nullopt;
  const auto it = p->objects.find(std::string(number));
  if (it == p->objects.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> ConsoleStage::ObjectVariable(std::string_view number,
                                                        std::string_view name) {
  std::lock_guard lock(m_mutex);
  const Page* p = PageAt(m_current);
  if (!p) return std::nullopt;
  const auto movie = p->object_variables.find(std::string(number));
  if (movie == p->object_variables.end()) return std::nullopt;
  const auto it = movie->second.find(std::string(name));
  return it == movie->second.end() ? std::string() : it->second;
}

}  // namespace morvane
