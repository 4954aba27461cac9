#include "player/objects/object_actions.h"

#include "expr/environment.h"
#include "expr/evaluator.h"
#include "expr/values.h"
#include "package/project_model.h"
#include "player/objects/object_class.h"
#include "player/objects/page_objects.h"
#include "player/player.h"
#include "player/shell/page_window.h"
#include "script/compat_recorder.h"
#include "util/code_page.h"

#include <optional>
#include <stdexcept>

namespace morvane {

bool AcceptsObjectAction(ObjectKind kind, int32_t code) {
  return FindObjectAction(kind, code) != nullptr;
}

void DoObjAction(Player& player, const ObjectActionRequest& request) {
  // Steps 1, 2 and 4 of `DoObjAction`; the engine has handed a worker's
  // request to the main thread with its own text, object and page.
  const int page = player.PageNumberByName(request.page_name);
  TQMForm* form = player.GetFormByNum(page);
  if (!form) return;
  PageObjects& objects = form->objects();
  PageObjectItem* item = objects.FindObject(request.object);
  if (!item) return;
  std::optional<Evaluator> own;
  Evaluator* evaluator = request.evaluator;
  if (!evaluator) evaluator = &own.emplace(player.values(), player.environment());
  try {
    const ObjectActionText& action = request.action;
    if (!action.code) throw std::runtime_error(action.code_error);
    if (CompatRecorder* recorder = player.compat_recorder())
      recorder->NoteObjectAction(item->kind(), *action.code, request.site);
    const ObjectActionRow* row = FindObjectAction(item->kind(), *action.code);
    if (row) {
      ActionArgs args(*evaluator, action.arguments);
      ObjectActionCall call{player, objects, *item, request.object, *action.code, args};
      row->handler(call);
    }
  } catch (const std::exception& e) {
    player.MessageBox(ToUtf8(player.project().title, player.code_page()),
                      ToUtf8(e.what(), player.code_page()), kMbOk | kMbIconExclamation);
  }
  // Step 5, after any code but deletion (and its failures ignored).
  const ObjectActionText& action = request.action;
  if (action.code && *action.code == 0) return;
  if (auto after = ClassOf(item->kind()).after_action) {
    try {
      after(player, *item, action.code.value_or(-1));
    } catch (const std::exception&) {
    }
  }
}

}  // namespace morvane
