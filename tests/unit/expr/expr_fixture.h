#pragma once

// A player environment in a fresh temporary prefix, a console stage, a fixed
// clock, and evaluators of both kinds over one store.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <variant>

#include "expr/console_stage.h"
#include "expr/environment.h"
#include "expr/eval_error.h"
#include "expr/evaluator.h"
#include "expr/values.h"
#include "util/number_text.h"

namespace morvane::testing {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "morvane-expr-XXXXXX").string();
    m_path = mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
  }
  const std::string& path() const { return m_path; }

 private:
  std::string m_path;
};

// Friday 15 March 2024, 13:05:09.
inline LocalTime FixedTime() {
  return LocalTime{2024, 3, 15, 13, 5, 9, 5};
}

struct ExprWorld {
  explicit ExprWorld(EvalMode mode = EvalMode::kFast) {
    EnvironmentOptions options;
    options.prefix = prefix.path() + "/c";
    options.exe_host_path = prefix.path() + "/project/demo.exe";
    options.removable_media = false;
    std::filesystem::create_directories(prefix.path() + "/project");
    env = Environment::Create(stage, options);
    env->SetClock(FixedTime);
    env->drives().Unmap('Z');
    // The project folder is D: here, so paths in tests stay short.
    env->drives().Map('D', prefix.path() + "/project", DriveKind::kFixed);
    env->SetFolders("D:\\demo.exe", "C:\\windows\\", "C:\\windows\\temp\\");
    env->drives().SetCurrentFolder("D:\\");
    evaluator = std::make_unique<Evaluator>(values, *env, mode);
  }

  // Writes a file below the project folder (D:\).
  void WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(prefix.path() + "/project/" + name, std::ios::binary) << bytes;
  }

  TempFolder prefix;
  ConsoleStage stage;
  std::unique_ptr<Environment> env;
  TValues values;
  std::unique_ptr<Evaluator> evaluator;
};

// The number text of a numeric evaluation, or "error".
inline std::string NumberOrError(Evaluator& ev, std::string_view text) {
  try {
    return FloatToText(ev.Number(text));
  } catch (const EvalError& error) {
    EXPECT_STREQ(error.what(), "Parsing integer failed.");
    return "error";
  }
}

// The text of a string evaluation, or "error: " and the message.
inline std::string StringOrError(Evaluator& ev, std::string_view text) {
  try {
    return ev.String(text);
  } catch (const std::exception& error) {
    return std::string("error: ") + error.what();
  }
}

}  // namespace morvane::testing
