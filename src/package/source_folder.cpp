#include "package/source_folder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "package/package_writer.h"
#include "util/ascii_case.h"
#include "util/code_page.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

constexpr const char* kBackgrounds = "backgrounds";
constexpr const char* kPictures = "pictures";
constexpr const char* kEmbedded = "embedded";
constexpr const char* kResources = "resources";
constexpr const char* kAssetFolders[] = {kBackgrounds, kPictures, kEmbedded, kResources};

// The files of a source, wherever they are kept.
class FileTree {
 public:
  virtual ~FileTree() = default;
  virtual std::optional<std::string> Read(const std::string& path) const = 0;
  // The files directly in a folder (empty when there is no such folder).
  // Throws SourceError for a subfolder: assets are never nested.
  virtual std::vector<std::string> List(const std::string& folder) const = 0;
};

class MemoryTree : public FileTree {
 public:
  explicit MemoryTree(const SourceFiles& files) : m_files(files) {}

  std::optional<std::string> Read(const std::string& path) const override {
    auto it = m_files.find(path);
    if (it == m_files.end()) return std::nullopt;
    return it->second;
  }

  std::vector<std::string> List(const std::string& folder) const override {
    std::vector<std::string> names;
    const std::string prefix = folder + "/";
    for (auto it = m_files.lower_bound(prefix); it != m_files.end(); ++it) {
      if (!it->first.starts_with(prefix)) break;
      const std::string rest = it->first.substr(prefix.size());
      if (rest.find('/') != std::string::npos)
        throw SourceError(folder + "/" + rest + ": asset folders hold no subfolders");
      names.push_back(rest);
    }
    return names;
  }

 private:
  const SourceFiles& m_files;
};

std::string ReadWholeFile(const fs::path& path, const std::string& name) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw SourceError(name + ": cannot be read");
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) throw SourceError(name + ": cannot be read");
  return std::move(bytes).str();
}

class DiskTree : public FileTree {
 public:
  explicit DiskTree(fs::path root) : m_root(std::move(root)) {}

  std::optional<std::string> Read(const std::string& path) const override {
    const fs::path full = m_root / path;
    std::error_code ec;
    if (!fs::is_regular_file(full, ec)) return std::nullopt;
    return ReadWholeFile(full, path);
  }

  std::vector<std::string> List(const std::string& folder) const override {
    std::vector<std::string> names;
    const fs::path dir = m_root / folder;
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
      if (fs::exists(dir, ec)) throw SourceError(folder + ": not a folder");
      return names;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
      const std::string name = entry.path().filename().string();
      if (!entry.is_regular_file()) {
        throw SourceError(folder + "/" + name + ": asset folders hold no subfolders");
      }
      names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  fs::path m_root;
};

// A decimal number as resource names write it: no sign, no leading zeros.
std::optional<int> CanonicalNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > 9 || (digits[0] == '0' && digits.size() > 1))
    return std::nullopt;
  int n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n;
}

std::optional<int> NumberedName(std::string_view name, std::string_view prefix) {
  if (!name.starts_with(prefix)) return std::nullopt;
  return CanonicalNumber(name.substr(prefix.size()));
}

// The number at the start of an asset file name, before "." or "-".
std::optional<int> LeadingNumber(std::string_view file_name, bool allow_dash) {
  size_t end = 0;
  while (end < file_name.size() && file_name[end] >= '0' && file_name[end] <= '9') ++end;
  if (end < file_name.size() && file_name[end] != '.' && !(allow_dash && file_name[end] == '-'))
    return std::nullopt;
  return CanonicalNumber(file_name.substr(0, end));
}

// A name that can be a file name as it is, on any common system.
bool IsSafeFileName(std::string_view name) {
  if (name.empty() || name.size() > 120 || name[0] == '.' || name.back() == ' ' ||
      name.back() == '.' || !IsValidUtf8(name))
    return false;
  for (char c : name) {
    const auto b = static_cast<uint8_t>(c);
    if (b < 0x20 || b == 0x7F || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos)
      return false;
  }
  return true;
}

std::string SniffExtension(std::string_view bytes) {
  const auto starts = [&](std::string_view magic) { return bytes.starts_with(magic); };
  if (starts("\x89PNG\r\n\x1a\n")) return "png";
  if (starts("\xFF\xD8\xFF")) return "jpg";
  if (starts("GIF87a") || starts("GIF89a")) return "gif";
  if (starts("BM")) return "bmp";
  if (starts(std::string_view("\0\0\1\0", 4))) return "ico";
  if (starts("\xD7\xCD\xC6\x9A")) return "wmf";
  if (bytes.size() >= 44 && starts(std::string_view("\1\0\0\0", 4)) &&
      bytes.substr(40, 4) == " EMF")
    return "emf";
  return "bin";
}

// The extension of an image's picture name, when it is a plain one.
std::optional<std::string> PictureExtension(std::string_view picture_name) {
  const size_t dot = picture_name.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  std::string ext(picture_name.substr(dot + 1));
  if (ext.empty() || ext.size() > 5) return std::nullopt;
  for (char& c : ext) {
    c = AsciiToLower(c);
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return std::nullopt;
  }
  return ext;
}

// The file name part of an embedded path: after the last "\", "/" or ":".
std::string_view FileNamePart(std::string_view path) {
  const size_t cut = path.find_last_of("\\/:");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

bool SameResourceName(std::string_view a, std::string_view b) {
  return AsciiUpper(a) == AsciiUpper(b);
}

void SortResources(ResourceList& resources) {
  std::sort(resources.begin(), resources.end(), [](const auto& a, const auto& b) {
    const std::string fa = AsciiUpper(a.first), fb = AsciiUpper(b.first);
    return fa != fb ? fa < fb : a.first < b.first;
  });
}

// Errors name files relative to the folder.
ProjectSource ReadSource(const FileTree& tree) {
  const std::optional<std::string> yaml_text = tree.Read(kProjectFileName);
  if (!yaml_text) throw SourceError(std::string(kProjectFileName) + ": no such file");
  ProjectYaml yaml = ReadProjectYaml(*yaml_text, [&](const std::string& path) {
    std::optional<std::string> bytes = tree.Read(path);
    if (!bytes) throw SourceError(path + ": no such file in the project folder");
    return std::move(*bytes);
  });

  ProjectSource source;
  source.project = std::move(yaml.project);
  source.startup_options = std::move(yaml.startup_options);
  source.code_page = yaml.code_page;

  // Which file holds which resource; the first file that names a resource
  // is kept to tell the author where the other one came from.
  std::map<std::string, std::pair<std::string, std::string>> by_folded_name;
  std::set<std::string> listed_files;
  const auto add = [&](const std::string& name, const std::string& file) {
    if (SameResourceName(name, "PDATA")) {
      throw SourceError(file + ": the resource PDATA is made from " +
                        std::string(kProjectFileName) + " and cannot be given as a file");
    }
    auto [it, fresh] = by_folded_name.try_emplace(AsciiUpper(name), name, file);
    if (!fresh) {
      throw SourceError(file + ": the resource " + name + " is given twice (also by " +
                        it->second.second + ")");
    }
  };
  for (const auto& [name, file] : yaml.resource_files) {
    add(name, file);
    listed_files.insert(file);
  }
  for (const char* folder : kAssetFolders) {
    for (const std::string& file_name : tree.List(folder)) {
      // Hidden files are an editor's or a system's, not the project's.
      if (file_name.starts_with(".")) continue;
      const std::string file = std::string(folder) + "/" + file_name;
      if (listed_files.count(file)) continue;
      std::optional<int> n;
      std::string name;
      if (folder == kBackgrounds) {
        if (file_name.starts_with("page-")) n = LeadingNumber(file_name.substr(5), false);
        name = "BDATAG";
      } else if (folder == kPictures) {
        if (file_name.starts_with("IDATA")) n = LeadingNumber(file_name.substr(5), false);
        name = "IDATA";
      } else if (folder == kEmbedded) {
        n = LeadingNumber(file_name, true);
        name = "DATAE";
      } else {
        n = 0;
        name = file_name;
      }
      if (!n) {
        const char* pattern = folder == kBackgrounds ? "page-N.ext (N the page number)"
                              : folder == kPictures  ? "IDATAn.ext (n the picture number)"
                                                     : "n-name (n the embedded file number)";
        throw SourceError(file + ": files in " + folder + "/ are named " + pattern);
      }
      if (folder != kResources) name += std::to_string(*n);
      add(name, file);
    }
  }
  for (const auto& [folded, entry] : by_folded_name) {
    std::optional<std::string> bytes = tree.Read(entry.second);
    if (!bytes) throw SourceError(entry.second + ": no such file in the project folder");
    source.resources.emplace_back(entry.first, std::move(*bytes));
  }
  SortResources(source.resources);
  return source;
}

}  // namespace

SourceFiles SourceFolderFiles(const ProjectSource& source) {
  SourceFiles files;
  ProjectYaml yaml;
  yaml.project = source.project;
  yaml.code_page = source.code_page;
  yaml.startup_options = source.startup_options;
  const SourceText text(source.code_page);

  std::map<int, std::string> picture_extensions;
  for (const Page& page : source.project.pages)
    for (const PageObject& o : page.objects)
      if (o.picture_index > 0)
        if (auto ext = PictureExtension(o.picture_name)) picture_extensions[o.picture_index] = *ext;

  // Names that resources/ takes as they are; the others get a made-up file
  // name and an entry in project.yaml.
  std::set<std::string> resource_file_names;
  std::vector<const std::pair<std::string, std::string>*> odd;
  for (const auto& resource : source.resources) {
    const std::string& name = resource.first;
    const std::string& bytes = resource.second;
    if (SameResourceName(name, "PDATA")) continue;
    if (auto n = NumberedName(name, "BDATAG")) {
      files[std::string(kBackgrounds) + "/page-" + std::to_string(*n) + "." +
            SniffExtension(bytes)] = bytes;
    } else if (auto picture = NumberedName(name, "IDATA")) {
      auto ext = picture_extensions.find(*picture);
      files[std::string(kPictures) + "/" + name + "." +
            (ext != picture_extensions.end() ? ext->second : SniffExtension(bytes))] = bytes;
    } else if (auto entry = NumberedName(name, "DATAE")) {
      std::string file = std::string(kEmbedded) + "/" + std::to_string(*entry);
      const auto& embedded = source.project.embedded_files;
      if (*entry >= 1 && static_cast<size_t>(*entry) <= embedded.size()) {
        const std::optional<std::string> part =
            text.ToUtf8(FileNamePart(embedded[*entry - 1].path));
        if (part && IsSafeFileName(*part)) file += "-" + *part;
      }
      files[file] = bytes;
    } else if (IsSafeFileName(name)) {
      resource_file_names.insert(name);
      files[std::string(kResources) + "/" + name] = bytes;
    } else {
      odd.push_back(&resource);
    }
  }
  int counter = 0;
  for (const auto* resource : odd) {
    std::string file_name;
    do {
      file_name = "resource-" + std::to_string(++counter);
    } while (resource_file_names.count(file_name));
    const std::string file = std::string(kResources) + "/" + file_name;
    files[file] = resource->second;
    yaml.resource_files.emplace_back(resource->first, file);
  }
  files[kProjectFileName] = WriteProjectYaml(yaml, files);
  return files;
}

ProjectSource SourceFromFiles(const SourceFiles& files) {
  return ReadSource(MemoryTree(files));
}

ProjectSource ReadSourceFolder(const std::string& path) {
  std::error_code ec;
  if (!fs::is_directory(path, ec)) throw SourceError(path + ": not a folder");
  try {
    return ReadSource(DiskTree(path));
  } catch (const SourceError& error) {
    throw SourceError((fs::path(path) / error.what()).string());
  } catch (const fs::filesystem_error& error) {
    throw SourceError(path + ": " + error.what());
  }
}

void WriteSourceFolder(const std::string& path, const ProjectSource& source) {
  const SourceFiles files = SourceFolderFiles(source);
  std::error_code ec;
  const fs::path root(path);
  if (fs::exists(root, ec)) {
    if (!fs::is_directory(root, ec)) throw SourceError(path + ": exists and is not a folder");
    if (!fs::is_empty(root, ec)) throw SourceError(path + ": the folder is not empty");
  }
  for (const auto& [relative, bytes] : files) {
    const fs::path file = root / relative;
    fs::create_directories(file.parent_path(), ec);
    if (ec) throw SourceError(file.parent_path().string() + ": " + ec.message());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw SourceError(file.string() + ": cannot be written");
  }
}

ResourceList PackedResources(const ProjectSource& source) {
  ResourceList resources;
  try {
    Project project = source.project;
    resources.emplace_back("PDATA", WritePackageChoosingKey(project));
  } catch (const WriteError& error) {
    throw SourceError(std::string(kProjectFileName) +
                      ": the project cannot be packed: " + error.what());
  }
  ResourceList rest = source.resources;
  SortResources(rest);
  for (auto& resource : rest) {
    for (const auto& [name, bytes] : resources) {
      if (SameResourceName(name, resource.first))
        throw SourceError("the resource " + resource.first + " is given twice");
    }
    resources.push_back(std::move(resource));
  }
  return resources;
}

int GuessCodePage(const Project& project) {
  // Character sets that follow the project's code page vote for nothing.
  constexpr int kFollowsProject = -1;
  std::map<int, int> votes;
  for (const Page& page : project.pages) {
    for (const PageObject& o : page.objects) {
      const int code_page = CodePageForCharset(o.charset, kFollowsProject);
      if (code_page != kFollowsProject) ++votes[code_page];
    }
  }
  int best = kDefaultCodePage, best_votes = 0;
  for (const auto& [code_page, count] : votes) {
    if (count > best_votes) {
      best = code_page;
      best_votes = count;
    }
  }
  return best;
}

std::variant<ProjectSource, LoadError> SourceFromContainer(const Container& container) {
  LoadResult loaded = LoadProject(container);
  if (auto* error = std::get_if<LoadError>(&loaded)) return *error;
  ProjectSource source;
  source.project = std::move(std::get<Project>(loaded));
  source.startup_options = container.Trailer();
  source.code_page = GuessCodePage(source.project);
  try {
    SourceText check(source.code_page);
  } catch (const SourceError&) {
    source.code_page = kDefaultCodePage;
  }
  std::set<std::string> seen;
  for (const std::string& name : container.ResourceNames()) {
    if (SameResourceName(name, "PDATA") || !seen.insert(AsciiUpper(name)).second) continue;
    if (std::optional<std::string> bytes = container.Resource(name))
      source.resources.emplace_back(name, std::move(*bytes));
  }
  SortResources(source.resources);
  return source;
}

namespace {

class SourceFolderContainer : public Container {
 public:
  SourceFolderContainer(ResourceList resources, std::optional<std::string> trailer)
      : m_resources(std::move(resources)), m_trailer(std::move(trailer)) {}

  std::optional<std::string> Resource(std::string_view name) const override {
    for (const auto& [resource_name, bytes] : m_resources)
      if (SameResourceName(resource_name, name)) return bytes;
    return std::nullopt;
  }

  std::vector<std::string> ResourceNames() const override {
    std::vector<std::string> names;
    for (const auto& resource : m_resources) names.push_back(resource.first);
    return names;
  }

  std::optional<std::string> Trailer() const override { return m_trailer; }

 private:
  ResourceList m_resources;
  std::optional<std::string> m_trailer;
};

}  // namespace

std::unique_ptr<Container> OpenSourceFolder(const std::string& path) {
  ProjectSource source = ReadSourceFolder(path);
  ResourceList resources;
  try {
    resources = PackedResources(source);
  } catch (const SourceError& error) {
    throw SourceError((fs::path(path) / error.what()).string());
  }
  return std::make_unique<SourceFolderContainer>(std::move(resources),
                                                 std::move(source.startup_options));
}

}  // namespace morvane
