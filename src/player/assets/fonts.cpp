#include "player/assets/fonts.h"

#include "util/ascii_case.h"
#include "util/code_page.h"

#include <QFile>
#include <QFontDatabase>
#include <QStringList>

#include <map>
#include <mutex>

namespace morvane {
namespace {

struct Substitute {
  const char* windows;
  std::vector<std::string> families;
  // Files outside fontconfig's folders that provide the first family.
  std::vector<const char*> files = {};
};

const std::vector<Substitute>& Table() {
  static const std::vector<Substitute> table = {
      {"Arial", {"Liberation Sans", "Arimo"}},
      {"Times New Roman", {"Liberation Serif", "Tinos"}},
      {"Courier New", {"Liberation Mono", "Cousine"}},
      {"Arial Narrow", {"Liberation Sans Narrow"}},
      {"Tahoma",
       {"Tahoma", "DejaVu Sans"},
       {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}},
      {"MS Sans Serif", {"MS Sans Serif", "Tahoma"}, {"/usr/share/wine/fonts/ms_sans_serif.ttf"}},
      {"Microsoft Sans Serif", {"Tahoma", "Liberation Sans"}, {"/usr/share/wine/fonts/tahoma.ttf"}},
      {"Courier", {"Courier", "Liberation Mono"}, {"/usr/share/wine/fonts/courier.ttf"}},
      {"Small Fonts", {"Small Fonts"}, {"/usr/share/wine/fonts/small_fonts.ttf"}},
      {"System", {"System"}, {"/usr/share/wine/fonts/system.ttf"}},
      {"Fixedsys", {"Fixedsys"}, {"/usr/share/wine/fonts/fixedsys.ttf"}},
      {"Marlett", {"Marlett"}, {"/usr/share/wine/fonts/marlett.ttf"}},
      {"Symbol", {"Symbol"}, {"/usr/share/wine/fonts/symbol.ttf"}},
      {"Webdings", {"Webdings"}, {"/usr/share/wine/fonts/webdings.ttf"}},
      {"Wingdings", {"Wingdings"}, {"/usr/share/wine/fonts/wingding.ttf"}},
      {"Verdana", {"DejaVu Sans"}},
      {"Segoe UI", {"Noto Sans", "DejaVu Sans"}},
      {"Calibri", {"Carlito", "Noto Sans"}},
      {"Cambria", {"Caladea", "Noto Serif"}},
      {"Georgia", {"Noto Serif", "DejaVu Serif"}},
      {"Lucida Console", {"DejaVu Sans Mono"}},
      {"Consolas", {"DejaVu Sans Mono"}},
      // Persian fonts of the authoring community, by their usual Windows names.
      {"B Nazanin", {"Nazli", "Noto Naskh Arabic"}},
      {"B Titr", {"Titr", "Noto Naskh Arabic"}},
      {"B Zar", {"Zar", "Noto Naskh Arabic"}},
      {"B Yagut", {"Yagut", "Noto Naskh Arabic"}},
      {"B Roya", {"Roya", "Noto Naskh Arabic"}},
      {"B Koodak", {"Koodak", "Noto Naskh Arabic"}},
      {"B Homa", {"Homa", "Noto Naskh Arabic"}},
      {"B Traffic", {"Traffic", "Noto Naskh Arabic"}},
      {"B Lotus", {"Nazli", "Noto Naskh Arabic"}},
      {"B Mitra", {"Nazli", "Noto Naskh Arabic"}},
      {"B Yekan", {"Noto Sans Arabic"}},
      {"Traditional Arabic", {"Noto Naskh Arabic"}},
      {"Simplified Arabic", {"Noto Naskh Arabic"}},
      {"Arabic Transparent", {"Noto Sans Arabic"}},
  };
  return table;
}

const Substitute* Find(std::string_view family) {
  for (const Substitute& s : Table()) {
    if (EqualsIgnoreCase(family, s.windows)) return &s;
  }
  return nullptr;
}

std::mutex g_files_mutex;
std::map<std::string, bool> g_loaded_files;  // guarded by g_files_mutex

void LoadSubstituteFiles(const Substitute& s) {
  std::lock_guard lock(g_files_mutex);
  for (const char* file : s.files) {
    auto [it, inserted] = g_loaded_files.emplace(file, false);
    if (!inserted) continue;
    if (QFontDatabase::hasFamily(QString::fromLatin1(s.families.front().c_str()))) continue;
    if (QFile::exists(QString::fromUtf8(file))) {
      it->second = QFontDatabase::addApplicationFont(QString::fromUtf8(file)) >= 0;
    }
  }
}

}  // namespace

std::vector<std::string> FontSubstitutesFor(std::string_view windows_family) {
  const Substitute* s = Find(windows_family);
  return s ? s->families : std::vector<std::string>{};
}

void InstallFontSubstitutes() {
  for (const Substitute& s : Table()) {
    QStringList list;
    for (const std::string& f : s.families) {
      if (!EqualsIgnoreCase(f, s.windows)) list << QString::fromUtf8(f.c_str());
    }
    if (!list.isEmpty()) QFont::insertSubstitutions(QString::fromUtf8(s.windows), list);
  }
}

QString PackageText(std::string_view bytes, int charset, int project_code_page) {
  std::string utf8 = ToUtf8(bytes, CodePageForCharset(charset, project_code_page));
  return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

QFont WindowsFont(std::string_view name, int point_size, int charset, int project_code_page) {
  QString family = PackageText(name, charset, project_code_page);
  if (const Substitute* s = Find(name)) LoadSubstituteFiles(*s);
  QFont font(family);
  font.setPointSize(FontPoints(point_size));
  return font;
}

bool RunFonts::Register(const std::string& host_path) {
  int id = QFontDatabase::addApplicationFont(QString::fromUtf8(host_path.c_str()));
  if (id < 0) return false;
  m_ids.push_back(id);
  return true;
}

void RunFonts::UnregisterAll() {
  for (int id : m_ids) QFontDatabase::removeApplicationFont(id);
  m_ids.clear();
}

}  // namespace morvane
