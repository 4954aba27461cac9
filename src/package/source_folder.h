#pragma once

// A project source folder: what an author edits, and what the decompiler
// writes back out of an executable.
//
//   project.yaml              the project model (project_yaml.h)
//   scripts/*.mvs             multi-line scripts that project.yaml refers to
//   backgrounds/page-N.ext    resource "BDATAG" + N, the background of page N
//   pictures/IDATAn.ext       resource "IDATA" + n, the n-th image picture
//   embedded/n-name           resource "DATAE" + n, embedded file n
//   resources/NAME            any other resource ("SQLite3", "DAF..."), by name
//
// Extensions of backgrounds, pictures and embedded files are for the reader
// of the folder only; the resource is the file's bytes.

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "package/container.h"
#include "package/package_reader.h"
#include "package/project_model.h"
#include "package/project_yaml.h"

namespace morvane {

using ResourceList = std::vector<std::pair<std::string, std::string>>;

struct ProjectSource {
  Project project;
  // Every resource but "PDATA", which is made from the project.
  ResourceList resources;
  // The payload of the executable trailer; nothing for no trailer.
  std::optional<std::string> startup_options = std::string(kDefaultStartupOptions);
  int code_page = kDefaultCodePage;
};

// Reads a source folder. Throws SourceError naming the file (and the line of
// project.yaml) for anything it cannot take: unknown keys, wrong types,
// unknown object kinds, missing or stray files, two files for one resource.
ProjectSource ReadSourceFolder(const std::string& path);

// Writes a source folder; the folder must not exist yet or be empty, so no
// file of an older project is taken for part of this one. Throws SourceError.
void WriteSourceFolder(const std::string& path, const ProjectSource& source);

// The files of the source folder, by relative path, and the inverse. These
// are what the two functions above put on and take from the disk.
SourceFiles SourceFolderFiles(const ProjectSource& source);
ProjectSource SourceFromFiles(const SourceFiles& files);

// The resources of the packed project: "PDATA" first, then the others in the
// order of their names ignoring case, so that packing is deterministic.
// "PDATA" is written with the project's key, or with another one when that
// key cannot write the project (then the package loads with that key).
// Throws SourceError when the project cannot be packed (the package writer
// refuses it or a resource name is taken twice).
ResourceList PackedResources(const ProjectSource& source);

// The source of a packed project: the model the package loads to, every
// resource but "PDATA", the trailer, and a code page guessed from the font
// character sets. A package that fails to load gives its load error.
std::variant<ProjectSource, LoadError> SourceFromContainer(const Container& container);

// A container over a source folder: it packs the project in memory and hands
// out "PDATA" with the folder's resources, so a project runs unpacked.
// Throws SourceError.
std::unique_ptr<Container> OpenSourceFolder(const std::string& path);

// The code page of the texts, guessed from the character sets of the fonts
// of the page objects.
int GuessCodePage(const Project& project);

}  // namespace morvane
