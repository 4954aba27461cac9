#include "script/session.h"

namespace morvane {

const char* StartPhaseName(StartPhase phase) {
  switch (phase) {
    case StartPhase::kRead:
      return "read";
    case StartPhase::kBuild:
      return "build";
    case StartPhase::kExtract:
      return "extract";
    case StartPhase::kFonts:
      return "fonts";
    case StartPhase::kSingleInstance:
      return "single instance";
    case StartPhase::kShow:
      return "show";
  }
  return "";
}

Session::Session(ScriptStage& stage, const SessionOptions& options)
    : m_environment(Environment::Create(stage, options.environment)),
      m_evaluator(std::make_unique<Evaluator>(m_values, *m_environment, options.eval_mode)),
      m_engine(std::make_unique<ScriptEngine>(stage, *m_environment, m_values, *m_evaluator,
                                              options.engine_mode)),
      m_engine_mode(options.engine_mode) {
  m_values.SetStringBudget(kMaxStoreStringBytes);
}

Session::~Session() {
  m_engine.reset();
}

void Session::ReplaceEngine(ScriptStage& stage) {
  m_engine.reset();
  m_engine =
      std::make_unique<ScriptEngine>(stage, *m_environment, m_values, *m_evaluator, m_engine_mode);
}

}  // namespace morvane
