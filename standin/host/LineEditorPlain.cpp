// Builds without libedit (Windows among them): no editor, so the prompt
// reads plain lines from standard input.
#include "LineEditor.h"

namespace velkora_host {

bool LineEditingBuiltIn() { return false; }

bool LineEditorStart(const std::vector<std::string>&) { return false; }

bool LineEditorRead(const char*, std::string*) { return false; }

void LineEditorStop() {}

}  // namespace velkora_host
