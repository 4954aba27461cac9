#pragma once

// A script engine over a fresh temporary prefix: drive C: is the prefix, D:
// the project folder, nothing else is mapped. The console stage has three
// pages (Main, Second, Third) and logs what scripts ask of it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "expr/environment.h"
#include "expr/eval_error.h"
#include "expr/evaluator.h"
#include "expr/values.h"
#include "script/console_script_stage.h"
#include "script/script_engine.h"
#include "script/session.h"
#include "util/number_text.h"

namespace morvane::testing {

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "morvane-script-XXXXXX").string();
    m_path = mkdtemp(pattern.data());
  }
  ~ScratchFolder() {
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
  }
  const std::string& path() const { return m_path; }

 private:
  std::string m_path;
};

inline std::string ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void WriteHostFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

struct ScriptWorld {
  explicit ScriptWorld(ScriptEngine::Mode mode = ScriptEngine::Mode::kParsed, bool registry = true)
      : session(stage, Options(scratch, mode, registry)) {
    project = scratch.path() + "/project";
    std::filesystem::create_directories(project);
    env->drives().Unmap('Z');
    env->drives().Map('D', project, DriveKind::kFixed);
    env->SetFolders("D:\\demo.exe", "C:\\windows\\", "C:\\windows\\temp\\");
    env->drives().SetCurrentFolder("D:\\");
    std::vector<ConsoleStage::Page> pages(3);
    pages[0].name = "Main";
    pages[1].name = "Second";
    pages[2].name = "Third";
    stage.SetPages(pages, 2);
    engine->SetLan(&stage);
  }
  static SessionOptions Options(const ScratchFolder& scratch, ScriptEngine::Mode mode,
                                bool registry) {
    SessionOptions options;
    options.environment.prefix = scratch.path() + "/c";
    options.environment.exe_host_path = scratch.path() + "/project/demo.exe";
    options.environment.removable_media = false;
    options.environment.registry = registry;
    options.engine_mode = mode;
    return options;
  }
  ~ScriptWorld() { session.StopEngine(); }

  // Runs the script; the error's message, or "" when it ran through.
  std::string Run(const std::string& script, int32_t page = 1) {
    try {
      engine->DoActions(page, script, 0);
      return "";
    } catch (const std::exception& error) {
      return std::string("error: ") + error.what();
    }
  }
  double Num(const std::string& name) { return values.GetNumber(name); }
  std::string Str(const std::string& name) { return values.GetString(name); }
  std::vector<std::string> Messages() {
    std::vector<std::string> texts;
    for (const std::string& line : stage.Log()) {
      if (line.rfind("message: ", 0) == 0) {
        const size_t bar = line.find('|');
        texts.push_back(line.substr(bar + 1, line.rfind('|') - bar - 1));
      }
    }
    return texts;
  }

  ScratchFolder scratch;
  std::string project;
  ConsoleScriptStage stage;
  Session session;
  Environment* env = &session.environment();
  TValues& values = session.values();
  Evaluator* evaluator = &session.evaluator();
  ScriptEngine* engine = &session.engine();
};

}  // namespace morvane::testing
